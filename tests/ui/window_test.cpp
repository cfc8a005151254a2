// Numbered windows: opening flags, placement, classes and numbers, closing;
// the window procedure's events, focus, keyboard cues, shortcuts and the
// messages it hands to the gadget library; Tab navigation.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/windows/focus_navigation.h"
#include "ui/windows/keyboard_shortcuts.h"
#include "ui/windows/window_flags.h"
#include "ui/windows/window_proc.h"

namespace {

bool ClassExists(ObjectNumber number) {
    WNDCLASSW info;
    std::wstring name = L"WindowClass_" + std::to_wstring(static_cast<long long>(number));
    return GetClassInfoW(ProgramInstance(), name.c_str(), &info) != FALSE;
}
// Whether window is centred on reference, stopping at 0.
bool CentredOn(HWND reference, HWND window) {
    RECT a = Outer(reference), w = Outer(window);
    return w.left == std::max(0L, a.left + ((a.right - a.left) - (w.right - w.left)) / 2) &&
           w.top == std::max(0L, a.top + ((a.bottom - a.top) - (w.bottom - w.top)) / 2);
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
void RecordCuesOf(HWND window, LRESULT state) {
    gCueState = state;
    gCueUpdates.clear();
    gCuesPrevious = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordCues)));
}
const LRESULT kCuesHidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;
const WPARAM kShowCues = MAKEWPARAM(UIS_CLEAR, kCuesHidden);
const WPARAM kHideCues = MAKEWPARAM(UIS_SET, kCuesHidden);

using WindowTest = UiTest;

} // namespace

// Each row's flags are also opened as a window with a client area of 200 x 100.
TEST_F(WindowTest, LibraryBitsAreTakenOutOfTheFlagsAndTheWindowHasTheShapeAndClientSizeAsked) {
    const DWORD tool = WS_EX_TOOLWINDOW, caption = WS_CAPTION;
    const DWORD zoomable = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MAXIMIZE;
    // Flags; style, extended style; screen-centred, parent-centred, no gadget list, invisible.
    const std::tuple<uint32_t, DWORD, DWORD, std::string> cases[] = {
        {0, caption, 0, "----"},
        {0x1, caption, 0, "S---"},
        {0x8, caption, 0, "--N-"},
        {0x10000003, caption, 0, "SP-I"},
        {0xCA0001, caption | WS_SYSMENU | WS_MINIMIZEBOX, 0, "S---"},
        {WS_SYSMENU | WS_THICKFRAME, WS_SYSMENU | WS_THICKFRAME, 0, "----"},
        {0x4, caption, tool, "----"},
        {0x1000000F | WS_SYSMENU, caption | WS_SYSMENU, tool, "SPNI"},
        {0x4 | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_MINIMIZE | WS_MAXIMIZE,
         caption | WS_SYSMENU, tool, "----"},
        {zoomable, zoomable, 0, "----"}};
    ObjectNumber number = 0;
    for (const auto& [flags, style, exStyle, bits] : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << flags);
        WindowStyles s = TranslateWindowFlags(flags);
        EXPECT_TRUE(s.style == style && s.exStyle == exStyle);
        EXPECT_EQ(std::string({s.screenCentred ? 'S' : '-', s.parentCentred ? 'P' : '-',
                               s.noGadgetList ? 'N' : '-', s.invisible ? 'I' : '-'}),
                  bits);
        HWND window = Handle(WindowOpen(++number, 0, 0, 200, 100, "flags", flags, nullptr));
        EXPECT_TRUE(WindowHandle(number) == window && WindowNumberOf(window) == number);
        const LONG_PTR shown = s.invisible ? 0 : WS_VISIBLE, zoomed = style & WS_MAXIMIZE;
        EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & (style | WS_VISIBLE), style | shown);
        EXPECT_EQ(GetWindowLongPtrW(window, GWL_EXSTYLE) & (tool | WS_EX_TOPMOST), exStyle);
        EXPECT_EQ(FindWindowRecord(number)->sizeState, zoomed ? 1 : 0);
        RECT client;
        GetClientRect(window, &client);
        EXPECT_TRUE(zoomed || (client.right == 200 && client.bottom == 100));
    }
}

TEST_F(WindowTest, PlacedOnTheScreenOnAParentOrOnTheActiveWindow) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN); // wider than it: cut to it, at 0
    RECT wide = Outer(Handle(WindowOpen(0, 0, 0, screenWidth + 500, 100, "wide", 0x1, nullptr)));
    EXPECT_TRUE(wide.left == 0 && wide.right == screenWidth);
    EXPECT_EQ(wide.top, (GetSystemMetrics(SM_CYSCREEN) - (wide.bottom - wide.top)) / 2);
    RECT chosen = Outer(Handle(WindowOpen(1, WINDOW_IGNORE, 40, 100, 50, "default", 0, nullptr)));
    EXPECT_TRUE(chosen.left >= 0 && chosen.top >= 0); // the system's choice
    HWND parent = Handle(WindowOpen(2, 100, 120, 400, 300, "parent", 0, nullptr));
    ASSERT_TRUE(Activated(parent));
    // Wide enough that the system's minimum tracking size does not widen them.
    EXPECT_TRUE(CentredOn(parent, Handle(WindowOpen(3, 0, 0, 200, 80, "active", 0x2, nullptr))));
    HWND child = Handle(WindowOpen(4, 0, 0, 200, 80, "child", 0x2, parent));
    EXPECT_TRUE(CentredOn(parent, child) && GetWindow(child, GW_OWNER) == parent);
    // Larger than its small parent in the corner: at 0, not negative.
    HWND corner = Handle(WindowOpen(5, 0, 0, 50, 30, "corner", 0, nullptr));
    RECT large = Outer(Handle(WindowOpen(6, 0, 0, 600, 400, "large", 0x2, corner)));
    EXPECT_TRUE(large.left == 0 && large.top == 0);
}

TEST_F(WindowTest, EachWindowHasAClassOfItsOwnAndCommandsTakeOnlyNumbersOfOpenWindows) {
    HWND first = Handle(WindowOpen(7, 10, 10, 100, 80, "seven", 0, nullptr));
    WNDCLASSW info;
    ASSERT_TRUE(GetClassInfoW(ProgramInstance(), L"WindowClass_7", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS)); // double clicks become events
    // Reopening a number closes the old window first.
    HWND second = Handle(WindowOpen(7, 0, 0, 100, 50, "\xCF\xEE\xF0\xF2:", 0, nullptr));
    EXPECT_TRUE(!IsWindow(first) && WindowHandle(7) == second && ClassExists(7));
    EXPECT_EQ(Native(second), u"Порт:"); // the Windows-1251 title as the same characters
    EventPost(EVENT_GADGET, 3, 7, 0);    // closing takes the window's queued events with it
    EXPECT_EQ(WindowClose(7), 0);
    EXPECT_TRUE(!IsWindow(second) && !ClassExists(7) && !WindowHandle(7));
    EXPECT_TRUE(Codes(Drain(), 7).empty());
    // A dynamic number is its record's address, and names the class.
    intptr_t number = WindowOpen(DynamicNumber, 0, 0, 100, 50, "dynamic", 0, nullptr);
    HWND dynamic = WindowHandle(number);
    EXPECT_EQ(reinterpret_cast<intptr_t>(FindWindowRecord(number)), number);
    EXPECT_TRUE(dynamic && WindowNumberOf(dynamic) == number && ClassExists(number));
    WindowClose(number);
    EXPECT_TRUE(!IsWindow(dynamic) && !ClassExists(number) && !FindWindowRecord(number));
    // A failed creation releases the number and its class.
    HWND bogusParent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF1230));
    EXPECT_EQ(WindowOpen(6, 0, 0, 100, 50, "orphan", 0, bogusParent), 0);
    EXPECT_TRUE(!FindWindowRecord(6) && !ClassExists(6));
    // Topmost and closing take only numbers of open windows.
    HWND a = Handle(WindowOpen(0, 0, 0, 200, 100, "a", 0xCA0001, nullptr));
    auto topmost = [&] { return (GetWindowLongPtrW(a, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    for (const auto& [number, on, after] :
         {std::tuple(0, 1, true), {9, 0, true}, {-1, 0, true}, {0, 0, false}}) {
        WindowSetTopmost(number, on);
        EXPECT_EQ(topmost(), after) << number << on;
    }
    EXPECT_TRUE(WindowClose(42) == 0 && WindowClose(123456) == 0 && IsWindow(a));
    // Closing an owned window activates its owner.
    HWND owned = Handle(WindowOpen(1, 50, 50, 100, 50, "owned", 0, a));
    ASSERT_TRUE(Activated(owned));
    WindowClose(1);
    EXPECT_TRUE(!IsWindow(owned) && GetActiveWindow() == a);
    // The end routine closes every window.
    HWND b = Handle(WindowOpen(4, 0, 0, 100, 50, "b", 0, nullptr));
    HWND c = WindowHandle(WindowOpen(DynamicNumber, 0, 0, 100, 50, "c", 0, nullptr));
    WindowsEnd();
    EXPECT_TRUE(!IsWindow(a) && !IsWindow(b) && !IsWindow(c) && !ClassExists(4));
    EXPECT_NE(WindowOpen(0, 0, 0, 100, 50, "again", 0, nullptr), 0);
}

static int gForwards;
static HWND gForwardedControl;
static MessageResult gAnswer;
static MessageResult RecordForward(HWND control, ObjectNumber gadget, HWND, UINT, WPARAM, LPARAM) {
    gForwards += gadget == 14;
    gForwardedControl = control;
    return gAnswer;
}

static HWND gListWindow;
static int gListCalls;
static HWND RecordListUse(HWND window) {
    gListWindow = window;
    ++gListCalls;
    return nullptr;
}

TEST_F(WindowTest, NewWindowIsTheGadgetListUnlessAskedAndMessagesAboutAGadgetGoToTheLibrary) {
    GadgetHooks hooks{RecordListUse, nullptr};
    SetGadgetHooks(&hooks);
    gListCalls = 0;
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "list", 0, nullptr));
    EXPECT_TRUE(gListCalls == 1 && gListWindow == window);
    ASSERT_NE(WindowOpen(1, 0, 0, 100, 50, "no list", WINDOW_NO_GADGET_LIST, nullptr), 0);
    SetGadgetHooks(nullptr); // without the gadget library nothing is called
    EXPECT_NE(WindowOpen(2, 0, 0, 100, 50, "plain", 0, nullptr), 0);
    EXPECT_EQ(gListCalls, 1);
    // The owner window of a control is its numbered ancestor, else its
    // topmost one.
    HWND child = Control(window, 12), plain = RawWindow();
    EXPECT_TRUE(FindOwnerWindow(Control(child, 13)) == window && !FindOwnerWindow(nullptr));
    EXPECT_TRUE(FindOwnerWindow(Control(plain, 3)) == plain && WindowNumberOf(plain) == -1);
    // The test programs ask for no visual styles (no manifest), so none apply.
    uint32_t version = ThemedControlsProbe();
    EXPECT_TRUE(version != 0 && ThemedControlsProbe() == version && ThemeLibrary());
    EXPECT_EQ(ThemedControls(), 0);
    SetLastError(1234);
    SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(GetLastError(), 0u); // the class procedure clears it
    GadgetHooks forward{nullptr, RecordForward};
    SetGadgetHooks(&forward);
    HWND control = Control(window, 14, L"STATIC", 0);
    SetPropW(control, L"KX_ID", reinterpret_cast<HANDLE>(14));
    Drain();
    gForwards = 0;
    gAnswer = Handled(0);
    // Messages about a gadget go to the gadget library (colour requests and
    // notices: the gadget suites' colour and editor change tests). A command
    // the kind handles makes no gadget event; one it leaves does.
    const WPARAM click = MAKEWPARAM(14, BN_DBLCLK); // a notice code other than 0
    PostMessageW(window, WM_COMMAND, click, reinterpret_cast<LPARAM>(control));
    EXPECT_EQ(EventWait(0), WM_COMMAND);
    gAnswer = NotHandled;
    PostMessageW(window, WM_COMMAND, click, reinterpret_cast<LPARAM>(control));
    EXPECT_TRUE(EventWait(0) == EVENT_GADGET && EventGadgetNumber() == 14 && gForwards == 2);
    EXPECT_TRUE(EventWindowNumber() == 0 && EventType() == BN_DBLCLK &&
                gForwardedControl == control);
    // No gadget: a mark that differs from the identifier, no control, no library.
    SetPropW(control, L"KX_ID", reinterpret_cast<HANDLE>(15));
    EXPECT_FALSE(ForwardToGadget(control, window, WM_CTLCOLORSTATIC, 0, 0).handled);
    EXPECT_FALSE(ForwardToGadget(nullptr, window, WM_CTLCOLORSTATIC, 0, 0).handled);
    SetPropW(control, L"KX_ID", reinterpret_cast<HANDLE>(14));
    SetGadgetHooks(nullptr);
    EXPECT_FALSE(ForwardToGadget(control, window, WM_CTLCOLORSTATIC, 0, 0).handled);
    EXPECT_EQ(gForwards, 2);
}

TEST_F(WindowTest, ShowingAndSizingGiveTheirEventsInOrder) {
    HWND window = Handle(WindowOpen(
        1, 40, 40, 220, 140, "sizable",
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, nullptr));
    EXPECT_GT(EventQueueLength(), 0); // queued during the show
    std::vector<Delivered> seen = Drain();
    for (const Delivered& d : seen) // a move event carries the window's number as its gadget
        EXPECT_TRUE(d.code != EVENT_MOVE_WINDOW || d.gadget == 1);
    for (int32_t code : {EVENT_ACTIVATE, EVENT_SIZE_WINDOW, EVENT_MOVE_WINDOW})
        EXPECT_TRUE(Contains(Codes(seen, 1), {code})) << code;
    // Shown as; the run of events it gives; the size state after it.
    const std::tuple<int, std::vector<int32_t>, int32_t> steps[] = {
        {SW_MINIMIZE, {EVENT_MINIMIZE}, 1},
        {SW_RESTORE, {EVENT_RESTORE, EVENT_SIZE_WINDOW}, 0},
        {SW_MAXIMIZE, {EVENT_MAXIMIZE, EVENT_SIZE_WINDOW}, 1}};
    for (const auto& [show, run, sizeState] : steps) {
        SCOPED_TRACE(show);
        ShowWindow(window, show);
        std::vector<int32_t> codes;
        WaitUntil([&] {
            std::vector<int32_t> more = Codes(Drain(), 1);
            codes.insert(codes.end(), more.begin(), more.end());
            return Contains(codes, run);
        });
        EXPECT_TRUE(Contains(codes, run)) << testing::PrintToString(codes);
        EXPECT_EQ(FindWindowRecord(1)->sizeState, sizeState);
    }
    RemovePropW(window, L"KX_WindowID"); // a window without its number makes no events
    EXPECT_EQ(SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 1);
    EXPECT_EQ(SendMessageW(window, WM_MOVE, 0, 0), 0);
    EXPECT_EQ(EventQueueLength(), 0);
    SetPropW(window, L"KX_WindowID", reinterpret_cast<HANDLE>(2));
}

// Tab through the wait moves the focus and shows the cues, unless a rich-text
// box takes it; deactivation hides them, reactivation gives the focus back.
TEST_F(WindowTest, TabMovesTheFocusAndShowsTheCuesWhichDeactivationHidesAgain) {
    HWND window = Handle(WindowOpen(0, 20, 20, 300, 100, "tabs", 0, nullptr));
    HWND first = Control(window, 1), second = Control(window, 2);
    ASSERT_TRUE(Activated(window));
    SetFocus(first);
    Drain();
    RecordCuesOf(window, kCuesHidden);
    PostMessageW(first, WM_KEYDOWN, 'A', 0); // no shortcut: nothing shown
    Drain();
    EXPECT_TRUE(gCueUpdates.empty());
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(GetFocus(), second);
    EXPECT_EQ(gCueUpdates, std::vector<WPARAM>{kShowCues});
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80; // the table's second entry
    SetKeyboardState(keys);
    PostMessageW(second, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(GetFocus(), first);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    gCueState = 0; // cues shown
    gCueUpdates.clear();
    ASSERT_TRUE(Activated(Handle(WindowOpen(1, 340, 20, 200, 100, "second", 0, nullptr))));
    EXPECT_EQ(gCueUpdates, std::vector<WPARAM>{kHideCues});
    EXPECT_TRUE(Contains(Codes(Drain(), 0), {EVENT_DEACTIVATE}));
    SetActiveWindow(window); // the default handling would focus the window itself
    ASSERT_TRUE(Activated(window));
    EXPECT_EQ(GetFocus(), first);
    EXPECT_TRUE(Contains(Codes(Drain(), 0), {EVENT_ACTIVATE}));
    ASSERT_NE(LoadLibraryW(L"RICHED20.DLL"), nullptr);
    HWND rich = Control(window, 3, L"RichEdit20W", WS_TABSTOP | ES_MULTILINE);
    SetFocus(rich);
    keys[VK_TAB] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(ActiveShortcutTable(window), nullptr);
    SendMessageW(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY); // read-only: the table again
    EXPECT_NE(ActiveShortcutTable(window), nullptr);
    SendMessageW(rich, EM_SETOPTIONS, ECOOP_AND, ~ECO_READONLY);
    keys[VK_SHIFT] = 0x80; // and with Shift held
    SetKeyboardState(keys);
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
