#include "platform/progress_stepper.h"

#include "platform/progress.h"
#include "platform/ui_services.h"

CProgressStepper::CProgressStepper(IUiServices& ui, std::u16string_view title, bool smooth)
    : m_pProgress(ui.CreateProgress(title, smooth)) {
    m_pProgress->SetRange(0, 100, 1);
    m_pProgress->Begin(u"Progress", smooth);
}

CProgressStepper::~CProgressStepper() = default;

void CProgressStepper::Show(std::uint64_t done, std::uint64_t total, std::u16string_view status) {
    // 64-bit, so that a huge count cannot overflow done * 100.
    m_pProgress->SetPosition(total == 0 ? 0 : static_cast<int>(done * 100 / total));
    m_pProgress->SetStatusText(status);
}

bool CProgressStepper::Pump() {
    m_pProgress->PumpMessages(true);
    return !m_pProgress->IsCancelled();
}

bool CProgressStepper::Step(std::uint64_t done, std::uint64_t total, std::u16string_view status) {
    Show(done, total, status);
    return Pump();
}

void CProgressStepper::Fill() {
    m_pProgress->SetPosition(100);
}

void CProgressStepper::Clear() {
    m_pProgress->ClearProgress();
}
