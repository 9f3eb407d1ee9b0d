// A stand-in for the UI services that records what the core shows and answers from a
// script.
//
// Every message box lands in `messages` in order. Boxes with a choice (anything but Ok)
// take their answer from the front of the script; once the script is used up they get
// the default question answer, and `DefaultAnswersUsed()` says how often that happened,
// so a test can check that its script was consumed exactly. Ok boxes always answer Ok and
// never touch the script.
//
// Each progress object writes into a CProgressRecord that the recorder keeps after the
// object is gone. The record follows the progress window's observable rules: the title
// gets " [n%]" only when the percentage changes, SetPosition returns the previous bar
// position, ClearProgress empties the text, returns to 0 and forgets a cancel.
#pragma once

#include <cstddef>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui_services.h"

struct RecordedMessageBox {
    std::u16string text;
    std::u16string caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer answer = MsgAnswer::Ok;  // what the recorder answered
    // Progress windows still open when the box showed: a box under one would be hidden.
    int openProgress = 0;
};

struct ProgressRange {
    int lower = 0;
    int upper = 0;
    int step = 0;
    friend bool operator==(const ProgressRange&, const ProgressRange&) = default;
};

// What one progress object went through, in call order within each list.
struct CProgressRecord {
    std::u16string creationTitle;
    bool creationSmooth = false;
    std::vector<std::u16string> beginTitles;  // titles handed to Begin (never shown)
    std::vector<ProgressRange> ranges;        // SetRange calls
    std::vector<int> positions;               // SetPosition calls, as passed
    std::vector<std::u16string> statusTexts;  // SetStatusText calls, already cut to 511
    // Every title the window showed: the creation title first, then each change.
    std::vector<std::u16string> titles;
    // All calls as readable lines ("SetRange 0 100 1", "Begin Progress", "SetPosition 5",
    // "Status 5 emails scanned", "Pump escape", "Clear"), for checking their order.
    std::vector<std::string> events;
    int clearCount = 0;
    int pumpCount = 0;
    int pumpWithEscapeCount = 0;
    int cancelledAtPump = 0;  // the PumpMessages call (1-based) that cancelled; 0 if none
    bool destroyed = false;

    // Live state, as the window would show it now (or last showed it).
    std::u16string title;
    std::u16string statusText;
    int barPosition = 0;  // clamped to the range, as the bar keeps it
    int lastPosition = 0;
    int lastPercent = 0;
    int lower = 0;
    int upper = 100;
    int step = 1;
    bool cancelled = false;
    bool modal = false;
};

class CRecordingUi final : public IUiServices {
public:
    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view caption, MsgIcon icon,
                         MsgButtons buttons) override;
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view title, bool smooth) override;

    // The script of answers for boxes with a choice, taken front first.
    void QueueAnswer(MsgAnswer answer) { m_answers.push_back(answer); }
    void QueueAnswers(std::initializer_list<MsgAnswer> answers);
    [[nodiscard]] std::size_t PendingAnswers() const { return m_answers.size(); }

    // The answer once the script is used up (initially Yes). Yes/Ok answer OkCancel boxes
    // with Ok and YesNo(Cancel) boxes with Yes; No/Cancel answer Cancel and No (or Cancel
    // for YesNoCancel).
    void SetDefaultQuestionAnswer(MsgAnswer answer) { m_defaultAnswer = answer; }
    [[nodiscard]] int DefaultAnswersUsed() const { return m_defaultAnswersUsed; }

    // Every progress created from now on is cancelled by its Nth PumpMessages call (the
    // way a click on Cancel would land there); 0 turns this off.
    void SetCancelAfterPumps(int pumps) { m_cancelAfterPumps = pumps; }

    [[nodiscard]] std::vector<std::u16string> MessageTexts() const;
    [[nodiscard]] std::size_t ProgressCount() const { return m_progress.size(); }
    // The record of the index-th progress created (0 first); stays valid after the
    // progress object is destroyed.
    [[nodiscard]] const CProgressRecord& Progress(std::size_t index) const;
    [[nodiscard]] const CProgressRecord& LastProgress() const;

    std::vector<RecordedMessageBox> messages;

private:
    std::deque<MsgAnswer> m_answers;
    MsgAnswer m_defaultAnswer = MsgAnswer::Yes;
    int m_defaultAnswersUsed = 0;
    int m_cancelAfterPumps = 0;
    std::vector<std::shared_ptr<CProgressRecord>> m_progress;
};

// The progress object CRecordingUi hands out; usable on its own with any record.
class CRecordingProgress final : public IProgress {
public:
    CRecordingProgress(std::shared_ptr<CProgressRecord> record, int cancelAfterPumps);
    ~CRecordingProgress() override;
    CRecordingProgress(const CRecordingProgress&) = delete;
    CRecordingProgress& operator=(const CRecordingProgress&) = delete;

    void SetRange(int lower, int upper, int step) override;
    bool Begin(std::u16string_view title, bool smooth) override;
    int SetPosition(int position) override;
    void SetStatusText(std::u16string_view text) override;
    void PumpMessages(bool cancelOnEscape) override;
    [[nodiscard]] bool IsCancelled() const override;
    void ClearProgress() override;

    [[nodiscard]] const CProgressRecord& Record() const { return *m_record; }

private:
    // Moves the bar; the title changes with the percentage. Shared by SetPosition and
    // ClearProgress, which records no SetPosition of its own.
    int MoveTo(int position);

    std::shared_ptr<CProgressRecord> m_record;
    int m_cancelAfterPumps;
};
