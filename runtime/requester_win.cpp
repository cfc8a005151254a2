// The message requester: a modal message box with the calling thread's
// other windows held (disabled, out of the always-on-top band) meanwhile.
#include "runtime/requester.h"

#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "runtime/common_controls_win.h"
#include "runtime/cp1251.h"
#include "runtime/platform.h"
#include "runtime/record_list.h"

namespace {

struct WindowState {
    DWORD thread;
    HWND window;
    int32_t wasTopmost;
    int32_t disabledHere; // enabled and not the foreground window: disabled by us
};

// Process-wide and shared by every thread that shows a message, so its links
// change only under the lock. Each entry belongs to the thread that made it;
// the windows themselves are touched outside the lock, since holding a
// window can send messages to windows of other threads.
RecordList gHeld;
ReentrantLock gHeldLock;
OnceFlag gHeldLockOnce;

void EnsureLock() {
    RunOnce(&gHeldLockOnce, [] { LockInit(&gHeldLock); });
}

struct HoldContext {
    DWORD thread;
    HWND foreground;
    std::vector<WindowState*>* entries;
};

// Under the lock: one entry for each visible top-level window of the thread.
BOOL CALLBACK NoteWindow(HWND window, LPARAM argument) {
    auto* context = reinterpret_cast<HoldContext*>(argument);
    if (GetWindowThreadProcessId(window, nullptr) != context->thread) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    auto* entry = static_cast<WindowState*>(AddListRecord(&gHeld, sizeof(WindowState)));
    if (!entry) return TRUE; // this window is simply not held
    entry->thread = context->thread;
    entry->window = window;
    entry->wasTopmost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    entry->disabledHere = window != context->foreground && IsWindowEnabled(window);
    context->entries->push_back(entry);
    return TRUE;
}

void SetTopmost(HWND window, bool topmost) {
    SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

// The foreground window when it belongs to this process, else none.
HWND ChooseOwner() {
    HWND foreground = GetForegroundWindow();
    if (!foreground) return nullptr;
    DWORD process = 0;
    GetWindowThreadProcessId(foreground, &process);
    return process == GetCurrentProcessId() ? foreground : nullptr;
}

const wchar_t* Wide(const std::u16string& chars) {
    return reinterpret_cast<const wchar_t*>(chars.c_str());
}

} // namespace

void RequesterInit() {
    LoadCommonControlClasses();
    CoInitialize(nullptr);
}

int32_t ShowMessage(const Text& title, const Text& text, uint32_t flags) {
    EnsureLock();
    std::vector<WindowState*> held;
    {
        LockGuard guard(&gHeldLock);
        HoldContext context{GetCurrentThreadId(), GetForegroundWindow(), &held};
        EnumWindows(NoteWindow, reinterpret_cast<LPARAM>(&context));
    }
    for (WindowState* entry : held)
        if (entry->disabledHere) EnableWindow(entry->window, FALSE);
    for (WindowState* entry : held)
        if (entry->wasTopmost) SetTopmost(entry->window, false);

    std::u16string title16 = Cp1251ToUtf16(title);
    std::u16string text16 = Cp1251ToUtf16(text);
    int result = MessageBoxW(ChooseOwner(), Wide(text16), Wide(title16), flags);

    for (WindowState* entry : held) {
        if (entry->disabledHere) EnableWindow(entry->window, TRUE);
        if (entry->wasTopmost) SetTopmost(entry->window, true);
    }
    LockGuard guard(&gHeldLock);
    for (WindowState* entry : held)
        RemoveListRecord(&gHeld, entry);
    return result;
}

int32_t RequesterHeldWindows() {
    EnsureLock();
    LockGuard guard(&gHeldLock);
    int32_t count = 0;
    for (void* entry = ListFirst(&gHeld); entry; entry = ListNext(entry))
        ++count;
    return count;
}
