// How the desktop program opens what it is started with or what is dropped on it, and how
// its first window is laid out on a Linux desktop: three quarters of the screen under the
// pointer, the viewer a third of it, columns as wide as what they typically hold.
#pragma once

#include <QObject>
#include <QRect>
#include <QStringList>
#include <array>
#include <functional>
#include <string>

#include "mailbox/email_columns.h"

class CMainFrame;
class IUiServices;
class QFontMetrics;
class QScreen;

// What a start or a drop asks for. A refusal carries the message to show; the app then
// starts (or stays) as it is.
struct LaunchRequest {
    enum Kind { Nothing, File, Folder, Refused };
    Kind kind = Nothing;
    std::u16string path;
    std::u16string refusal;
};

// The arguments after the program name (or the paths of a drop).
[[nodiscard]] LaunchRequest ParseLaunchArguments(const QStringList& arguments);

// Opens a file as File > Open does, a folder as File > Open Store does; shows a refusal in
// an error box.
void RunLaunchRequest(const LaunchRequest& request, CMainFrame& frame, IUiServices& ui);

[[nodiscard]] QRect FirstWindowGeometry(const QRect& availableScreen);
[[nodiscard]] std::array<int, kEmailColumnCount> FirstColumnWidths(const QFontMetrics& metrics,
                                                                   int listWidth);
// Sizes, centres and lays out the main window on the screen (the one under the pointer
// when null).
void ApplyFirstWindowLayout(CMainFrame& frame, QScreen* screen = nullptr);

// Opens a .dbx file or a store folder dropped on the window it watches.
class CLaunchDropFilter final : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const LaunchRequest&)>;
    CLaunchDropFilter(QWidget& target, Handler handler);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_Handler;
};
