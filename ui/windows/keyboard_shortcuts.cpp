#include "ui/windows/keyboard_shortcuts.h"

#include <richedit.h>

#include <cwchar>

#include "ui/windows/window.h"

namespace {

bool KeyDown(int key) {
    return GetKeyState(key) < 0;
}

bool ModifierDown() {
    return KeyDown(VK_CONTROL) || KeyDown(VK_SHIFT) || KeyDown(VK_MENU);
}

// Tab alone in a rich-text control that can be typed in.
bool RichTextTakesTab() {
    HWND focus = GetFocus();
    if (!focus || !KeyDown(VK_TAB) || ModifierDown()) return false;
    wchar_t className[8] = {};
    GetClassNameW(focus, className, 8);
    if (std::wcsncmp(className, L"Rich", 4) != 0) return false;
    return !(SendMessageW(focus, EM_GETOPTIONS, 0, 0) & ECO_READONLY);
}

} // namespace

void SetKeyboardCues(HWND window, bool show) {
    auto state = static_cast<DWORD>(SendMessageW(window, WM_QUERYUISTATE, 0, 0));
    const DWORD hidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    if (show) {
        if (state & hidden)
            SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, hidden), 0);
    } else {
        if ((state & hidden) != hidden)
            SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, hidden), 0);
    }
}

HACCEL ActiveShortcutTable(HWND active) {
    if (RichTextTakesTab()) return nullptr;
    if (active && ModifierDown()) SetKeyboardCues(active, true);
    if (!active || !GetPropW(active, kWindowIdProperty)) return nullptr;
    DWORD process = 0;
    if (!GetWindowThreadProcessId(active, &process) || process != GetCurrentProcessId())
        return nullptr;
    WindowRecord* record = FindWindowRecord(WindowNumberOf(active));
    return record ? record->shortcutTable : nullptr;
}
