// The state of the three lock keys for the status bar's indicators. Only an X11 display
// reports it; elsewhere each state is unknown.
#pragma once

#include <optional>

struct LockKeyState {
    std::optional<bool> caps;
    std::optional<bool> num;
    std::optional<bool> scroll;
};

[[nodiscard]] LockKeyState QueryLockKeys();
