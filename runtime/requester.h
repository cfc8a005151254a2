#pragma once
// The message requester: modal message boxes.
#include <cstdint>

#include "runtime/text.h"

// Start routine: loads the common-control classes and starts COM for the
// calling thread. Neither result is examined; there is no end step.
void RequesterInit();

// Shows a modal message box with the platform's message-box flags (0: one
// OK button, no icon) and returns the identifier of the button that closed
// it. Title and text are Windows-1251 and show the same on any system.
// While the box is open the calling thread's other visible windows are
// disabled (the foreground one excepted, which owns the box) and taken out
// of the always-on-top band; both are restored afterwards. The box is owned
// by the foreground window when that window belongs to this process.
// Blocks the calling thread; several threads may show messages at once.
int32_t ShowMessage(const Text& title, const Text& text, uint32_t flags);

// For tests: window-state entries currently held (0 unless a box is open).
int32_t RequesterHeldWindows();
