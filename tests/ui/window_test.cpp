#include "ui/windows/window.h"

#include <algorithm>

#include "tests/ui/windows_fixture.h"
#include "ui/windows/window_flags.h"
#include "ui/windows/window_proc.h"

// --- Flag translation ----------------------------------------------------

TEST(WindowFlags, NoStyleOfItsOwnGetsATitleBar) {
    for (uint32_t flags : {0u, 0x1u, 0x2u, 0x10000000u, 0x10000003u, 0x8u}) {
        WindowStyles styles = TranslateWindowFlags(flags);
        EXPECT_EQ(styles.style, static_cast<DWORD>(WS_CAPTION)) << std::hex << flags;
        EXPECT_EQ(styles.exStyle, 0u) << std::hex << flags;
    }
}

TEST(WindowFlags, ProgramWindowFlagsDecodeToCaptionSystemMenuAndMinimizeBox) {
    WindowStyles styles = TranslateWindowFlags(0xCA0001);
    EXPECT_EQ(styles.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(styles.exStyle, 0u);
    EXPECT_TRUE(styles.screenCentred);
    EXPECT_FALSE(styles.parentCentred);
    EXPECT_FALSE(styles.noGadgetList);
    EXPECT_FALSE(styles.invisible);
}

TEST(WindowFlags, LibraryBitsNeverReachTheSystemStyle) {
    WindowStyles styles = TranslateWindowFlags(0x1000000F | WS_SYSMENU);
    EXPECT_EQ(styles.style & 0x1000000F, 0u);
    EXPECT_TRUE(styles.screenCentred && styles.parentCentred && styles.noGadgetList &&
                styles.invisible);
    // A system bit alongside: no caption is added (the tool bit adds one).
    EXPECT_EQ(TranslateWindowFlags(WS_SYSMENU | WS_THICKFRAME).style,
              static_cast<DWORD>(WS_SYSMENU | WS_THICKFRAME));
}

TEST(WindowFlags, ToolWindowLosesMinimizeAndMaximizeAndGainsCaption) {
    WindowStyles styles = TranslateWindowFlags(0x4 | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX |
                                               WS_MINIMIZE | WS_MAXIMIZE);
    EXPECT_EQ(styles.exStyle, static_cast<DWORD>(WS_EX_TOOLWINDOW));
    EXPECT_EQ(styles.style, static_cast<DWORD>(WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(TranslateWindowFlags(0x4).style, static_cast<DWORD>(WS_CAPTION));
}

// --- Opening -------------------------------------------------------------

TEST_F(WindowsTest, ProgramWindowIsCentredWithAClientAreaOfExactlyTheSizeAsked) {
    intptr_t opened =
        WindowOpen(0, 0, 0, 300, 250, "Virtual Q7700-Ethernet demo", 0xCA0001, nullptr);
    HWND window = Handle(opened);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(WindowHandle(0), window);
    RECT client, outer;
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    EXPECT_EQ(client.right - client.left, 300);
    EXPECT_EQ(client.bottom - client.top, 250);
    int width = outer.right - outer.left, height = outer.bottom - outer.top;
    EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);

    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
              WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST), 0);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(Text16(window), L"Virtual Q7700-Ethernet demo");
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(window, L"KX_WindowID")), 1);
    EXPECT_EQ(WindowNumberOf(window), 0);
}

TEST_F(WindowsTest, EachWindowHasAClassOfItsOwnWithTheWindowProcedure) {
    HWND window = Handle(WindowOpen(7, 10, 10, 100, 80, "seven", 0, nullptr));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(GetPropW(window, L"KX_WindowID")), 8);
    WNDCLASSW info;
    ASSERT_TRUE(GetClassInfoW(ProgramInstance(), L"WindowClass_7", &info));
    EXPECT_EQ(info.lpfnWndProc, WindowClassProc);
    EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS));
    EXPECT_EQ(info.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(className, L"WindowClass_7");
    // A plain window gets a title bar.
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
}

TEST_F(WindowsTest, ToolWindowHasTheToolStyleAndNoMinimizeOrMaximizeBox) {
    HWND window = Handle(WindowOpen(1, 0, 0, 120, 60, "tool",
                                    0x4 | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, nullptr));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 120);
    EXPECT_EQ(client.bottom, 60);
}

TEST_F(WindowsTest, InvisibleWindowIsCreatedAndLeftHidden) {
    HWND window = Handle(WindowOpen(2, 0, 0, 100, 100, "hidden", WINDOW_INVISIBLE, nullptr));
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(GetWindowLongPtrW(window, GWL_STYLE) & WINDOW_INVISIBLE, 0);
}

TEST_F(WindowsTest, MaximizedWindowStartsInTheSizeState) {
    HWND window = Handle(WindowOpen(
        3, 0, 0, 200, 100, "big",
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MAXIMIZE, nullptr));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsZoomed(window));
    EXPECT_EQ(FindWindowRecord(3)->sizeState, 1);
    HWND normal = Handle(WindowOpen(4, 0, 0, 200, 100, "normal", 0, nullptr));
    ASSERT_NE(normal, nullptr);
    EXPECT_EQ(FindWindowRecord(4)->sizeState, 0);
}

TEST_F(WindowsTest, OuterSizeLargerThanTheScreenIsCutAndPlacedAtZero) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    HWND window = Handle(WindowOpen(0, 0, 0, screenWidth + 500, 100, "wide", 0x1, nullptr));
    ASSERT_NE(window, nullptr);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_EQ(outer.left, 0);
    EXPECT_EQ(outer.right - outer.left, screenWidth);
}

TEST_F(WindowsTest, ParentCentringUsesTheParentsRectangleAndStopsAtZero) {
    HWND parent = Handle(WindowOpen(0, 100, 120, 400, 300, "parent", 0, nullptr));
    ASSERT_NE(parent, nullptr);
    // Wide enough that the system's minimum tracking size does not widen it.
    HWND child = Handle(WindowOpen(1, 0, 0, 200, 80, "child", 0x2, parent));
    ASSERT_NE(child, nullptr);
    RECT p, c;
    GetWindowRect(parent, &p);
    GetWindowRect(child, &c);
    EXPECT_EQ(c.left, p.left + ((p.right - p.left) - (c.right - c.left)) / 2);
    EXPECT_EQ(c.top, p.top + ((p.bottom - p.top) - (c.bottom - c.top)) / 2);
    EXPECT_EQ(GetWindow(child, GW_OWNER), parent);

    // Larger than its small parent in the corner: raised to 0, not negative.
    HWND corner = Handle(WindowOpen(2, 0, 0, 50, 30, "corner", 0, nullptr));
    HWND large = Handle(WindowOpen(3, 0, 0, 600, 400, "large", 0x2, corner));
    ASSERT_NE(large, nullptr);
    GetWindowRect(large, &c);
    EXPECT_EQ(c.left, 0);
    EXPECT_EQ(c.top, 0);
}

TEST_F(WindowsTest, ParentCentringWithoutParentUsesTheActiveWindow) {
    HWND active = Handle(WindowOpen(0, 200, 150, 400, 300, "active", 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == active; }));
    HWND window = Handle(WindowOpen(1, 0, 0, 200, 80, "centred", 0x2, nullptr));
    RECT a, w;
    GetWindowRect(active, &a);
    GetWindowRect(window, &w);
    EXPECT_EQ(w.left, a.left + ((a.right - a.left) - (w.right - w.left)) / 2);
    EXPECT_EQ(w.top, a.top + ((a.bottom - a.top) - (w.bottom - w.top)) / 2);
}

TEST_F(WindowsTest, IgnoredPositionLetsTheSystemChoose) {
    HWND window = Handle(WindowOpen(0, WINDOW_IGNORE, 40, 100, 50, "default", 0, nullptr));
    ASSERT_NE(window, nullptr);
    RECT outer;
    GetWindowRect(window, &outer);
    EXPECT_NE(outer.left, WINDOW_IGNORE);
    EXPECT_GE(outer.left, 0);
    EXPECT_GE(outer.top, 0);
}

TEST_F(WindowsTest, ReopeningANumberClosesTheOldWindowFirst) {
    HWND first = Handle(WindowOpen(5, 0, 0, 100, 50, "first", 0, nullptr));
    ASSERT_NE(first, nullptr);
    HWND second = Handle(WindowOpen(5, 0, 0, 100, 50, "second", 0, nullptr));
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(WindowHandle(5), second);
    EXPECT_EQ(Text16(second), L"second");
    EXPECT_TRUE(ClassExists(5));
}

TEST_F(WindowsTest, ClosingUnregistersTheClassAndReopeningRegistersItAfresh) {
    ASSERT_NE(WindowOpen(3, 0, 0, 100, 50, "three", 0, nullptr), 0);
    EXPECT_TRUE(ClassExists(3));
    EXPECT_EQ(WindowClose(3), 0);
    EXPECT_FALSE(ClassExists(3));
    EXPECT_EQ(WindowHandle(3), nullptr);
    HWND again = Handle(WindowOpen(3, 0, 0, 100, 50, "three again", 0, nullptr));
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(ClassExists(3));
}

TEST_F(WindowsTest, DynamicNumberIsTheRecordAddressAndNamesTheClass) {
    intptr_t number = WindowOpen(DynamicNumber, 0, 0, 100, 50, "dynamic", 0, nullptr);
    ASSERT_NE(number, 0);
    HWND window = WindowHandle(number);
    ASSERT_NE(window, nullptr);
    EXPECT_NE(reinterpret_cast<intptr_t>(window), number);
    EXPECT_EQ(reinterpret_cast<intptr_t>(FindWindowRecord(number)), number);
    EXPECT_EQ(WindowNumberOf(window), number);
    EXPECT_TRUE(ClassExists(number));
    WindowClose(number);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(ClassExists(number));
    EXPECT_EQ(FindWindowRecord(number), nullptr);
}

TEST_F(WindowsTest, Windows1251TitleShowsAsTheSameCharacters) {
    HWND window = Handle(WindowOpen(0, 0, 0, 100, 50, "\xCF\xEE\xF0\xF2:", 0, nullptr)); // "Порт:"
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text16(window), L"Порт:");
}

TEST_F(WindowsTest, EveryWindowGetsTheTabAndShiftTabShortcuts) {
    ASSERT_NE(WindowOpen(0, 0, 0, 100, 50, "keys", 0, nullptr), 0);
    WindowRecord* record = FindWindowRecord(0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->shortcutCount, 2);
    ACCEL entries[4] = {};
    ASSERT_EQ(CopyAcceleratorTableW(record->shortcutTable, entries, 4), 2);
    EXPECT_EQ(entries[0].fVirt, FVIRTKEY | FNOINVERT);
    EXPECT_EQ(entries[0].key, VK_TAB);
    EXPECT_EQ(entries[0].cmd, SHORTCUT_TAB_NEXT);
    EXPECT_EQ(entries[1].fVirt, FVIRTKEY | FNOINVERT | FSHIFT);
    EXPECT_EQ(entries[1].key, VK_TAB);
    EXPECT_EQ(entries[1].cmd, SHORTCUT_TAB_PREVIOUS);
}

TEST_F(WindowsTest, FailedCreationReleasesTheNumberAndItsClass) {
    HWND bogusParent = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF1230));
    EXPECT_EQ(WindowOpen(6, 0, 0, 100, 50, "orphan", 0, bogusParent), 0);
    EXPECT_EQ(FindWindowRecord(6), nullptr);
    EXPECT_FALSE(ClassExists(6));
    EXPECT_NE(WindowOpen(6, 0, 0, 100, 50, "fine", 0, nullptr), 0);
}

// --- Topmost, closing, owners --------------------------------------------

TEST_F(WindowsTest, TopmostCanBeSetAndTakenBackAndUnknownNumbersAreIgnored) {
    HWND window = Handle(WindowOpen(0, 0, 0, 100, 50, "top", 0xCA0001, nullptr));
    WindowSetTopmost(0, 1);
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    WindowSetTopmost(0, 0);
    EXPECT_FALSE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    WindowSetTopmost(9, 1);
    WindowSetTopmost(-1, 1);
}

TEST_F(WindowsTest, ClosingUnknownNumbersOrAllWithNoneOpenDoesNothing) {
    EXPECT_EQ(WindowClose(-1), 0);
    EXPECT_EQ(WindowClose(42), 0);
    EXPECT_EQ(WindowClose(123456), 0);
}

TEST_F(WindowsTest, ClosingAllAndTheEndRoutineCloseEveryWindow) {
    HWND a = Handle(WindowOpen(0, 0, 0, 100, 50, "a", 0, nullptr));
    HWND b = Handle(WindowOpen(4, 0, 0, 100, 50, "b", 0, nullptr));
    intptr_t c = WindowOpen(DynamicNumber, 0, 0, 100, 50, "c", 0, nullptr);
    HWND cHandle = WindowHandle(c);
    WindowsEnd();
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(IsWindow(b));
    EXPECT_FALSE(IsWindow(cHandle));
    EXPECT_EQ(WindowHandle(0), nullptr);
    EXPECT_EQ(WindowHandle(c), nullptr);
    EXPECT_FALSE(ClassExists(4));
    // The library stays usable.
    EXPECT_NE(WindowOpen(0, 0, 0, 100, 50, "again", 0, nullptr), 0);
}

TEST_F(WindowsTest, ClosingAnOwnedWindowActivatesItsOwner) {
    HWND owner = Handle(WindowOpen(0, 0, 0, 200, 100, "owner", 0, nullptr));
    HWND owned = Handle(WindowOpen(1, 50, 50, 100, 50, "owned", 0, owner));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == owned; }));
    WindowClose(1);
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_EQ(GetActiveWindow(), owner);
}

TEST_F(WindowsTest, OwnerWindowOfAControlIsItsNumberedAncestor) {
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "owner", 0, nullptr));
    HWND control = Control(window, 12);
    HWND inner = Control(control, 13);
    EXPECT_EQ(FindOwnerWindow(control), window);
    EXPECT_EQ(FindOwnerWindow(inner), window);
    EXPECT_EQ(FindOwnerWindow(window), window);
    EXPECT_EQ(FindOwnerWindow(nullptr), nullptr);
    // Without any numbered window on the way: the topmost ancestor.
    HWND plain = RawWindow();
    HWND plainChild = Control(plain, 3);
    EXPECT_EQ(FindOwnerWindow(plainChild), plain);
    EXPECT_EQ(WindowNumberOf(plain), -1);
}

// --- Gadget lists, probe ---------------------------------------------------

namespace {
HWND gListWindow;
int gListCalls;
HWND RecordListUse(HWND window) {
    gListWindow = window;
    ++gListCalls;
    return nullptr;
}
} // namespace

TEST_F(WindowsTest, NewWindowBecomesTheGadgetListUnlessAskedNotTo) {
    GadgetHooks hooks{RecordListUse, nullptr};
    SetGadgetHooks(&hooks);
    gListCalls = 0;
    HWND window = Handle(WindowOpen(0, 0, 0, 100, 50, "list", 0, nullptr));
    EXPECT_EQ(gListCalls, 1);
    EXPECT_EQ(gListWindow, window);
    ASSERT_NE(WindowOpen(1, 0, 0, 100, 50, "no list", WINDOW_NO_GADGET_LIST, nullptr), 0);
    EXPECT_EQ(gListCalls, 1);
    // Without the gadget library nothing is called.
    SetGadgetHooks(nullptr);
    EXPECT_NE(WindowOpen(2, 0, 0, 100, 50, "plain", 0, nullptr), 0);
    EXPECT_EQ(gListCalls, 1);
}

TEST_F(WindowsTest, ThemedControlsProbeFindsTheVersionOnceAndKeepsIt) {
    uint32_t version = ThemedControlsProbe();
    EXPECT_NE(version, 0u);
    EXPECT_EQ(ThemedControlsProbe(), version);
    EXPECT_NE(ThemeLibrary(), nullptr);
    EXPECT_TRUE(ThemedControls() == 0 || ThemedControls() == 1);
    if (version < 0x60000) {
        EXPECT_EQ(ThemedControls(), 0);
    }
}

// --- Events while opening ------------------------------------------------

TEST_F(WindowsTest, ShowingANewWindowQueuesItsActivationSizeAndMoveEvents) {
    intptr_t number = 4;
    ASSERT_NE(WindowOpen(number, 10, 10, 150, 90, "events", 0, nullptr), 0);
    // Queued during the show, so delivered before any message is fetched.
    EXPECT_GT(EventQueueLength(), 0);
    std::vector<Delivered> seen = Drain();
    std::vector<int32_t> events = EventsOf(seen, number);
    for (int32_t code : {EVENT_ACTIVATE, EVENT_SIZE_WINDOW, EVENT_MOVE_WINDOW})
        EXPECT_NE(std::find(events.begin(), events.end(), code), events.end()) << code;
    for (const Delivered& d : seen) {
        if (d.code == EVENT_MOVE_WINDOW) {
            EXPECT_EQ(d.gadget, number);
        }
    }
}
