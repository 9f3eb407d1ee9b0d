// What a long operation sees of its progress window. The operation owns the object from
// creation to the end of its command; destroying it closes the window and gives the
// main window back to the user.
#pragma once

#include <string>
#include <string_view>

class IProgress {
public:
    virtual ~IProgress() = default;

    virtual void SetRange(int lower, int upper, int step) = 0;
    // Shows the window modally; false only when no window could be made.
    virtual bool Begin(std::u16string_view title, bool smooth) = 0;
    // Returns the previous position.
    virtual int SetPosition(int position) = 0;
    // The text is cut at kMaxStatusText characters.
    virtual void SetStatusText(std::u16string_view text) = 0;
    // Lets the user's input through; Escape cancels when asked to.
    virtual void PumpMessages(bool cancelOnEscape) = 0;
    [[nodiscard]] virtual bool IsCancelled() const = 0;
    virtual void ClearProgress() = 0;

    static constexpr std::size_t kMaxStatusText = 511;
};

// Percentage shown in the title: rounded, and 0 for an empty or inverted range.
[[nodiscard]] int ProgressPercent(int position, int lower, int upper);

// "%s [%d%%]".
[[nodiscard]] std::u16string ProgressTitle(std::u16string_view title, int percent);

// The text cut at kMaxStatusText UTF-16 units, never inside a surrogate pair: what every
// SetStatusText shows.
[[nodiscard]] std::u16string CutStatusText(std::u16string_view text);

// printf-style formatting (UTF-8 arguments) into UTF-16 text, cut like a status text at
// kMaxStatusText units: every message, status and caption the core builds from numbers.
[[nodiscard]] std::u16string FormatText(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
