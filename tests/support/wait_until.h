#pragma once
// Bounded waiting for a condition in Windows tests: threads and GUI tests
// synchronise on what they can observe, never on fixed sleeps alone. The
// calling thread's messages are dispatched meanwhile, so windows it owns
// keep answering.
#include <windows.h>

#include <cstdint>

template <typename Condition> bool WaitUntil(Condition condition, DWORD timeoutMs = 5000) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return condition();
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 2, QS_ALLINPUT);
    }
}

// The same wait handling no message of the calling thread, for a test that
// holds another thread's sent message unanswered on purpose.
template <typename Condition> bool WaitUnserved(Condition condition, DWORD timeoutMs = 5000) {
    for (DWORD start = GetTickCount(); !condition(); Sleep(1))
        if (GetTickCount() - start > timeoutMs) return condition();
    return true;
}
