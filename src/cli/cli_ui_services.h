// The UI services of quillbox-cli: message boxes become lines on stderr, questions get the
// answer chosen on the command line, and progress is a one-line bar redrawn in place.
//
// The bar is drawn only on a terminal; piped or redirected output gets no progress at all,
// so logs hold nothing but the message lines. Message lines and the bar share the one
// terminal line: a message first wipes the bar, which comes back at the next update.
// Ctrl-C (once InstallInterruptHandler ran) cancels the running operation at its next
// PumpMessages; a second Ctrl-C ends the program as usual.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>

#include "platform/ui_services.h"

struct CliUiOptions {
    MsgAnswer questionAnswer = MsgAnswer::Yes;  // YesNo and YesNoCancel boxes
    MsgAnswer okCancelAnswer = MsgAnswer::Ok;   // OkCancel boxes
};

class CTerminalLine;

class CCliUi final : public IUiServices {
public:
    // On stderr, with the bar when stderr is a terminal.
    explicit CCliUi(CliUiOptions options = {});
    CCliUi(std::ostream& out, bool isTerminal, CliUiOptions options = {});
    ~CCliUi() override;
    CCliUi(const CCliUi&) = delete;
    CCliUi& operator=(const CCliUi&) = delete;

    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) override;

    // The answer a box with these buttons gets.
    [[nodiscard]] MsgAnswer AnswerFor(MsgButtons buttons) const;

    // Routes the first SIGINT to the running operation instead of ending the program.
    static void InstallInterruptHandler();
    // A Ctrl-C that no progress has taken up yet.
    [[nodiscard]] static bool InterruptPending();

private:
    CliUiOptions m_options;
    std::shared_ptr<CTerminalLine> m_line;
};

// CTextOutputUi: the UI services of a command whose message boxes are its result. Each
// box's text goes to the stream as UTF-8 lines (a text ending in a line break gets no
// second one); answers and progress are the wrapped CLI services'.
class CTextOutputUi final : public IUiServices {
public:
    CTextOutputUi(std::ostream& out, CCliUi& inner);
    CTextOutputUi(const CTextOutputUi&) = delete;
    CTextOutputUi& operator=(const CTextOutputUi&) = delete;

    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) override;

private:
    std::ostream& m_out;
    CCliUi& m_inner;
};

[[nodiscard]] const char* MsgAnswerName(MsgAnswer answer);

// One redraw of the bar: "[#####     ]  50% text", cut to the given number of columns.
[[nodiscard]] std::string FormatProgressLine(int percent, std::u16string_view status,
                                             std::size_t columns);
