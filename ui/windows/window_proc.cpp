#include "ui/windows/window_proc.h"

#include "ui/windows/event_codes.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/focus_navigation.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/keyboard_shortcuts.h"
#include "ui/windows/live_sizing.h"
#include "ui/windows/window.h"

namespace {

// What a message is about: the numbered window it belongs to (the first
// ancestor with KX_WindowID), or -1 and no record.
struct MessageWindow {
    HWND window;         // the window the message was sent to
    HWND numbered;       // the window that carries the number, if any
    ObjectNumber number; // -1 for none
    WindowRecord* record;

    bool ForItself() const { return record && window == numbered; }
};

// FindOwnerWindow's walk, with the mark read once where it is found: every
// read of a window property is a round trip to the window server, and this
// runs for every message of every window.
MessageWindow Identify(HWND window) {
    MessageWindow about{window, nullptr, -1, nullptr};
    for (HWND current = window; current; current = GetParent(current)) {
        if (HANDLE mark = GetPropW(current, kWindowIdProperty)) {
            about.numbered = current;
            about.number = reinterpret_cast<ObjectNumber>(mark) - 1;
            about.record = FindWindowRecord(about.number);
            break;
        }
    }
    return about;
}

void Queue(int32_t code, ObjectNumber gadget, const MessageWindow& about) {
    EventPost(code, gadget, about.number, 0);
}

void Pending(int32_t code) {
    if (CurrentEventRecord* record = CurrentEvent()) record->live.pendingCode = code;
}

MessageResult OnSize(const MessageWindow& about, WPARAM kind) {
    if (!about.ForItself()) return Handled(1);
    WindowRecord* record = about.record;
    switch (kind) {
    case SIZE_RESTORED:
        if (record->sizeState == 1) {
            record->sizeState = 0;
            Queue(EVENT_RESTORE, 0, about);
        }
        Queue(EVENT_SIZE_WINDOW, 0, about);
        break;
    case SIZE_MINIMIZED:
        record->sizeState = 1;
        Queue(EVENT_MINIMIZE, 0, about);
        break;
    case SIZE_MAXIMIZED:
        record->sizeState = 1;
        Queue(EVENT_MAXIMIZE, 0, about);
        Queue(EVENT_SIZE_WINDOW, 0, about);
        break;
    default:
        Queue(EVENT_SIZE_WINDOW, 0, about);
        break;
    }
    return Handled(0);
}

// Activation does not run the default handling, so the focus goes exactly
// where it was when the window was last deactivated.
MessageResult OnActivate(const MessageWindow& about, WPARAM wParam) {
    if (LOWORD(wParam) != WA_INACTIVE) {
        if (auto focus = static_cast<HWND>(GetPropW(about.window, kFocusProperty))) SetFocus(focus);
        Queue(EVENT_ACTIVATE, 0, about);
    } else {
        SetPropW(about.window, kFocusProperty, GetFocus());
        SetKeyboardCues(about.window, false);
        Queue(EVENT_DEACTIVATE, 0, about);
    }
    return Handled(1);
}

BOOL CALLBACK SendSysColorChange(HWND child, LPARAM) {
    SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    return TRUE;
}

MessageResult OnCommand(const MessageWindow& about, UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto control = reinterpret_cast<HWND>(lParam)) {
        if (ForwardToGadget(control, about.window, message, wParam, lParam).handled)
            return Handled(0);
        // Not a gadget, or its kind left it to us: a gadget event with the
        // control's identifier, delivered by the wait in progress.
        if (CurrentEventRecord* record = CurrentEvent()) {
            record->live.pendingCode = EVENT_GADGET;
            record->live.gadget = static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
            record->live.type = HIWORD(wParam);
        }
        return Handled(0);
    }
    if (HIWORD(wParam) == 1) { // a shortcut of the window's table
        if (LOWORD(wParam) == SHORTCUT_TAB_NEXT) {
            FocusNextControl();
            return Handled(0);
        }
        if (LOWORD(wParam) == SHORTCUT_TAB_PREVIOUS) {
            FocusPreviousControl();
            return Handled(0);
        }
    }
    return NotHandled;
}

} // namespace

LRESULT CALLBACK WindowClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageResult result = WindowMessageToEvent(window, message, wParam, lParam);
    SetLastError(0);
    if (!result.handled) return DefWindowProcW(window, message, wParam, lParam);
    return result.value;
}

MessageResult WindowMessageToEvent(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MessageResult sizing = LiveSizing(window, message, wParam, lParam);
    if (sizing.handled) return sizing;

    MessageWindow about = Identify(window);
    if (CurrentEventRecord* record = CurrentEvent()) record->live.window = about.number;

    switch (message) {
    case WM_MOVE:
        if (about.ForItself()) Queue(EVENT_MOVE_WINDOW, about.number, about);
        return Handled(0);
    case WM_CLOSE:
        // Never destroyed by the system: only WindowClose ends a window.
        if (about.ForItself()) Queue(EVENT_CLOSE_WINDOW, about.number, about);
        return Handled(0);
    case WM_SIZE:
        return OnSize(about, wParam);
    case WM_ACTIVATE:
        return OnActivate(about, wParam);
    case WM_ERASEBKGND:
        Queue(EVENT_REPAINT, 0, about);
        return NotHandled; // the default procedure erases with the class brush
    case WM_SYSCOLORCHANGE:
        if (about.record) EnumChildWindows(window, SendSysColorChange, 0);
        return NotHandled;
    case WM_GETMINMAXINFO:
        if (!about.record) return NotHandled;
        if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
            reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize.x = 1;
        return Handled(0);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        return ForwardToGadget(header ? header->hwndFrom : nullptr, window, message, wParam,
                               lParam);
    }
    case WM_NCDESTROY:
        RemovePropW(window, kFocusProperty);
        return Handled(1);
    case WM_COMMAND:
        return OnCommand(about, message, wParam, lParam);
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        return ForwardToGadget(reinterpret_cast<HWND>(lParam), window, message, wParam, lParam);
    case WM_LBUTTONUP:
        Pending(EVENT_LEFT_CLICK);
        return Handled(0);
    case WM_LBUTTONDBLCLK:
        Pending(EVENT_LEFT_DOUBLE_CLICK);
        return Handled(0);
    case WM_RBUTTONUP:
        Pending(EVENT_RIGHT_CLICK);
        return Handled(0);
    default:
        return NotHandled;
    }
}

MessageResult ForwardToGadget(HWND control, HWND parent, UINT message, WPARAM wParam,
                              LPARAM lParam) {
    if (!control) return NotHandled;
    auto identifier = static_cast<ObjectNumber>(GetWindowLongPtrW(control, GWLP_ID));
    auto mark = reinterpret_cast<ObjectNumber>(GetPropW(control, kGadgetIdProperty));
    if (mark != identifier) return NotHandled;
    auto forward = CurrentGadgetHooks().forwardToGadget;
    if (!forward) return NotHandled;
    return forward(control, identifier, parent, message, wParam, lParam);
}
