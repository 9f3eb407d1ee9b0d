// CQuickFilterBar: the filter field above the email list. Typing narrows the list at once
// (FilterChanged with the text); Escape clears the field; the drop-down adds "Search
// message text", after which Enter, or ticking the option over a typed text, asks for a
// search of the messages' bodies (BodySearchRequested). The window decides what matches.
#pragma once

#include <QLineEdit>
#include <QWidget>

class QAction;
class QToolButton;

inline constexpr char kFilterPlaceholder[] = "Filter: subject, sender or recipient (Ctrl+F)";
inline constexpr char kSearchBodiesText[] = "Search message text";

class CQuickFilterLine final : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void EscapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class CQuickFilterBar final : public QWidget {
    Q_OBJECT
public:
    explicit CQuickFilterBar(QWidget* parent);

    [[nodiscard]] QString Text() const;
    [[nodiscard]] bool SearchesBodies() const;
    // Empties the field without asking for anything to be filtered.
    void ClearSilently();
    void FocusField();

    [[nodiscard]] CQuickFilterLine* Field() const { return m_pField; }
    [[nodiscard]] QAction* SearchBodiesAction() const { return m_pSearchBodies; }
    [[nodiscard]] QToolButton* OptionsButton() const { return m_pOptions; }

signals:
    void FilterChanged(const QString& text);
    void BodySearchRequested(const QString& text);

private:
    CQuickFilterLine* m_pField;
    QToolButton* m_pOptions;
    QAction* m_pSearchBodies;
};
