#pragma once
// The delay.
#include <cstdint>

// Suspends the calling thread for ms milliseconds with the system timer
// resolution raised to 1 ms meanwhile. A negative time does not wait.
void PauseMs(int32_t ms);
