// CHyperlinkStatic: a label that is a link. It shows its text in blue, underlined, at its
// top-left corner; the pointer becomes a hand over the text itself, and a left click on
// the text (not on the empty rest of the label) opens the link in the desktop's handler.
// The underlined font is made on first use and measured once.
#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>
#include <optional>

class CHyperlinkStatic final : public QLabel {
    Q_OBJECT
public:
    explicit CHyperlinkStatic(const QString& text, QWidget* parent = nullptr);

    void SetLink(const QString& link) { m_strLink = link; }
    [[nodiscard]] const QString& GetLink() const { return m_strLink; }
    // The part of the label covered by the text: where clicks count.
    [[nodiscard]] QRect TextExtent();

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const QFont& LinkFont() const;

    QString m_strLink;
    mutable std::optional<QFont> m_Font;
    std::optional<QRect> m_TextExtent;
};
