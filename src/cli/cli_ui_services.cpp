#include "cli/cli_ui_services.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <iostream>

#include "platform/code_page.h"
#include "platform/text.h"

namespace {

volatile std::sig_atomic_t g_interruptRequested = 0;

extern "C" void OnInterrupt(int) {
    g_interruptRequested = 1;
}

constexpr std::size_t kBarCells = 20;
// One column short of the classic 80, so the cursor never wraps and \r still redraws.
constexpr std::size_t kLineColumns = 79;

MsgAnswer Resolve(MsgButtons buttons, const CliUiOptions& options) {
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return options.okCancelAnswer == MsgAnswer::Cancel ||
                           options.okCancelAnswer == MsgAnswer::No
                       ? MsgAnswer::Cancel
                       : MsgAnswer::Ok;
        case MsgButtons::YesNo:
            return options.questionAnswer == MsgAnswer::No ||
                           options.questionAnswer == MsgAnswer::Cancel
                       ? MsgAnswer::No
                       : MsgAnswer::Yes;
        case MsgButtons::YesNoCancel:
            return options.questionAnswer == MsgAnswer::Ok ? MsgAnswer::Yes
                                                           : options.questionAnswer;
    }
    return MsgAnswer::Ok;
}

}  // namespace

// The one line of the terminal that the bar lives on; knows what it shows so that a
// redraw with the same text writes nothing and a message can wipe it first.
class CTerminalLine {
public:
    CTerminalLine(std::ostream& out, bool isTerminal) : m_out(out), m_bTerminal(isTerminal) {}

    std::ostream& Stream() { return m_out; }
    [[nodiscard]] bool IsTerminal() const { return m_bTerminal; }

    void Draw(const std::string& line) {
        if (!m_bTerminal || line == m_shown) {
            return;
        }
        const std::size_t width = Utf8CharCount(line);
        std::string out = "\r" + line;
        if (width < m_shownColumns) {
            out.append(m_shownColumns - width, ' ');  // wipe the tail of a longer line
        }
        m_out << out << std::flush;
        m_shown = line;
        m_shownColumns = width;
    }

    void Erase() {
        if (!m_bTerminal || m_shownColumns == 0) {
            m_shown.clear();
            return;
        }
        m_out << '\r' << std::string(m_shownColumns, ' ') << '\r' << std::flush;
        m_shown.clear();
        m_shownColumns = 0;
    }

private:
    std::ostream& m_out;
    bool m_bTerminal;
    std::string m_shown;
    std::size_t m_shownColumns = 0;
};

namespace {

// The bar's state follows the progress window's rules (range, percentage, cancel), so
// operations behave the same whichever front end runs them.
class CTerminalProgress final : public IProgress {
public:
    explicit CTerminalProgress(std::shared_ptr<CTerminalLine> line) : m_line(std::move(line)) {}
    ~CTerminalProgress() override { m_line->Erase(); }
    CTerminalProgress(const CTerminalProgress&) = delete;
    CTerminalProgress& operator=(const CTerminalProgress&) = delete;

    void SetRange(int lower, int upper, int /*step*/) override {
        m_nLower = lower;
        m_nUpper = upper;
        Redraw();
    }

    bool Begin(std::u16string_view /*title*/, bool /*smooth*/) override { return true; }

    int SetPosition(int position) override {
        const int previous = m_nPosition;
        m_nPosition = position;
        m_bShown = true;
        Redraw();
        return previous;
    }

    void SetStatusText(std::u16string_view text) override {
        m_status = CutStatusText(text);
        m_bShown = true;
        Redraw();
    }

    void PumpMessages(bool /*cancelOnEscape*/) override {
        // Ctrl-C stands for the Cancel button, which works whatever the Escape setting.
        if (g_interruptRequested != 0) {
            g_interruptRequested = 0;
            m_bCancelled = true;
        }
    }

    [[nodiscard]] bool IsCancelled() const override { return m_bCancelled; }

    void ClearProgress() override {
        m_status.clear();
        m_nPosition = 0;
        m_bCancelled = false;
        m_bShown = false;
        m_line->Erase();
    }

private:
    void Redraw() {
        if (!m_bShown) {
            return;
        }
        const int percent = std::clamp(ProgressPercent(m_nPosition, m_nLower, m_nUpper), 0, 100);
        m_line->Draw(FormatProgressLine(percent, m_status, kLineColumns));
    }

    std::shared_ptr<CTerminalLine> m_line;
    std::u16string m_status;
    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPosition = 0;
    bool m_bCancelled = false;
    bool m_bShown = false;  // nothing is drawn before the operation reports something
};

}  // namespace

CCliUi::CCliUi(CliUiOptions options) : CCliUi(std::cerr, isatty(STDERR_FILENO) == 1, options) {}

CCliUi::CCliUi(std::ostream& out, bool isTerminal, CliUiOptions options)
    : m_options(options), m_line(std::make_shared<CTerminalLine>(out, isTerminal)) {}

CCliUi::~CCliUi() = default;

MsgAnswer CCliUi::AnswerFor(MsgButtons buttons) const {
    return Resolve(buttons, m_options);
}

MsgAnswer CCliUi::MessageBox(std::u16string_view text, std::u16string_view caption,
                             MsgIcon /*icon*/, MsgButtons buttons) {
    const MsgAnswer answer = AnswerFor(buttons);
    std::string line;
    if (!caption.empty()) {
        line = WideToUtf8(caption) + ": ";
    }
    line += WideToUtf8(text);
    if (buttons != MsgButtons::Ok) {
        line += " -> ";
        line += MsgAnswerName(answer);
    }
    line.push_back('\n');
    m_line->Erase();
    m_line->Stream() << line << std::flush;
    return answer;
}

std::unique_ptr<IProgress> CCliUi::CreateProgress(std::u16string_view /*title*/, bool /*smooth*/) {
    return std::make_unique<CTerminalProgress>(m_line);
}

void CCliUi::InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // One-shot: the second Ctrl-C meets the default action and ends the program.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

bool CCliUi::InterruptPending() {
    return g_interruptRequested != 0;
}

CTextOutputUi::CTextOutputUi(std::ostream& out, CCliUi& inner) : m_out(out), m_inner(inner) {}

MsgAnswer CTextOutputUi::MessageBox(std::u16string_view text, std::u16string_view /*caption*/,
                                    MsgIcon /*icon*/, MsgButtons buttons) {
    std::string line = WideToUtf8(text);
    if (line.empty() || line.back() != '\n') {
        line.push_back('\n');
    }
    m_out << line << std::flush;
    return m_inner.AnswerFor(buttons);
}

std::unique_ptr<IProgress> CTextOutputUi::CreateProgress(std::u16string_view title, bool smooth) {
    return m_inner.CreateProgress(title, smooth);
}

const char* MsgAnswerName(MsgAnswer answer) {
    switch (answer) {
        case MsgAnswer::Ok:
            return "Ok";
        case MsgAnswer::Cancel:
            return "Cancel";
        case MsgAnswer::Yes:
            return "Yes";
        case MsgAnswer::No:
            return "No";
    }
    return "?";
}

std::string FormatProgressLine(int percent, std::u16string_view status, std::size_t columns) {
    percent = std::clamp(percent, 0, 100);
    const std::size_t filled = static_cast<std::size_t>(percent) * kBarCells / 100;
    std::string line = "[";
    line.append(filled, '#');
    line.append(kBarCells - filled, ' ');
    line += "] ";
    const std::string number = std::to_string(percent);
    line.append(3 - number.size(), ' ');
    line += number;
    line += '%';
    if (!status.empty()) {
        std::string text = WideToUtf8(status);
        // The bar must stay on one line.
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; },
            ' ');
        line += ' ';
        line += text;
    }
    return std::string(Utf8CutChars(line, columns));
}
