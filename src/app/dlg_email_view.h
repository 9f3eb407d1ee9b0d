// CDlgEmailView: one page of the viewer bar, a borderless child dialog that holds a single
// read-only edit box (identifier 1001) filling the page. The box keeps long lines whole and
// scrolls both ways; it is a QPlainTextEdit so that a message of tens of megabytes lays
// out lazily instead of stalling the window. The page swallows Enter and Escape, so that
// the dialog keys never close it. CDlgEmailViewText shows the text part, CDlgEmailViewMime
// the raw source; both show bytes as characters of the mailbox's code page.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string_view>

class QPlainTextEdit;

class CDlgEmailView : public QDialog {
    Q_OBJECT
public:
    static constexpr int kEditId = 1001;

    explicit CDlgEmailView(QWidget* parent);

    // The bytes up to the first zero byte, read in the mailbox's code page.
    void SetBytes(std::string_view bytes, std::uint32_t codePage);
    void Clear();

    [[nodiscard]] QPlainTextEdit* Edit() const { return m_pEdit; }

    // The dialog's default buttons do nothing: the page stays.
    void accept() override {}
    void reject() override {}

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPlainTextEdit* m_pEdit;
};

class CDlgEmailViewText final : public CDlgEmailView {
    Q_OBJECT
public:
    explicit CDlgEmailViewText(QWidget* parent);
};

class CDlgEmailViewMime final : public CDlgEmailView {
    Q_OBJECT
public:
    explicit CDlgEmailViewMime(QWidget* parent);
};
