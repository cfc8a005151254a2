#pragma once
// The Windows user-interface suites: the start-up of the window library (and
// for the gadget suites the gadget library) as the program does it, once per
// test process; windows and controls of the test's own; reading what the
// waits deliver.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "tests/support/wait_until.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

// A window's text as the system holds it.
inline std::u16string Native(HWND window) {
    std::wstring buffer(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    int copied = GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()),
                          static_cast<size_t>(copied));
}

// A window's outer rectangle on the screen.
inline RECT Outer(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// Whether run appears in codes, in order and together.
inline bool Contains(const std::vector<int32_t>& codes, const std::vector<int32_t>& run) {
    return std::search(codes.begin(), codes.end(), run.begin(), run.end()) != codes.end();
}

// What one wait returned, with the delivered fields read right after it.
struct Delivered {
    int32_t code;
    ObjectNumber gadget, window;
    int32_t type;
};

class UiTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        PostEventInit();
        WindowsInit();
        ThreadsInit();
    }
    void SetUp() override {
        hooks_ = CurrentGadgetHooks();
        Drain();
    }
    void TearDown() override {
        WindowClose(-1);
        for (HWND window : raw_)
            DestroyWindow(window);
        SetGadgetHooks(&hooks_);
        BYTE keys[256] = {};
        SetKeyboardState(keys);
        Drain();
    }

    static HWND Handle(intptr_t opened) { return reinterpret_cast<HWND>(opened); }
    // A visible top-level window of the test's whose procedure is not the
    // library's, destroyed after it.
    HWND RawWindow(DWORD exStyle = 0, int x = 500) {
        return raw_.emplace_back(CreateWindowExW(exStyle, L"Static", L"plain",
                                                 WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 300, 250, 150,
                                                 nullptr, nullptr, nullptr, nullptr));
    }
    // A child control of parent with its identifier.
    static HWND Control(HWND parent, int id, const wchar_t* className = L"BUTTON",
                        DWORD style = WS_TABSTOP) {
        return CreateWindowExW(
            0, className, L"control", WS_CHILD | WS_VISIBLE | style, 10 + 30 * (id % 8), 10, 25, 20,
            parent, reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    }
    static bool Activated(HWND window) {
        return WaitUntil([&] { return GetActiveWindow() == window; });
    }

    static Delivered Wait(int32_t timeoutMs) {
        int32_t code = EventWait(timeoutMs);
        return Delivered{code, EventGadgetNumber(), EventWindowNumber(), EventType()};
    }
    // The wait without a time limit, as the program waits; a thread timer
    // ends it after 5 s (the wait then returns WM_TIMER), so that an event
    // that never comes fails the test instead of hanging it.
    static Delivered WaitForever() {
        UINT_PTR timer = SetTimer(nullptr, 0, 5000, nullptr);
        Delivered next = Wait(-1);
        KillTimer(nullptr, timer);
        return next;
    }
    // Everything the waits return until there is nothing left.
    static std::vector<Delivered> Drain() {
        std::vector<Delivered> seen;
        for (Delivered next = Wait(0); next.code != 0 && seen.size() < 5000; next = Wait(0))
            seen.push_back(next);
        return seen;
    }
    // The codes delivered; with a window number, only that window's events
    // (a system message leaves the last event's numbers in place).
    static std::vector<int32_t> Codes(const std::vector<Delivered>& seen,
                                      ObjectNumber window = -2) {
        std::vector<int32_t> codes;
        for (const Delivered& d : seen) {
            bool event = d.code == EVENT_MOVE_WINDOW || d.code == EVENT_SIZE_WINDOW ||
                         d.code == EVENT_CLOSE_WINDOW ||
                         (d.code >= EVENT_GADGET && d.code <= EVENT_DEACTIVATE);
            if (window == -2 || (d.window == window && event)) codes.push_back(d.code);
        }
        return codes;
    }
    // The gadget events among what the waits delivered.
    static std::vector<Delivered> GadgetEvents(const std::vector<Delivered>& seen) {
        std::vector<Delivered> events;
        for (const Delivered& d : seen)
            if (d.code == EVENT_GADGET) events.push_back(d);
        return events;
    }

  private:
    std::vector<HWND> raw_;
    GadgetHooks hooks_{};
};

// The gadget suites: the gadget library started too.
class GadgetsTest : public UiTest {
  protected:
    static void SetUpTestSuite() {
        UiTest::SetUpTestSuite();
        GadgetsInit();
    }
    // Window number (0 by default), the calling thread's current gadget list.
    static HWND OpenWindow(ObjectNumber number = 0) {
        return Handle(WindowOpen(number, 20 + 30 * static_cast<int32_t>(number), 20, 400, 300,
                                 "gadgets", 0, nullptr));
    }
    static GadgetRecord* Record(ObjectNumber number) { return FindGadget(number); }
};
