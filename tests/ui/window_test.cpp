// Numbered windows: opening flags, placement, numbers, closing; live
// sizing; focus, keyboard cues and Tab navigation.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/windows/focus_navigation.h"
#include "ui/windows/keyboard_shortcuts.h"
#include "ui/windows/live_sizing.h"

namespace {

// Whether window is centred on the reference rectangle.
bool CentredOn(RECT a, HWND window) {
    RECT w = Outer(window);
    return w.left == a.left + ((a.right - a.left) - (w.right - w.left)) / 2 &&
           w.top == a.top + ((a.bottom - a.top) - (w.bottom - w.top)) / 2;
}

// Wine keeps no keyboard-cue state of its own, so a procedure in front of the
// class procedure answers the state query and records the updates.
WNDPROC gCuesPrevious;
LRESULT gCueState;
std::vector<WPARAM> gCueUpdates;
LRESULT CALLBACK RecordCues(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYUISTATE) return gCueState;
    if (message != WM_UPDATEUISTATE)
        return CallWindowProcW(gCuesPrevious, window, message, wParam, lParam);
    gCueUpdates.push_back(wParam);
    return 0;
}
const LRESULT kCuesHidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;

using WindowTest = UiTest;

} // namespace

// The client area is the size asked for; centred on the screen or on the
// parent, or where the system chooses. A tool window loses its minimize box.
TEST_F(WindowTest, OpensWithTheClientSizeAskedWhereItIsAsked) {
    const uint32_t panel = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WINDOW_SCREEN_CENTRED;
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "screen", panel, nullptr));
    RECT client, screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetClientRect(window, &client);
    EXPECT_TRUE(client.right == 200 && client.bottom == 100 && CentredOn(screen, window));
    HWND child = Handle(WindowOpen(1, 0, 0, 200, 80, "child", WINDOW_PARENT_CENTRED, window));
    EXPECT_TRUE(CentredOn(Outer(window), child) && GetWindow(child, GW_OWNER) == window);
    RECT chosen = Outer(Handle(WindowOpen(2, WINDOW_IGNORE, 40, 100, 50, "default", 0, nullptr)));
    EXPECT_TRUE(chosen.left >= 0 && chosen.top >= 0);
    HWND tool = Handle(WindowOpen(3, 0, 0, 50, 50, "", WINDOW_TOOL | WS_MINIMIZEBOX, nullptr));
    EXPECT_TRUE(GetWindowLongPtrW(tool, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongPtrW(tool, GWL_STYLE) & WS_MINIMIZEBOX);
    EXPECT_FALSE(
        IsWindowVisible(Handle(WindowOpen(4, 0, 0, 50, 50, "", WINDOW_INVISIBLE, nullptr))));
}

// The title in Windows-1251 shows as the same characters. Closing takes the
// window's queued events with it; reopening a number closes the old window.
TEST_F(WindowTest, CommandsTakeOnlyNumbersOfOpenWindowsAndReopeningClosesTheOldOne) {
    HWND first = Handle(WindowOpen(7, 10, 10, 100, 80, "seven", 0, nullptr));
    HWND second = Handle(WindowOpen(7, 0, 0, 100, 50, "\xCF\xEE\xF0\xF2:", 0, nullptr));
    EXPECT_TRUE(!IsWindow(first) && WindowHandle(7) == second && WindowNumberOf(second) == 7);
    EXPECT_EQ(Native(second), u"Порт:");
    EventPost(EVENT_GADGET, 3, 7, 0);
    EXPECT_EQ(WindowClose(7), 0);
    EXPECT_TRUE(!IsWindow(second) && !WindowHandle(7) && Codes(Drain(), 7).empty());
    intptr_t dynamic = WindowOpen(DynamicNumber, 0, 0, 100, 50, "dynamic", 0, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(FindWindowRecord(dynamic)), dynamic); // its address
    HWND a = Handle(WindowOpen(0, 0, 0, 200, 100, "a", 0, nullptr));
    auto topmost = [&] { return (GetWindowLongPtrW(a, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    for (const auto& [number, on, after] :
         {std::tuple(0, 1, true), {9, 0, true}, {-1, 0, true}, {0, 0, false}}) {
        WindowSetTopmost(number, on);
        EXPECT_EQ(topmost(), after) << number << on;
    }
    WindowsEnd(); // closes every window
    EXPECT_TRUE(!IsWindow(a) && !FindWindowRecord(dynamic));
}

// Tab through the wait moves the focus and shows the cues, also from a
// read-only rich-text box (an editable one takes the Tab itself);
// deactivation hides them, reactivation gives the focus back.
TEST_F(WindowTest, TabMovesTheFocusAndShowsTheCuesWhichDeactivationHidesAgain) {
    HWND window = Handle(WindowOpen(0, 20, 20, 300, 100, "tabs", 0, nullptr));
    HWND first = Control(window, 1), second = Control(window, 2);
    ASSERT_TRUE(Activated(window));
    SetFocus(first);
    Drain();
    gCueState = kCuesHidden;
    gCueUpdates.clear();
    gCuesPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordCues)));
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(GetFocus(), second);
    EXPECT_EQ(gCueUpdates, std::vector<WPARAM>{MAKEWPARAM(UIS_CLEAR, kCuesHidden)});
    gCueState = 0; // cues shown
    gCueUpdates.clear();
    ASSERT_TRUE(Activated(Handle(WindowOpen(1, 340, 20, 200, 100, "second", 0, nullptr))));
    EXPECT_EQ(gCueUpdates, std::vector<WPARAM>{MAKEWPARAM(UIS_SET, kCuesHidden)});
    SetActiveWindow(window); // the default handling would focus the window itself
    ASSERT_TRUE(Activated(window));
    EXPECT_EQ(GetFocus(), second);
    ASSERT_NE(LoadLibraryW(L"RICHED20.DLL"), nullptr);
    HWND rich = Control(window, 3, L"RichEdit20W", WS_TABSTOP | ES_MULTILINE);
    SetFocus(rich);
    BYTE keys[256] = {};
    keys[VK_TAB] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(ActiveShortcutTable(window), nullptr);
    SendMessageW(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
    EXPECT_NE(ActiveShortcutTable(window), nullptr);
}

// Tab navigation walks the window's descendants: at[1] first, at[2] hidden,
// at[3] disabled, at[4] last (all tab stops), at[5] no tab stop; at[0] is the
// window.
TEST_F(WindowTest, FocusWalksTheShownAndEnabledTabStopsInOrderAndWraps) {
    HWND at[6] = {Handle(WindowOpen(0, 0, 0, 300, 100, "tab", 0, nullptr))};
    for (int id = 1; id <= 5; ++id)
        at[id] = Control(at[0], id, L"BUTTON", id == 5 ? 0 : WS_TABSTOP);
    ShowWindow(at[2], SW_HIDE);
    EnableWindow(at[3], FALSE);
    ASSERT_TRUE(Activated(at[0]));
    const int steps[][3] = {// from, next (1) or previous (0), to
                            {1, 1, 4}, {4, 1, 1}, {1, 0, 4}, {4, 0, 1},
                            {0, 1, 1}, {0, 0, 4}, {5, 1, 5}, {5, 0, 4}};
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step[0] << (step[1] ? " next" : " previous"));
        SetFocus(at[step[0]]);
        (step[1] ? FocusNextControl : FocusPreviousControl)();
        EXPECT_EQ(GetFocus(), at[step[2]]);
    }
}

// Live sizing, which the program's panel (no sizing border) never runs: a
// drag of the top-left corner moves and sizes the window while the wait
// delivers its events (the corner takes 2 off both sides); the button's
// release ends it.
TEST_F(WindowTest, TheMouseResizesLiveWhileTheWaitDeliversEvents) {
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    HWND window = Handle(WindowOpen(1, 200, 150, 300, 200, "sizable",
                                    WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, nullptr));
    ASSERT_TRUE(Activated(window));
    Drain();
    const RECT r = Outer(window);
    PostMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPLEFT, 0);
    EXPECT_EQ(EventWait(0), WM_SYSCOMMAND); // the system's own loop did not take over
    ASSERT_EQ(GetCapture(), window);
    POINT to{r.left - 30, r.top - 30};
    ScreenToClient(window, &to);
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM(static_cast<WORD>(to.x), static_cast<WORD>(to.y)));
    std::vector<int32_t> codes = Codes(Drain(), 1);
    EXPECT_TRUE(Contains(codes, {EVENT_MOVE_WINDOW}) && Contains(codes, {EVENT_SIZE_WINDOW}));
    const RECT now = Outer(window);
    EXPECT_TRUE(now.left == r.left - 32 && now.top == r.top - 32 && now.right == r.right &&
                now.bottom == r.bottom);
    PostMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(Contains(Codes(Drain()), {WM_EXITSIZEMOVE}));
    EXPECT_TRUE(ThreadSizingState()->active == 0 && GetCapture() != window);
}
