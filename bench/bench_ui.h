// UI services for the benchmarks: progress and message boxes that cost nothing, so the
// figures are the operations' own. The first few messages are shown on stderr.
#pragma once

#include <cstdio>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/code_page.h"
#include "platform/ui_services.h"

namespace bench {

class CQuietProgress final : public IProgress {
public:
    void SetRange(int, int, int) override {}
    bool Begin(std::u16string_view, bool) override { return true; }
    int SetPosition(int position) override { return std::exchange(m_Position, position); }
    void SetStatusText(std::u16string_view) override {}
    void PumpMessages(bool) override {}
    [[nodiscard]] bool IsCancelled() const override { return false; }
    void ClearProgress() override { m_Position = 0; }

private:
    int m_Position = 0;
};

class CQuietUi final : public IUiServices {
public:
    MsgAnswer MessageBox(std::u16string_view text, std::u16string_view, MsgIcon,
                         MsgButtons) override {
        ++m_nMessages;
        if (m_nMessages <= 3) {
            std::fprintf(stderr, "message: %s\n", WideToUtf8(text).c_str());
        }
        return MsgAnswer::Ok;
    }
    std::unique_ptr<IProgress> CreateProgress(std::u16string_view, bool) override {
        return std::make_unique<CQuietProgress>();
    }
    int m_nMessages = 0;
};

}  // namespace bench
