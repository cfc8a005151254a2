#include "ui/windows/live_sizing.h"

#include <algorithm>

#include "tests/ui/windows_fixture.h"

// --- The rectangle rules ---------------------------------------------------

namespace {
const POINT kMinimum{100, 50};
const POINT kMaximum{500, 400};
RECT Apply(RECT r, int32_t edge, LONG x, LONG y) {
    ApplySizingPoint(&r, edge, POINT{x, y}, kMinimum, kMaximum);
    return r;
}
bool Same(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
} // namespace

TEST(SizingPoint, EachEdgeMovesItsOwnSidesWithTheirOffsets) {
    const RECT r{100, 100, 400, 300};
    EXPECT_TRUE(Same(Apply(r, SIZING_LEFT, 90, 0), RECT{90, 100, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_RIGHT, 420, 0), RECT{100, 100, 422, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_TOP, 0, 80), RECT{100, 80, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM, 0, 310), RECT{100, 100, 400, 312}));
    // The top-left corner takes 2 off both; the others add 2 where they move right or down.
    EXPECT_TRUE(Same(Apply(r, SIZING_TOP_LEFT, 90, 80), RECT{88, 78, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_TOP_RIGHT, 420, 80), RECT{100, 80, 422, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM_LEFT, 90, 310), RECT{90, 100, 400, 312}));
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM_RIGHT, 420, 310), RECT{100, 100, 422, 312}));
    EXPECT_TRUE(Same(Apply(r, SIZING_NO_EDGE, 0, 0), r));
}

TEST(SizingPoint, WidthAndHeightStayWithinTheTrackingLimits) {
    const RECT r{100, 100, 400, 300};
    // Too small: the dragged side stops at the minimum.
    EXPECT_TRUE(Same(Apply(r, SIZING_LEFT, 390, 0), RECT{300, 100, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_RIGHT, 110, 0), RECT{100, 100, 200, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_TOP, 0, 290), RECT{100, 250, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM, 0, 110), RECT{100, 100, 400, 150}));
    // Too large: stops at the maximum.
    EXPECT_TRUE(Same(Apply(r, SIZING_LEFT, -500, 0), RECT{-100, 100, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_RIGHT, 900, 0), RECT{100, 100, 600, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_TOP, 0, -500), RECT{100, -100, 400, 300}));
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM, 0, 900), RECT{100, 100, 400, 500}));
    // A corner clamps both of its sides.
    EXPECT_TRUE(Same(Apply(r, SIZING_BOTTOM_RIGHT, 0, 0), RECT{100, 100, 200, 150}));
}

// --- Live sizing of a window -----------------------------------------------

namespace {

class LiveSizingTest : public WindowsTest {
  protected:
    void SetUp() override {
        WindowsTest::SetUp();
        SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &wasFullDrag_, 0);
        SetFullWindowDragging(true);
        window = Handle(WindowOpen(number, 200, 150, 300, 200, "sizable",
                                   WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, nullptr));
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
        Drain();
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
        SetFullWindowDragging(wasFullDrag_);
        WindowsTest::TearDown();
    }
    static void SetFullWindowDragging(BOOL on) {
        SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0);
    }
    RECT Rect() const {
        RECT r;
        GetWindowRect(window, &r);
        return r;
    }
    // A mouse move to a point on the screen, as the captured window gets it.
    void MoveMouseTo(LONG x, LONG y, bool post = false) const {
        POINT p{x, y};
        ScreenToClient(window, &p);
        LPARAM where = MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
        if (post)
            PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, where);
        else
            SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, where);
    }
    void Key(WPARAM key) const { SendMessageW(window, WM_KEYDOWN, key, 0); }
    static POINT Cursor() {
        POINT p;
        GetCursorPos(&p);
        return p;
    }
    SizingState& State() const { return *ThreadSizingState(); }

    const ObjectNumber number = 1;
    HWND window = nullptr;

  private:
    BOOL wasFullDrag_ = TRUE;
};

bool Has(const std::vector<int32_t>& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

} // namespace

TEST_F(LiveSizingTest, WithOutlineDraggingTheSystemLoopIsLeftToRun) {
    SetFullWindowDragging(false);
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0).handled);
    EXPECT_EQ(State().active, 0);
    EXPECT_NE(GetCapture(), window);
}

TEST_F(LiveSizingTest, OnlySizeCommandsStartIt) {
    EXPECT_FALSE(LiveSizing(window, WM_MOUSEMOVE, 0, 0).handled);
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_MOVE, 0).handled);
    EXPECT_FALSE(LiveSizing(window, WM_KEYDOWN, VK_LEFT, 0).handled);
    EXPECT_EQ(State().active, 0);
}

TEST_F(LiveSizingTest, DraggingTheRightEdgeResizesLiveUntilTheButtonIsReleased) {
    RECT before = Rect();
    EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), 0);
    EXPECT_EQ(State().active, 1);
    EXPECT_EQ(State().edge, SIZING_RIGHT);
    EXPECT_EQ(GetCapture(), window);

    MoveMouseTo(before.right + 40, before.top + 30);
    RECT after = Rect();
    EXPECT_EQ(after.right, before.right + 42);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom, before.bottom);
    std::vector<int32_t> codes = Codes(Drain());
    EXPECT_TRUE(Has(codes, EVENT_SIZE_WINDOW));
    EXPECT_TRUE(Has(codes, WM_ENTERSIZEMOVE)); // posted when sizing began

    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(State().active, 0);
    EXPECT_NE(GetCapture(), window);
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
    MoveMouseTo(before.right + 100, before.top + 30); // no longer sizing
    EXPECT_EQ(Rect().right, before.right + 42);
}

TEST_F(LiveSizingTest, TheWaitKeepsDeliveringMoveAndSizeEventsDuringADrag) {
    RECT before = Rect();
    PostMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPLEFT, 0);
    EXPECT_EQ(EventWait(0), WM_SYSCOMMAND); // the system's loop did not take over
    for (int step = 1; step <= 3; ++step) {
        MoveMouseTo(before.left - 10 * step, before.top - 10 * step, true);
        std::vector<Delivered> seen = Drain();
        std::vector<int32_t> codes = EventsOf(seen, number);
        EXPECT_TRUE(Has(codes, EVENT_MOVE_WINDOW)) << step;
        EXPECT_TRUE(Has(codes, EVENT_SIZE_WINDOW)) << step;
    }
    RECT after = Rect();
    EXPECT_EQ(after.left, before.left - 32);
    EXPECT_EQ(after.top, before.top - 32);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.bottom, before.bottom);
    PostMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
    EXPECT_EQ(State().active, 0);
}

TEST_F(LiveSizingTest, DraggingStopsAtTheTrackingLimits) {
    RECT before = Rect();
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    POINT minimum = State().limits.ptMinTrackSize;
    POINT maximum = State().limits.ptMaxTrackSize;
    EXPECT_EQ(minimum.x, GetSystemMetrics(SM_CXMINTRACK));
    EXPECT_EQ(maximum.x, GetSystemMetrics(SM_CXMAXTRACK));
    MoveMouseTo(before.left - 50, before.top + 10);
    EXPECT_EQ(Rect().right - Rect().left, minimum.x);
    MoveMouseTo(before.left + maximum.x + 500, before.top + 10);
    EXPECT_EQ(State().rectangle.right - State().rectangle.left, maximum.x);
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
}

TEST_F(LiveSizingTest, ToolWindowLimitsComeThroughItsWindowProcedure) {
    HWND tool = Handle(WindowOpen(2, 100, 100, 150, 80, "tool", 0x4 | WS_THICKFRAME, nullptr));
    ASSERT_NE(tool, nullptr);
    SendMessageW(tool, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, 0);
    EXPECT_EQ(State().limits.ptMinTrackSize.x, 1);
    EXPECT_EQ(State().limits.ptMaxTrackSize.x, GetSystemMetrics(SM_CXMAXTRACK));
    SendMessageW(tool, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(State().active, 0);
}

TEST_F(LiveSizingTest, KeyboardSizingChoosesAnEdgeThenStepsByTenAndPutsTheCursorBack) {
    RECT r = Rect();
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    POINT start = Cursor();
    EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0), 0); // from the system menu
    EXPECT_EQ(State().edge, SIZING_NO_EDGE);
    EXPECT_EQ(State().restoreCursor, 1);

    Key(VK_RIGHT); // choose the right edge
    EXPECT_EQ(State().edge, SIZING_RIGHT);
    EXPECT_EQ(Cursor().x, r.right - 2);
    EXPECT_EQ(Cursor().y, start.y);
    EXPECT_TRUE(Same(Rect(), r));

    Key(VK_RIGHT); // step it
    EXPECT_EQ(Rect().right, r.right + 10);
    Key(VK_LEFT);
    EXPECT_EQ(Rect().right, r.right);

    Key(VK_DOWN); // right becomes bottom-right
    EXPECT_EQ(State().edge, SIZING_BOTTOM_RIGHT);
    EXPECT_EQ(Cursor().x, r.right - 2);
    EXPECT_EQ(Cursor().y, r.bottom - 2);
    Key(VK_DOWN);
    EXPECT_EQ(Rect().bottom, r.bottom + 10);
    EXPECT_EQ(Rect().right, r.right);

    Key(VK_RETURN);
    EXPECT_EQ(State().active, 0);
    EXPECT_EQ(Cursor().x, start.x);
    EXPECT_EQ(Cursor().y, start.y);
}

TEST_F(LiveSizingTest, KeyboardLeftThenUpChoosesTheTopLeftCorner) {
    RECT r = Rect();
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    POINT start = Cursor();
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    Key(VK_LEFT);
    EXPECT_EQ(State().edge, SIZING_LEFT);
    EXPECT_EQ(Cursor().x, r.left);
    EXPECT_EQ(Cursor().y, start.y);
    Key(VK_UP);
    EXPECT_EQ(State().edge, SIZING_TOP_LEFT);
    EXPECT_EQ(Cursor().x, r.left + 2);
    EXPECT_EQ(Cursor().y, r.top + 2);
    Key(VK_UP);
    RECT after = Rect();
    EXPECT_EQ(after.top, r.top - 10);
    EXPECT_EQ(after.left, r.left);
    // Escape ends it too and keeps the size reached.
    Key(VK_ESCAPE);
    EXPECT_EQ(State().active, 0);
    EXPECT_EQ(Rect().top, r.top - 10);
}

TEST_F(LiveSizingTest, KeyboardUpOrDownFirstChoosesTopOrBottom) {
    RECT r = Rect();
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    POINT start = Cursor();
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    Key(VK_UP);
    EXPECT_EQ(State().edge, SIZING_TOP);
    EXPECT_EQ(Cursor().x, start.x);
    EXPECT_EQ(Cursor().y, r.top);
    Key(VK_RIGHT);
    EXPECT_EQ(State().edge, SIZING_TOP_RIGHT);
    EXPECT_EQ(Cursor().x, r.right - 2);
    EXPECT_EQ(Cursor().y, r.top);
    Key(VK_RETURN);

    SetCursorPos(start.x, start.y);
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    Key(VK_DOWN);
    EXPECT_EQ(State().edge, SIZING_BOTTOM);
    EXPECT_EQ(Cursor().y, r.bottom - 2);
    Key(VK_LEFT);
    EXPECT_EQ(State().edge, SIZING_BOTTOM_LEFT);
    EXPECT_EQ(Cursor().x, r.left);
    EXPECT_EQ(Cursor().y, r.bottom - 2);
    Key(VK_RETURN);
}

TEST_F(LiveSizingTest, MovingTheMouseDuringKeyboardSizingLeavesTheCursorWhereItIs) {
    RECT r = Rect();
    SetCursorPos(r.left + 20, r.top + 20);
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    EXPECT_EQ(State().restoreCursor, 1);
    MoveMouseTo(r.left + 40, r.top + 40);
    EXPECT_EQ(State().restoreCursor, 0);
    SetCursorPos(r.left + 60, r.top + 60);
    Key(VK_RETURN);
    EXPECT_EQ(Cursor().x, r.left + 60);
    EXPECT_EQ(Cursor().y, r.top + 60);
}

TEST_F(LiveSizingTest, LosingTheCaptureInAnyWayEndsSizing) {
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOM, 0);
    ASSERT_EQ(State().active, 1);
    HWND other = RawWindow();
    SetCapture(other); // someone else takes the mouse
    EXPECT_EQ(State().active, 0);
    ReleaseCapture();
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
}
