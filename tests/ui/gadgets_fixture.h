#pragma once
// The start-up of the window and gadget libraries as the program does it,
// once per test process, and helpers for driving gadgets: what the waits
// deliver, typing, and reading a control's text as the system holds it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "runtime/cp1251.h"
#include "runtime/program_heap.h"
#include "runtime/threads.h"
#include "tests/support/wait_until.h"
#include "ui/gadgets/gadget_list.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/event_codes.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

// What one wait returned, with the delivered fields read right after it.
struct DeliveredEvent {
    int32_t code;
    ObjectNumber gadget;
    ObjectNumber window;
    int32_t type;
};

class GadgetsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        PostEventInit();
        WindowsInit();
        GadgetsInit();
        ThreadsInit();
    }
    void SetUp() override { Drain(); }
    void TearDown() override {
        WindowClose(-1);
        for (HWND window : raw_)
            if (IsWindow(window)) DestroyWindow(window);
        BYTE keys[256] = {};
        SetKeyboardState(keys);
        Drain();
    }

    // Window number (0 by default), the calling thread's current gadget list.
    static HWND OpenWindow(ObjectNumber number = 0, int32_t width = 400, int32_t height = 300) {
        return reinterpret_cast<HWND>(WindowOpen(number, 20 + 30 * static_cast<int32_t>(number), 20,
                                                 width, height, "gadgets", 0, nullptr));
    }

    static HWND Handle(intptr_t created) { return reinterpret_cast<HWND>(created); }

    // A plain window with the default procedure (destroyed at the end).
    HWND RawWindow() {
        static ATOM registered = [] {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.lpszClassName = L"PlainGadgetTestWindow";
            return RegisterClassW(&windowClass);
        }();
        (void)registered;
        HWND window = CreateWindowExW(0, L"PlainGadgetTestWindow", L"plain",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 300, 300, 200, nullptr,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
        raw_.push_back(window);
        return window;
    }

    static DeliveredEvent Wait(int32_t timeoutMs) {
        int32_t code = EventWait(timeoutMs);
        return DeliveredEvent{code, EventGadgetNumber(), EventWindowNumber(), EventType()};
    }

    // Everything the waits return until there is nothing left.
    static std::vector<DeliveredEvent> Drain() {
        std::vector<DeliveredEvent> seen;
        for (int i = 0; i < 5000; ++i) {
            DeliveredEvent next = Wait(0);
            if (next.code == 0) break;
            seen.push_back(next);
        }
        return seen;
    }

    // The gadget events among what the waits delivered.
    static std::vector<DeliveredEvent> GadgetEvents(const std::vector<DeliveredEvent>& seen) {
        std::vector<DeliveredEvent> events;
        for (const DeliveredEvent& d : seen)
            if (d.code == EVENT_GADGET) events.push_back(d);
        return events;
    }

    // The control's text as the system holds it.
    static std::u16string Native(HWND control) {
        int length = GetWindowTextLengthW(control);
        std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
        int copied = GetWindowTextW(control, buffer.data(), length + 1);
        return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()),
                              static_cast<size_t>(copied));
    }

    static void SetNative(HWND control, const std::u16string& text) {
        SetWindowTextW(control, reinterpret_cast<const wchar_t*>(text.c_str()));
    }

    // Gives the control the keyboard focus in the foreground window.
    static bool Focus(HWND control) {
        HWND top = GetAncestor(control, GA_ROOT);
        SetForegroundWindow(top);
        SetFocus(control);
        return WaitUntil([&] { return GetFocus() == control; });
    }

    // Presses and releases each key in turn through the system's input.
    static void PressKeys(const std::vector<WORD>& keys) {
        std::vector<INPUT> input;
        for (WORD key : keys) {
            INPUT down{};
            down.type = INPUT_KEYBOARD;
            down.ki.wVk = key;
            INPUT up = down;
            up.ki.dwFlags = KEYEVENTF_KEYUP;
            input.push_back(down);
            input.push_back(up);
        }
        SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
    }

    // Dispatches through the waits until the condition holds (bounded).
    template <typename Condition> static bool WaitWhileDispatching(Condition condition) {
        return WaitUntil([&] {
            Drain();
            return condition();
        });
    }

  private:
    std::vector<HWND> raw_;
};
