#include "ui/windows/window_proc.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>

#include "tests/ui/windows_fixture.h"
#include "ui/windows/keyboard_shortcuts.h"

namespace {

class WindowProcTest : public WindowsTest {
  protected:
    HWND OpenSizable(ObjectNumber number) {
        return Handle(WindowOpen(
            number, 40, 40, 220, 140, "sizable",
            WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, nullptr));
    }

    // The events of window number that the waits deliver until the condition
    // holds and the queue is empty.
    template <typename Condition>
    std::vector<int32_t> EventsUntil(ObjectNumber number, Condition condition) {
        std::vector<Delivered> seen;
        WaitUntil([&] {
            std::vector<Delivered> more = Drain();
            seen.insert(seen.end(), more.begin(), more.end());
            return condition();
        });
        std::vector<Delivered> rest = Drain();
        seen.insert(seen.end(), rest.begin(), rest.end());
        return EventsOf(seen, number);
    }
};

bool Contains(const std::vector<int32_t>& codes, std::initializer_list<int32_t> run) {
    return std::search(codes.begin(), codes.end(), run.begin(), run.end()) != codes.end();
}

std::string Show(const std::vector<int32_t>& codes) {
    std::string text;
    for (int32_t code : codes)
        text += std::to_string(code) + " ";
    return text;
}

} // namespace

// --- Size states -----------------------------------------------------------

TEST_F(WindowProcTest, MinimizeThenRestoreGivesMinimizeThenRestoreAndSize) {
    HWND window = OpenSizable(1);
    Drain();
    ShowWindow(window, SW_MINIMIZE);
    std::vector<int32_t> minimized = EventsUntil(1, [&] { return IsIconic(window) != FALSE; });
    EXPECT_TRUE(Contains(minimized, {EVENT_MINIMIZE})) << Show(minimized);
    EXPECT_EQ(FindWindowRecord(1)->sizeState, 1);
    ShowWindow(window, SW_RESTORE);
    std::vector<int32_t> restored = EventsUntil(1, [&] { return !IsIconic(window); });
    EXPECT_TRUE(Contains(restored, {EVENT_RESTORE, EVENT_SIZE_WINDOW})) << Show(restored);
    EXPECT_EQ(FindWindowRecord(1)->sizeState, 0);
}

TEST_F(WindowProcTest, MaximizeGivesMaximizeAndSizeAndRestoreGivesRestoreAndSize) {
    HWND window = OpenSizable(1);
    Drain();
    ShowWindow(window, SW_MAXIMIZE);
    std::vector<int32_t> maximized = EventsUntil(1, [&] { return IsZoomed(window) != FALSE; });
    EXPECT_TRUE(Contains(maximized, {EVENT_MAXIMIZE, EVENT_SIZE_WINDOW})) << Show(maximized);
    ShowWindow(window, SW_RESTORE);
    std::vector<int32_t> restored = EventsUntil(1, [&] { return !IsZoomed(window); });
    EXPECT_TRUE(Contains(restored, {EVENT_RESTORE, EVENT_SIZE_WINDOW})) << Show(restored);
}

TEST_F(WindowProcTest, PlainResizeGivesSizeWithoutRestore) {
    HWND window = OpenSizable(1);
    Drain();
    SetWindowPos(window, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    std::vector<int32_t> codes = EventsOf(Drain(), 1);
    EXPECT_TRUE(Contains(codes, {EVENT_SIZE_WINDOW}));
    EXPECT_FALSE(Contains(codes, {EVENT_RESTORE}));
}

TEST_F(WindowProcTest, SizeMessageOfAWindowWithoutNumberMakesNoEvent) {
    HWND window = OpenSizable(1);
    Drain();
    RemovePropW(window, L"KX_WindowID");
    EXPECT_EQ(SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(10, 10)), 1);
    EXPECT_EQ(SendMessageW(window, WM_MOVE, 0, 0), 0);
    EXPECT_EQ(EventQueueLength(), 0);
    SetPropW(window, L"KX_WindowID", reinterpret_cast<HANDLE>(2));
}

TEST_F(WindowProcTest, MoveEventCarriesTheWindowNumberAsGadget) {
    HWND window = OpenSizable(3);
    Drain();
    SetWindowPos(window, nullptr, 77, 66, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    std::vector<Delivered> seen = Drain();
    auto move = std::find_if(seen.begin(), seen.end(),
                             [](const Delivered& d) { return d.code == EVENT_MOVE_WINDOW; });
    ASSERT_NE(move, seen.end());
    EXPECT_EQ(move->gadget, 3);
    EXPECT_EQ(move->window, 3);
}

// --- Activation and focus --------------------------------------------------

TEST_F(WindowProcTest, ReactivationGivesTheFocusBackToTheControlThatHadIt) {
    HWND window = Handle(WindowOpen(0, 20, 20, 200, 100, "first", 0, nullptr));
    Control(window, 1);
    HWND b = Control(window, 2);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    SetFocus(b);
    ASSERT_EQ(GetFocus(), b);
    Drain();

    HWND other = Handle(WindowOpen(1, 300, 20, 200, 100, "second", 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == other; }));
    EXPECT_EQ(GetPropW(window, L"KX_Focus"), b);
    std::vector<int32_t> away = EventsOf(Drain(), 0);
    EXPECT_TRUE(Contains(away, {EVENT_DEACTIVATE})) << Show(away);

    SetActiveWindow(window); // the default handling would focus the window itself
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    EXPECT_EQ(GetFocus(), b);
    std::vector<int32_t> back = EventsOf(Drain(), 0);
    EXPECT_TRUE(Contains(back, {EVENT_ACTIVATE})) << Show(back);
}

// Wine keeps no keyboard-cue state of its own, so a window in front of the
// class procedure answers the state query and records the updates.
namespace {
struct CueRecorder {
    WNDPROC previous = nullptr;
    LRESULT state = 0;
    std::vector<WPARAM> updates;
};
CueRecorder gCues;
LRESULT CALLBACK RecordCues(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_QUERYUISTATE) return gCues.state;
    if (message == WM_UPDATEUISTATE) {
        gCues.updates.push_back(wParam);
        return 0;
    }
    return CallWindowProcW(gCues.previous, window, message, wParam, lParam);
}
void RecordCuesOf(HWND window) {
    gCues = CueRecorder{};
    gCues.previous = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordCues)));
}
} // namespace

TEST_F(WindowProcTest, CuesAreUpdatedOnlyWhenTheStateDiffers) {
    HWND window = Handle(WindowOpen(0, 20, 20, 200, 100, "cues", 0, nullptr));
    RecordCuesOf(window);
    const WPARAM show = MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL); // 0x30002
    const WPARAM hide = MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL);   // 0x30001
    EXPECT_EQ(show, 0x30002u);
    EXPECT_EQ(hide, 0x30001u);
    gCues.state = 0; // all shown
    SetKeyboardCues(window, true);
    SetKeyboardCues(window, false);
    EXPECT_EQ(gCues.updates, (std::vector<WPARAM>{hide}));
    gCues.updates.clear();
    gCues.state = UISF_HIDEFOCUS | UISF_HIDEACCEL; // all hidden
    SetKeyboardCues(window, false);
    SetKeyboardCues(window, true);
    EXPECT_EQ(gCues.updates, (std::vector<WPARAM>{show}));
    gCues.updates.clear();
    gCues.state = UISF_HIDEACCEL; // half
    SetKeyboardCues(window, true);
    SetKeyboardCues(window, false);
    EXPECT_EQ(gCues.updates, (std::vector<WPARAM>{show, hide}));
}

TEST_F(WindowProcTest, DeactivationHidesTheKeyboardCues) {
    HWND window = Handle(WindowOpen(0, 20, 20, 200, 100, "cues", 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    RecordCuesOf(window);
    HWND other = Handle(WindowOpen(1, 300, 20, 200, 100, "other", 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == other; }));
    EXPECT_EQ(gCues.updates, (std::vector<WPARAM>{0x30001}));
}

// --- Messages with fixed answers ------------------------------------------

TEST_F(WindowProcTest, ToolWindowMayBeSizedDownToOnePixelWide) {
    HWND tool = Handle(WindowOpen(0, 0, 0, 100, 50, "tool", 0x4, nullptr));
    HWND plain = Handle(WindowOpen(1, 0, 0, 100, 50, "plain", 0, nullptr));
    MINMAXINFO limits{};
    limits.ptMinTrackSize = {100, 30};
    EXPECT_EQ(SendMessageW(tool, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, 1);
    EXPECT_EQ(limits.ptMinTrackSize.y, 30);
    limits.ptMinTrackSize = {100, 30};
    EXPECT_EQ(SendMessageW(plain, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits)), 0);
    EXPECT_EQ(limits.ptMinTrackSize.x, 100);
}

namespace {
int gColorChanges = 0;
LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOLORCHANGE) ++gColorChanges;
    return DefWindowProcW(window, message, wParam, lParam);
}
} // namespace

TEST_F(WindowProcTest, ColorChangeIsPassedToEveryDescendant) {
    WNDCLASSW counting{};
    counting.lpfnWndProc = CountingProc;
    counting.hInstance = GetModuleHandleW(nullptr);
    counting.lpszClassName = L"CountingChild";
    RegisterClassW(&counting);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "colors", 0, nullptr));
    HWND child = Control(window, 1, L"CountingChild", 0);
    Control(child, 2, L"CountingChild", 0);
    gColorChanges = 0;
    SendMessageW(window, WM_SYSCOLORCHANGE, 0, 0);
    EXPECT_EQ(gColorChanges, 2);
}

// --- Notifications and the gadget library --------------------------------

namespace {
struct Forwarded {
    int calls = 0;
    HWND control = nullptr;
    ObjectNumber gadget = 0;
    HWND parent = nullptr;
    UINT message = 0;
    MessageResult answer = NotHandled;
};
Forwarded gForwarded;
MessageResult RecordForward(HWND control, ObjectNumber gadget, HWND parent, UINT message, WPARAM,
                            LPARAM) {
    ++gForwarded.calls;
    gForwarded.control = control;
    gForwarded.gadget = gadget;
    gForwarded.parent = parent;
    gForwarded.message = message;
    return gForwarded.answer;
}
void MarkAsGadget(HWND control, ObjectNumber number) {
    SetPropW(control, L"KX_ID", reinterpret_cast<HANDLE>(number));
}
} // namespace

TEST_F(WindowProcTest, ColorMessagesOfAGadgetGoToItsKind) {
    GadgetHooks hooks{nullptr, RecordForward};
    SetGadgetHooks(&hooks);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "colors", 0, nullptr));
    HWND label = Control(window, 14, L"STATIC", 0);
    MarkAsGadget(label, 14);
    gForwarded = Forwarded{};
    gForwarded.answer = Handled(1234);
    HDC dc = GetDC(label);
    EXPECT_EQ(SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(label)),
              1234);
    ReleaseDC(label, dc);
    EXPECT_EQ(gForwarded.calls, 1);
    EXPECT_EQ(gForwarded.control, label);
    EXPECT_EQ(gForwarded.gadget, 14);
    EXPECT_EQ(gForwarded.parent, window);
    EXPECT_EQ(gForwarded.message, static_cast<UINT>(WM_CTLCOLORSTATIC));
}

TEST_F(WindowProcTest, ControlWhoseMarkDiffersFromItsIdentifierIsNoGadget) {
    GadgetHooks hooks{nullptr, RecordForward};
    SetGadgetHooks(&hooks);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "marks", 0, nullptr));
    HWND control = Control(window, 14, L"STATIC", 0);
    MarkAsGadget(control, 15);
    gForwarded = Forwarded{};
    EXPECT_FALSE(ForwardToGadget(control, window, WM_CTLCOLORSTATIC, 0, 0).handled);
    EXPECT_FALSE(ForwardToGadget(nullptr, window, WM_CTLCOLORSTATIC, 0, 0).handled);
    EXPECT_EQ(gForwarded.calls, 0);
    // Without the gadget library no control is a gadget.
    MarkAsGadget(control, 14);
    SetGadgetHooks(nullptr);
    EXPECT_FALSE(ForwardToGadget(control, window, WM_CTLCOLORSTATIC, 0, 0).handled);
}

TEST_F(WindowProcTest, CommandHandledByTheGadgetKindMakesNoGadgetEvent) {
    GadgetHooks hooks{nullptr, RecordForward};
    SetGadgetHooks(&hooks);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "commands", 0, nullptr));
    HWND handled = Control(window, 5);
    MarkAsGadget(handled, 5);
    Drain();
    gForwarded = Forwarded{};
    gForwarded.answer = Handled(0);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), reinterpret_cast<LPARAM>(handled));
    EXPECT_EQ(EventWait(0), WM_COMMAND); // no event: the raw message number
    EXPECT_EQ(gForwarded.calls, 1);

    gForwarded.answer = NotHandled; // the kind leaves it to the window
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(5, BN_CLICKED), reinterpret_cast<LPARAM>(handled));
    EXPECT_EQ(EventWait(0), EVENT_GADGET);
    EXPECT_EQ(EventGadgetNumber(), 5);
}

TEST_F(WindowProcTest, NotifyIsForwardedForTheSendingControl) {
    GadgetHooks hooks{nullptr, RecordForward};
    SetGadgetHooks(&hooks);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "notify", 0, nullptr));
    HWND control = Control(window, 8);
    MarkAsGadget(control, 8);
    gForwarded = Forwarded{};
    gForwarded.answer = Handled(77);
    NMHDR header{control, 8, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(SendMessageW(window, WM_NOTIFY, 8, reinterpret_cast<LPARAM>(&header)), 77);
    EXPECT_EQ(gForwarded.control, control);
    EXPECT_EQ(gForwarded.message, static_cast<UINT>(WM_NOTIFY));
}

// --- Shortcut table ---------------------------------------------------------

TEST_F(WindowProcTest, ActiveNumberedWindowOfThisProcessHasItsShortcutTable) {
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "table", 0, nullptr));
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    EXPECT_EQ(ActiveShortcutTable(window), FindWindowRecord(0)->shortcutTable);
    EXPECT_EQ(ActiveShortcutTable(nullptr), nullptr);
    EXPECT_EQ(ActiveShortcutTable(RawWindow()), nullptr);
}

TEST_F(WindowProcTest, TabAloneInAnEditableRichTextControlGetsNoShortcutTable) {
    ASSERT_NE(LoadLibraryW(L"RICHED20.DLL"), nullptr);
    HWND window = Handle(WindowOpen(0, 0, 0, 200, 100, "rich", 0, nullptr));
    HWND rich = Control(window, 3, L"RichEdit20W", WS_TABSTOP | ES_MULTILINE);
    ASSERT_NE(rich, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    SetFocus(rich);
    BYTE keys[256] = {};
    keys[VK_TAB] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(ActiveShortcutTable(window), nullptr);
    // Read-only, or with Shift held, the table applies again.
    SendMessageW(rich, EM_SETOPTIONS, ECOOP_OR, ECO_READONLY);
    EXPECT_NE(ActiveShortcutTable(window), nullptr);
    SendMessageW(rich, EM_SETOPTIONS, ECOOP_AND, ~ECO_READONLY);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    EXPECT_NE(ActiveShortcutTable(window), nullptr);
}

TEST_F(WindowProcTest, TabAndShiftTabThroughTheWaitMoveTheFocus) {
    HWND window = Handle(WindowOpen(0, 0, 0, 300, 100, "tabs", 0, nullptr));
    HWND first = Control(window, 1);
    HWND second = Control(window, 2);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    SetFocus(first);
    Drain();
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(GetFocus(), second);
    // Shift held: the second entry of the table.
    BYTE keys[256] = {};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(second, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(GetFocus(), first);
}

TEST_F(WindowProcTest, TranslatedShortcutShowsTheKeyboardCues) {
    HWND window = Handle(WindowOpen(0, 0, 0, 300, 100, "tabs", 0, nullptr));
    HWND first = Control(window, 1);
    Control(window, 2);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    SetFocus(first);
    Drain();
    RecordCuesOf(window);
    gCues.state = UISF_HIDEFOCUS | UISF_HIDEACCEL;
    PostMessageW(first, WM_KEYDOWN, VK_TAB, 0);
    Drain();
    EXPECT_EQ(gCues.updates, (std::vector<WPARAM>{0x30002}));
    // A key that is no shortcut shows nothing.
    gCues.updates.clear();
    PostMessageW(first, WM_KEYDOWN, 'A', 0);
    Drain();
    EXPECT_TRUE(gCues.updates.empty());
}

TEST_F(WindowProcTest, ClassProcedureClearsTheLastError) {
    HWND window = Handle(WindowOpen(0, 0, 0, 100, 50, "errors", 0, nullptr));
    SetLastError(1234);
    SendMessageW(window, WM_USER + 20, 0, 0);
    EXPECT_EQ(GetLastError(), 0u);
}
