// CProgressStepper: the progress window of one loop. It is opened with the loop's title,
// the range 0..100 and "Progress" begun; each step shows the share done and a status
// text, and lets the user's input through. The window closes when the stepper goes.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

class IProgress;
class IUiServices;

class CProgressStepper {
public:
    CProgressStepper(IUiServices& ui, std::u16string_view title, bool smooth);
    CProgressStepper(const CProgressStepper&) = delete;
    CProgressStepper& operator=(const CProgressStepper&) = delete;
    ~CProgressStepper();

    // The bar at done * 100 / total (0 for no total) and the status text.
    void Show(std::uint64_t done, std::uint64_t total, std::u16string_view status);
    // Lets input through, Escape cancelling; true while the user has not cancelled.
    bool Pump();
    // Show, then Pump.
    bool Step(std::uint64_t done, std::uint64_t total, std::u16string_view status);
    // The bar full, for a loop that moved it only now and then.
    void Fill();
    // Empties the window before it closes.
    void Clear();

private:
    std::unique_ptr<IProgress> m_pProgress;
};
