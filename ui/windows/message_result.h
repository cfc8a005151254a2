#pragma once
// What a message handler in front of a window procedure did with a message:
// handled it, with the result the message returns, or left it to the next
// procedure in line (in the end the system's default one).
#include <windows.h>

struct MessageResult {
    bool handled;
    LRESULT value; // the message's result when handled
};

constexpr MessageResult NotHandled{false, 0};

constexpr MessageResult Handled(LRESULT value) {
    return MessageResult{true, value};
}
