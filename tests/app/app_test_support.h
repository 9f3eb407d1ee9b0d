// Shared by the GUI tests: scripted file dialogs, a main window that records what it asks
// the viewer to show, mailboxes written by the DBX writer, and a catcher for the URLs the
// desktop would open.
#pragma once

#include <QDesktopServices>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <deque>
#include <memory>
#include <vector>

#include "app/app_dialogs.h"
#include "app/main_frame.h"
#include "dbxwriter/dbx_temp.h"
#include "dbxwriter/dbx_writer.h"
#include "mime/transfer_codec.h"
#include "support/memory_settings.h"
#include "support/recording_ui.h"

// A message of its subject and its whole raw text.
inline dbxw::Message RawMail(std::string subject, std::string text) {
    dbxw::Message m;
    m.subject = std::move(subject);
    m.text = std::move(text);
    return m;
}

class CFakeAppDialogs final : public IAppDialogs {
public:
    struct Request {
        QString kind;
        QString title;
        QString filter;
        QString initial;
    };

    std::optional<QString> GetOpenFileName(const QString& title, const QString& filter,
                                           const QString& initialFile) override {
        return Answer({QStringLiteral("open"), title, filter, initialFile});
    }
    std::optional<QString> GetSaveFileName(const QString& title, const QString& filter,
                                           const QString& initialFile) override {
        return Answer({QStringLiteral("save"), title, filter, initialFile});
    }
    std::optional<QString> BrowseForFolder(const QString& title,
                                           const QString& initialFolder) override {
        return Answer({QStringLiteral("folder"), title, QString(), initialFolder});
    }

    // Each dialog takes the next answer; nothing queued means the user cancels.
    std::deque<std::optional<QString>> answers;
    std::vector<Request> requests;

private:
    std::optional<QString> Answer(Request request) {
        requests.push_back(std::move(request));
        if (answers.empty()) {
            return std::nullopt;
        }
        // The QString alone is copied: GCC takes a copied optional<QString> for one that may
        // be uninitialised.
        const bool chosen = answers.front().has_value();
        const QString value = chosen ? *answers.front() : QString();
        answers.pop_front();
        if (!chosen) {
            return std::nullopt;
        }
        return value;
    }
};

// A main window whose viewer requests are kept.
class CTestFrame final : public CMainFrame {
public:
    using CMainFrame::CMainFrame;
    void ShowEmail(int row) override { shown.push_back(row); }
    std::vector<int> shown;
};

// Everything a main window needs, built and shown.
template <typename Frame>
struct BasicFrameHarness {
    BasicFrameHarness() : frame(ui, dialogs, settings) {
        RegisterStandardCodecs();
        frame.Create();
        frame.resize(1000, 700);
        frame.show();
    }

    // Writes the messages as a mailbox and returns its path.
    std::u16string Write(const std::vector<dbxw::Message>& messages,
                         std::string_view name = "box.dbx") {
        return WriteImage(dbxw::BuildSimpleMailbox(messages), name);
    }
    std::u16string WriteImage(const dbxw::Image& image, std::string_view name = "box.dbx") {
        const std::filesystem::path path = temp.Path(name);
        image.WriteTo(path);
        return path.u16string();
    }

    dbxw::TempDir temp;
    CRecordingUi ui;
    CFakeAppDialogs dialogs;
    CMemorySettings settings;
    Frame frame;
};

// The usual harness records the viewer's rows; the viewer tests use the real window.
using FrameHarness = BasicFrameHarness<CTestFrame>;
using ViewerFrameHarness = BasicFrameHarness<CMainFrame>;

// Collects the URLs handed to the desktop for the schemes it is installed for.
class CUrlCatcher final : public QObject {
    Q_OBJECT
public:
    explicit CUrlCatcher(QStringList schemes) : m_Schemes(std::move(schemes)) {
        for (const QString& s : m_Schemes) {
            QDesktopServices::setUrlHandler(s, this, "Open");
        }
    }
    ~CUrlCatcher() override {
        for (const QString& s : m_Schemes) {
            QDesktopServices::unsetUrlHandler(s);
        }
    }
    std::vector<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls.push_back(url); }

private:
    QStringList m_Schemes;
};
