#include "app/launch.h"

#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <algorithm>

#include "app/main_frame.h"
#include "app/my_quick_list.h"
#include "app/qt_text.h"
#include "app/quick_list_delegate.h"
#include "app/sizing_control_bar.h"
#include "platform/paths.h"
#include "platform/ui_services.h"

namespace {

constexpr char16_t kOneThingText[] =
    u"Korvane Quillbox opens one mailbox file (.dbx) or one store folder at a time.";

LaunchRequest Refuse(std::u16string text) {
    LaunchRequest request;
    request.kind = LaunchRequest::Refused;
    request.refusal = std::move(text);
    return request;
}

}  // namespace

LaunchRequest ParseLaunchArguments(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return {};
    }
    if (arguments.size() > 1) {
        return Refuse(kOneThingText);
    }
    const std::u16string path = ToU16(arguments.front());
    if (arguments.front().startsWith(QLatin1Char('-'))) {
        return Refuse(u"'" + path + u"' is not an option of Korvane Quillbox. " + kOneThingText);
    }
    LaunchRequest request;
    request.path = path;
    switch (ClassifyPath(path)) {
        case PathKind::File:
            request.kind = LaunchRequest::File;
            return request;
        case PathKind::Folder:
            request.kind = LaunchRequest::Folder;
            return request;
        case PathKind::Missing:
        case PathKind::Unreadable:
        case PathKind::Other:
            break;
    }
    return Refuse(MailboxPathProblem(path));
}

void RunLaunchRequest(const LaunchRequest& request, CMainFrame& frame, IUiServices& ui) {
    switch (request.kind) {
        case LaunchRequest::Nothing:
            return;
        case LaunchRequest::File:
            frame.LoadMailbox(request.path);
            return;
        case LaunchRequest::Folder:
            frame.LoadStore(request.path);
            return;
        case LaunchRequest::Refused:
            ui.MessageBox(request.refusal, kErrorCaption, MsgIcon::Error, MsgButtons::Ok);
            return;
    }
}

QRect FirstWindowGeometry(const QRect& availableScreen) {
    const QSize size(availableScreen.width() * 3 / 4, availableScreen.height() * 3 / 4);
    QRect geometry(QPoint(0, 0), size);
    geometry.moveCenter(availableScreen.center());
    return geometry;
}

std::array<int, kEmailColumnCount> FirstColumnWidths(const QFontMetrics& metrics, int listWidth) {
    // What each text column typically holds; icon columns keep their own width.
    static const std::array<QString, kEmailColumnCount> kTypical = {
        QStringLiteral("99999"),
        QString(),
        QString(),
        QString(),
        QStringLiteral("Re: Minutes of the meeting on Monday morning"),
        QStringLiteral("0000-00-00 00:00"),
        QStringLiteral("0000-00-00 00:00"),
        QStringLiteral("Annabel Example-Smith"),
        QStringLiteral("Annabel Example-Smith"),
        QStringLiteral("99999"),
    };
    std::array<int, kEmailColumnCount> widths{};
    int total = 0;
    for (int column = 0; column < kEmailColumnCount; ++column) {
        const auto c = std::size_t(column);
        if (IsIconColumn(column)) {
            widths[c] = kEmailColumns[c].width;
        } else {
            const int content =
                std::max(metrics.horizontalAdvance(kTypical[c]),
                         metrics.horizontalAdvance(ToQString(kEmailColumns[c].heading)));
            widths[c] = content + 2 * CQuickListDelegate::kTextIndent + 8;
        }
        total += widths[c];
    }
    // A wide window gives its room to the subject, which is what people read.
    if (total < listWidth) {
        widths[ColSubject] += listWidth - total;
    }
    return widths;
}

void ApplyFirstWindowLayout(CMainFrame& frame, QScreen* screen) {
    if (screen == nullptr) {
        screen = QGuiApplication::screenAt(QCursor::pos());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect geometry = FirstWindowGeometry(screen->availableGeometry());
    frame.setGeometry(geometry);
    if (CMySizingControlBarG* bar = frame.ViewerBar()) {
        frame.resizeDocks({bar}, {geometry.height() / 3}, Qt::Vertical);
    }
    if (CMyQuickList* list = frame.EmailList()) {
        // The vertical scroll bar takes its share once rows come.
        const int listWidth = geometry.width() -
                              list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) -
                              2 * list->frameWidth() - 4;
        const auto widths = FirstColumnWidths(list->fontMetrics(), listWidth);
        for (int column = 0; column < kEmailColumnCount; ++column) {
            list->setColumnWidth(column, widths[std::size_t(column)]);
        }
    }
}

CLaunchDropFilter::CLaunchDropFilter(QWidget& target, Handler handler)
    : QObject(&target), m_Handler(std::move(handler)) {
    target.setAcceptDrops(true);
    target.installEventFilter(this);
}

namespace {

// The local paths of a drag; empty when any of it is not a local file or folder.
QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            return {};
        }
        paths.append(url.toLocalFile());
    }
    return paths;
}

}  // namespace

bool CLaunchDropFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!LocalPaths(drag->mimeData()).isEmpty()) {
            drag->acceptProposedAction();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = LocalPaths(drop->mimeData());
        if (paths.isEmpty()) {
            return false;
        }
        drop->acceptProposedAction();
        m_Handler(ParseLaunchArguments(paths));
        return true;
    }
    return QObject::eventFilter(watched, event);
}
