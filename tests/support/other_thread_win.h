#pragma once
// A second thread for a Windows test, which may block in a call that only the
// test's own thread can serve (a text carried over to a control that the
// test's thread owns). Finish dispatches the test thread's messages while it
// waits, and fails the test, naming what did not end, when the thread has
// not ended in time: the thread is then ended by force, so that the test
// fails instead of hanging.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "tests/support/wait_until.h"

class OtherThread {
  public:
    OtherThread(std::string what, std::function<void()> body)
        : what_(std::move(what)), body_(std::move(body)) {
        handle_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        if (!handle_) ADD_FAILURE() << what_ << " could not be started";
    }
    ~OtherThread() { Finish(); }
    OtherThread(const OtherThread&) = delete;
    OtherThread& operator=(const OtherThread&) = delete;

    // Whether it has ended, waiting up to timeoutMs without serving any
    // message of the test's thread.
    bool EndsUnaided(DWORD timeoutMs = 5000) const {
        return handle_ && WaitForSingleObject(handle_, timeoutMs) == WAIT_OBJECT_0;
    }
    // Serves the test thread's messages until the thread has ended; false,
    // with a failure, when it had not within timeoutMs.
    bool Finish(DWORD timeoutMs = 5000) {
        if (!handle_) return false;
        bool ended =
            WaitUntil([&] { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }, timeoutMs);
        if (!ended) {
            ADD_FAILURE() << what_ << " did not end within " << timeoutMs << " ms";
            TerminateThread(handle_, 1);
            WaitForSingleObject(handle_, INFINITE);
        }
        CloseHandle(handle_);
        handle_ = nullptr;
        return ended;
    }

  private:
    static DWORD WINAPI Run(void* self) {
        static_cast<OtherThread*>(self)->body_();
        return 0;
    }

    std::string what_;
    std::function<void()> body_;
    HANDLE handle_ = nullptr;
};

// Whether another thread waits for a message it sent to the calling thread.
inline bool SentMessageWaiting() {
    return (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0;
}
