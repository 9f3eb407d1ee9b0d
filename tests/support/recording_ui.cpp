#include "support/recording_ui.h"

#include <algorithm>
#include <utility>

#include "platform/code_page.h"

namespace {

MsgAnswer DefaultFor(MsgButtons buttons, MsgAnswer preferred) {
    const bool positive = preferred == MsgAnswer::Yes || preferred == MsgAnswer::Ok;
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::OkCancel:
            return positive ? MsgAnswer::Ok : MsgAnswer::Cancel;
        case MsgButtons::YesNo:
            return positive ? MsgAnswer::Yes : MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            return positive ? MsgAnswer::Yes : preferred;
    }
    return MsgAnswer::Ok;
}

}  // namespace

MsgAnswer CRecordingUi::MessageBox(std::u16string_view text, std::u16string_view caption,
                                   MsgIcon icon, MsgButtons buttons) {
    MsgAnswer answer = MsgAnswer::Ok;
    if (buttons != MsgButtons::Ok) {
        if (!m_answers.empty()) {
            answer = m_answers.front();
            m_answers.pop_front();
        } else {
            answer = DefaultFor(buttons, m_defaultAnswer);
            ++m_defaultAnswersUsed;
        }
    }
    const auto open = std::count_if(m_progress.begin(), m_progress.end(),
                                    [](const auto& record) { return !record->destroyed; });
    messages.push_back({std::u16string(text), std::u16string(caption), icon, buttons, answer,
                        static_cast<int>(open)});
    return answer;
}

std::unique_ptr<IProgress> CRecordingUi::CreateProgress(std::u16string_view title, bool smooth) {
    auto record = std::make_shared<CProgressRecord>();
    record->creationTitle = std::u16string(title);
    record->creationSmooth = smooth;
    record->title = record->creationTitle;
    record->titles.push_back(record->title);
    record->events.push_back("Create " + WideToUtf8(title));
    m_progress.push_back(record);
    return std::make_unique<CRecordingProgress>(std::move(record), m_cancelAfterPumps);
}

void CRecordingUi::QueueAnswers(std::initializer_list<MsgAnswer> answers) {
    m_answers.insert(m_answers.end(), answers.begin(), answers.end());
}

std::vector<std::u16string> CRecordingUi::MessageTexts() const {
    std::vector<std::u16string> texts;
    texts.reserve(messages.size());
    for (const RecordedMessageBox& box : messages) {
        texts.push_back(box.text);
    }
    return texts;
}

// at() throws on a bad index: in a test that is a loud failure, not undefined behaviour.
const CProgressRecord& CRecordingUi::Progress(std::size_t index) const {
    return *m_progress.at(index);
}

const CProgressRecord& CRecordingUi::LastProgress() const {
    return *m_progress.at(m_progress.size() - 1);
}

CRecordingProgress::CRecordingProgress(std::shared_ptr<CProgressRecord> record,
                                       int cancelAfterPumps)
    : m_record(std::move(record)), m_cancelAfterPumps(cancelAfterPumps) {}

CRecordingProgress::~CRecordingProgress() {
    m_record->destroyed = true;
    m_record->modal = false;
    m_record->events.push_back("Destroy");
}

void CRecordingProgress::SetRange(int lower, int upper, int step) {
    m_record->ranges.push_back({lower, upper, step});
    m_record->lower = lower;
    m_record->upper = upper;
    m_record->step = step;
    m_record->barPosition =
        std::clamp(m_record->barPosition, std::min(lower, upper), std::max(lower, upper));
    m_record->events.push_back("SetRange " + std::to_string(lower) + " " + std::to_string(upper) +
                               " " + std::to_string(step));
}

bool CRecordingProgress::Begin(std::u16string_view title, bool /*smooth*/) {
    // The window exists since creation, so the title given here is not shown.
    m_record->beginTitles.push_back(std::u16string(title));
    m_record->modal = true;
    m_record->events.push_back("Begin " + WideToUtf8(title));
    return true;
}

int CRecordingProgress::MoveTo(int position) {
    CProgressRecord& rec = *m_record;
    const int previous = rec.barPosition;
    rec.lastPosition = position;
    const int percent = ProgressPercent(position, rec.lower, rec.upper);
    if (percent != rec.lastPercent) {
        rec.lastPercent = percent;
        rec.title = ProgressTitle(rec.creationTitle, percent);
        rec.titles.push_back(rec.title);
    }
    rec.barPosition =
        std::clamp(position, std::min(rec.lower, rec.upper), std::max(rec.lower, rec.upper));
    return previous;
}

int CRecordingProgress::SetPosition(int position) {
    m_record->positions.push_back(position);
    m_record->events.push_back("SetPosition " + std::to_string(position));
    return MoveTo(position);
}

void CRecordingProgress::SetStatusText(std::u16string_view text) {
    m_record->statusText = CutStatusText(text);
    m_record->statusTexts.push_back(m_record->statusText);
    m_record->events.push_back("Status " + WideToUtf8(m_record->statusText));
}

void CRecordingProgress::PumpMessages(bool cancelOnEscape) {
    CProgressRecord& rec = *m_record;
    ++rec.pumpCount;
    if (cancelOnEscape) {
        ++rec.pumpWithEscapeCount;
    }
    rec.events.push_back(cancelOnEscape ? "Pump escape" : "Pump");
    // A cancelled window dispatches nothing more, so a later pump cannot cancel again.
    if (!rec.cancelled && m_cancelAfterPumps > 0 && rec.pumpCount == m_cancelAfterPumps) {
        rec.cancelled = true;
        rec.cancelledAtPump = rec.pumpCount;
        rec.events.push_back("Cancelled");
    }
}

bool CRecordingProgress::IsCancelled() const {
    return m_record->cancelled;
}

void CRecordingProgress::ClearProgress() {
    CProgressRecord& rec = *m_record;
    ++rec.clearCount;
    rec.events.push_back("Clear");
    rec.statusText.clear();
    MoveTo(0);
    rec.cancelled = false;
    rec.lastPosition = 0;
}
