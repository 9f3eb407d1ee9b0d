// The few things the core asks of whoever shows it: message boxes and progress windows.
// The desktop app answers with dialogs, the CLI with stderr, the tests with a recorder.
// Every command's visible texts, captions and icons therefore live in the core.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/progress.h"

enum class MsgIcon { None, Error, Warning, Information, Question };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Cancel, Yes, No };

// The application's name, the caption of every notice.
inline constexpr char16_t kAppName[] = u"Korvane Quillbox";
inline constexpr char16_t kErrorCaption[] = u"Error";

class IUiServices {
public:
    virtual ~IUiServices() = default;

    virtual MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption,
                                 MsgIcon icon, MsgButtons buttons) = 0;

    // A progress window owned by the main window, already showing the title.
    // Never null: where no window can be shown, the object does nothing.
    virtual std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) = 0;
};
