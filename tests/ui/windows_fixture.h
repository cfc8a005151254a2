#pragma once
// The start-up of the window library as the program does it, once per test
// process, and helpers for driving windows and reading what the wait
// delivers.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/program_heap.h"
#include "runtime/requester.h"
#include "runtime/threads.h"
#include "tests/support/wait_until.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

// What one wait returned, with the delivered fields read right after it.
struct Delivered {
    int32_t code;
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
};

class WindowsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        PostEventInit();
        WindowsInit();
        RequesterInit();
        ThreadsInit();
    }
    void SetUp() override {
        SetGadgetHooks(nullptr);
        Drain();
    }
    void TearDown() override {
        WindowClose(-1);
        for (HWND window : raw_)
            DestroyWindow(window);
        SetGadgetHooks(nullptr);
        BYTE keys[256] = {};
        SetKeyboardState(keys);
        Drain();
    }

    static Delivered Wait(int32_t timeoutMs) {
        int32_t code = EventWait(timeoutMs);
        return Delivered{code, EventGadgetNumber(), EventWindowNumber(), EventType()};
    }

    // Everything the waits return until there is nothing left.
    static std::vector<Delivered> Drain() {
        std::vector<Delivered> seen;
        for (int i = 0; i < 2000; ++i) {
            Delivered next = Wait(0);
            if (next.code == 0) break;
            seen.push_back(next);
        }
        return seen;
    }

    static std::vector<int32_t> Codes(const std::vector<Delivered>& seen) {
        std::vector<int32_t> codes;
        for (const Delivered& d : seen)
            codes.push_back(d.code);
        return codes;
    }

    // Only the events of one window among the codes this library produces.
    static std::vector<int32_t> EventsOf(const std::vector<Delivered>& seen, ObjectNumber window) {
        std::vector<int32_t> codes;
        for (const Delivered& d : seen)
            if (d.window == window && IsEventCode(d.code)) codes.push_back(d.code);
        return codes;
    }

    static bool IsEventCode(int32_t code) {
        switch (code) {
        case EVENT_MOVE_WINDOW:
        case EVENT_SIZE_WINDOW:
        case EVENT_CLOSE_WINDOW:
        case EVENT_GADGET:
        case EVENT_ACTIVATE:
        case EVENT_MINIMIZE:
        case EVENT_MAXIMIZE:
        case EVENT_RESTORE:
        case EVENT_RIGHT_CLICK:
        case EVENT_LEFT_CLICK:
        case EVENT_LEFT_DOUBLE_CLICK:
        case EVENT_DEACTIVATE:
            return true;
        default:
            return false;
        }
    }

    // Waits (dispatching through EventWait) until an event with this code
    // arrives; the events seen on the way are appended to seen.
    static bool WaitForEvent(int32_t code, std::vector<Delivered>* seen = nullptr,
                             DWORD timeoutMs = 5000) {
        DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            Delivered next = Wait(10);
            if (seen && next.code) seen->push_back(next);
            if (next.code == code) return true;
        }
        return false;
    }

    static HWND Handle(intptr_t opened) { return reinterpret_cast<HWND>(opened); }

    // A plain child control of a window, with its identifier.
    static HWND Control(HWND parent, int id, const wchar_t* className = L"BUTTON",
                        DWORD style = WS_TABSTOP) {
        return CreateWindowExW(0, className, L"control", WS_CHILD | WS_VISIBLE | style,
                               10 + 30 * (id % 8), 10, 25, 20, parent,
                               reinterpret_cast<HMENU>(static_cast<intptr_t>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    }

    // A top-level window that is not one of the library's (destroyed at the end).
    HWND RawWindow(HWND parent = nullptr) {
        static ATOM registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"PlainTestWindow";
            return RegisterClassW(&windowClass);
        }();
        (void)registered;
        HWND window =
            CreateWindowExW(0, L"PlainTestWindow", L"plain", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                            400, 200, 150, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
        raw_.push_back(window);
        return window;
    }

    static std::wstring Text16(HWND window) {
        wchar_t text[256] = {};
        GetWindowTextW(window, text, 256);
        return text;
    }

    static bool ClassExists(ObjectNumber number) {
        WNDCLASSW info;
        std::wstring name = L"WindowClass_" + std::to_wstring(static_cast<long long>(number));
        return GetClassInfoW(ProgramInstance(), name.c_str(), &info) != FALSE;
    }

  private:
    std::vector<HWND> raw_;
};
