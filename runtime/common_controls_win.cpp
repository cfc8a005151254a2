#include "runtime/common_controls_win.h"

#include <windows.h>

#include <commctrl.h>

void LoadCommonControlClasses() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                    ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);
}
