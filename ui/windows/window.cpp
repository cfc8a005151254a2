// The window library: the registry of numbered windows, opening (class,
// styles, size, position, properties, shortcut table), topmost and closing.
#include "ui/windows/window.h"

#include <string>

#include "runtime/dynamic_calls_win.h"
#include "runtime/program_heap.h"
#include "ui/windows/event_queue.h"
#include "ui/windows/event_wait.h"
#include "ui/windows/gadget_hooks.h"
#include "ui/windows/live_sizing.h"
#include "ui/windows/native_text.h"
#include "ui/windows/window_flags.h"
#include "ui/windows/window_proc.h"

namespace {

struct WindowLibrary {
    ObjectRegistry* registry;
    HINSTANCE instance;
    HICON classIcon;
    HCURSOR classCursor;
    uint32_t commonControlsVersion; // 0 until determined
    int32_t themedControls;
};

WindowLibrary gWindows;

// The registry's free callback: reusing a number and closing everything
// close windows the same way as WindowClose.
void CloseForRegistry(ObjectNumber number) {
    WindowClose(number);
}

// "WindowClass_%d" of the number; a dynamic number is an address, printed
// whole on 64-bit builds.
NumberedName ClassName(ObjectNumber number) {
    return NumberedName(L"WindowClass_", number);
}

void RegisterWindowClass(const NumberedName& name) {
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowClassProc;
    windowClass.hInstance = gWindows.instance;
    windowClass.hIcon = gWindows.classIcon;
    windowClass.hCursor = gWindows.classCursor;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name.get();
    RegisterClassW(&windowClass); // fails harmlessly when the class exists
}

// Outer position and size for the client size asked for (steps: outer size,
// default position, centring on the screen or on a reference window).
struct Placement {
    int x, y, width, height;
};

Placement PlaceWindow(const WindowStyles& styles, int32_t x, int32_t y, int32_t width,
                      int32_t height, HWND parent) {
    // A top-level window that is neither a pop-up nor a child gets a caption
    // from the system whatever its style says; its outer size must allow for it.
    DWORD style = styles.style;
    if (!(style & (WS_POPUP | WS_CHILD))) style |= WS_CAPTION;
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, style, FALSE, styles.exStyle);
    Placement place{x, y, outer.right - outer.left, outer.bottom - outer.top};
    if ((x == WINDOW_IGNORE || y == WINDOW_IGNORE) && !styles.screenCentred &&
        !styles.parentCentred)
        place.x = place.y = CW_USEDEFAULT;
    if (styles.screenCentred) {
        int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        if (place.width > screenWidth) place.width = screenWidth;
        if (place.height > screenHeight) place.height = screenHeight;
        place.x = (screenWidth - place.width) / 2;
        place.y = (screenHeight - place.height) / 2;
    } else if (styles.parentCentred) {
        HWND reference = parent ? parent : GetActiveWindow();
        RECT area;
        if (reference && GetWindowRect(reference, &area)) {
            place.x = area.left + (area.right - area.left - place.width) / 2;
            place.y = area.top + (area.bottom - area.top - place.height) / 2;
            if (place.x < 0) place.x = 0;
            if (place.y < 0) place.y = 0;
        }
    }
    return place;
}

int ShowCommand(DWORD style) {
    if (style & WS_MAXIMIZE) return SW_SHOWMAXIMIZED;
    if (style & WS_MINIMIZE) return SW_SHOWMINIMIZED;
    return SW_SHOWNORMAL;
}

// Tab and Shift+Tab, in this order, for every window.
void BuildShortcuts(WindowRecord* record) {
    auto* entries = static_cast<ACCEL*>(ProgramHeapAllocate(2 * sizeof(ACCEL)));
    if (!entries) return;
    entries[0] = ACCEL{FVIRTKEY | FNOINVERT, VK_TAB, SHORTCUT_TAB_NEXT};
    entries[1] = ACCEL{FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, SHORTCUT_TAB_PREVIOUS};
    record->shortcutEntries = entries;
    record->shortcutCount = 2;
    record->shortcutTable = CreateAcceleratorTableW(entries, 2);
}

} // namespace

HINSTANCE ProgramInstance() {
    if (!gWindows.instance) gWindows.instance = GetModuleHandleW(nullptr);
    return gWindows.instance;
}

void WindowsInit() {
    if (gWindows.registry) return;
    gWindows.instance = ProgramInstance();
    gWindows.registry = CreateObjectRegistry(sizeof(WindowRecord), 16, CloseForRegistry);
    CurrentEventInit();
    LiveSizingInit();
    gWindows.classIcon = LoadIconW(gWindows.instance, MAKEINTRESOURCEW(1));
    // A system cursor by its number, no text: the A function takes the
    // headers' IDC_ARROW as it is.
    gWindows.classCursor = LoadCursorA(nullptr, IDC_ARROW);
}

void WindowsEnd() {
    WindowClose(-1);
}

intptr_t WindowOpen(ObjectNumber number, int32_t x, int32_t y, int32_t width, int32_t height,
                    const Text& title, uint32_t flags, HWND parent) {
    if (!gWindows.registry || number < DynamicNumber) return 0;
    auto* record = static_cast<WindowRecord*>(ObtainObject(gWindows.registry, number));
    if (!record) return 0;
    const bool dynamic = number == DynamicNumber;
    if (dynamic) number = reinterpret_cast<ObjectNumber>(record);

    NumberedName className = ClassName(number);
    RegisterWindowClass(className);
    WindowStyles styles = TranslateWindowFlags(flags);
    Placement place = PlaceWindow(styles, x, y, width, height, parent);

    // Messages during creation find no window number yet and make no events.
    HWND window = CreateWindowExW(styles.exStyle, className.get(), NativeText(title).get(),
                                  styles.style, place.x, place.y, place.width, place.height, parent,
                                  nullptr, gWindows.instance, nullptr);
    if (!window) {
        UnregisterClassW(className.get(), gWindows.instance);
        ReleaseObject(gWindows.registry, number);
        return 0;
    }
    record->handle = window;
    SetPropW(window, kWindowIdProperty, reinterpret_cast<HANDLE>(number + 1));
    // Activation, size, move and erase during the show become queued events.
    if (!styles.invisible) ShowWindow(window, ShowCommand(styles.style));
    record->sizeState = (styles.style & (WS_MINIMIZE | WS_MAXIMIZE)) ? 1 : 0;
    BuildShortcuts(record);
    if (!styles.noGadgetList) {
        if (auto gadgetListUse = CurrentGadgetHooks().gadgetListUse) gadgetListUse(window);
    }
    return dynamic ? number : reinterpret_cast<intptr_t>(window);
}

void WindowSetTopmost(ObjectNumber number, int32_t topmost) {
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return;
    SetWindowPos(record->handle, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE);
}

int32_t WindowClose(ObjectNumber number) {
    if (!gWindows.registry) return 0;
    if (number == -1) {
        FreeAllObjects(gWindows.registry);
        return 0;
    }
    WindowRecord* record = FindWindowRecord(number);
    if (!record) return 0;
    HWND window = record->handle;
    if (HWND owner = GetWindow(window, GW_OWNER)) SetActiveWindow(owner);
    RemovePropW(window, kWindowIdProperty);
    DestroyWindow(window); // destroys the controls too
    UnregisterClassW(ClassName(number).get(), gWindows.instance);
    ProgramHeapFree(record->shortcutEntries);
    if (record->shortcutTable) DestroyAcceleratorTable(record->shortcutTable);
    // After the destruction, so that events queued during it go too.
    EventsRemoveForWindow(number);
    ReleaseObject(gWindows.registry, number);
    return 0;
}

WindowRecord* FindWindowRecord(ObjectNumber number) {
    if (!gWindows.registry || number == DynamicNumber) return nullptr;
    return static_cast<WindowRecord*>(FindObject(gWindows.registry, number));
}

HWND WindowHandle(ObjectNumber number) {
    WindowRecord* record = FindWindowRecord(number);
    return record ? record->handle : nullptr;
}

ObjectNumber WindowNumberOf(HWND window) {
    if (!window) return -1;
    return reinterpret_cast<ObjectNumber>(GetPropW(window, kWindowIdProperty)) - 1;
}

HWND FindOwnerWindow(HWND window) {
    HWND top = window;
    for (HWND current = window; current; current = GetParent(current)) {
        if (GetPropW(current, kWindowIdProperty)) return current;
        top = current;
    }
    return top;
}

uint32_t ThemedControlsProbe() {
    if (gWindows.commonControlsVersion) return gWindows.commonControlsVersion;
    gWindows.commonControlsVersion = CommonControlsVersion();
    // The theme library stays loaded: the gadget kinds draw with its functions.
    gWindows.themedControls = ThemedControlsCheck() ? 1 : 0;
    return gWindows.commonControlsVersion;
}

int32_t ThemedControls() {
    return gWindows.themedControls;
}

HMODULE ThemeLibrary() {
    return RuntimeLibraryHandle(RuntimeLibrary::Theme);
}
