// Live sizing: the window procedure's own sizing loop, driven by the mouse
// or, from the system menu, by the keyboard.
#include <algorithm>

#include "tests/support/ui_fixture.h"
#include "ui/windows/live_sizing.h"

namespace {

std::vector<LONG> Sides(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

bool Has(const std::vector<int32_t>& codes, int32_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

class LiveSizingTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &wasFullDrag_, 0);
        SetFullWindowDragging(true);
        window = Handle(WindowOpen(number, 200, 150, 300, 200, "sizable",
                                   WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, nullptr));
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(Activated(window));
        Drain();
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
        SetFullWindowDragging(wasFullDrag_);
        UiTest::TearDown();
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
        if (post) {
            PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, where);
        } else {
            SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, where);
        }
    }
    void Key(WPARAM key) const { SendMessageW(window, WM_KEYDOWN, key, 0); }
    static std::vector<LONG> Cursor() {
        POINT p;
        GetCursorPos(&p);
        return {p.x, p.y};
    }
    static SizingState& State() { return *ThreadSizingState(); }

    const ObjectNumber number = 1;
    HWND window = nullptr;

  private:
    BOOL wasFullDrag_ = TRUE;
};

} // namespace

TEST(SizingPoint, EdgesMoveWithTheirOffsetsWithinTheTrackingLimits) {
    const RECT r{100, 100, 400, 300};
    struct Case {
        int32_t edge;
        LONG x, y;
        RECT expected;
    };
    // The top-left corner takes 2 off both; the others add 2 where they move
    // right or down. Minimum 100 x 50, maximum 500 x 400.
    const Case cases[] = {
        {SIZING_LEFT, 90, 0, {90, 100, 400, 300}},
        {SIZING_RIGHT, 420, 0, {100, 100, 422, 300}},
        {SIZING_TOP, 0, 80, {100, 80, 400, 300}},
        {SIZING_BOTTOM, 0, 310, {100, 100, 400, 312}},
        {SIZING_TOP_LEFT, 90, 80, {88, 78, 400, 300}},
        {SIZING_BOTTOM_RIGHT, 420, 310, {100, 100, 422, 312}},
        {SIZING_NO_EDGE, 0, 0, r},
        {SIZING_LEFT, 390, 0, {300, 100, 400, 300}}, // no less than the minimum
        {SIZING_TOP, 0, 290, {100, 250, 400, 300}},
        {SIZING_BOTTOM_RIGHT, 0, 0, {100, 100, 200, 150}},
        {SIZING_LEFT, -500, 0, {-100, 100, 400, 300}}, // no more than the maximum
        {SIZING_BOTTOM, 0, 900, {100, 100, 400, 500}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.edge << " to " << c.x << "," << c.y);
        RECT sized = r;
        ApplySizingPoint(&sized, c.edge, POINT{c.x, c.y}, POINT{100, 50}, POINT{500, 400});
        EXPECT_EQ(Sides(sized), Sides(c.expected));
    }
}

TEST_F(LiveSizingTest, OnlyASizeCommandWithFullWindowDraggingStartsIt) {
    EXPECT_FALSE(LiveSizing(window, WM_MOUSEMOVE, 0, 0).handled);
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_MOVE, 0).handled);
    EXPECT_FALSE(LiveSizing(window, WM_KEYDOWN, VK_LEFT, 0).handled);
    SetFullWindowDragging(false); // outline dragging: the system's loop runs
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0).handled);
    EXPECT_EQ(State().active, 0);
    EXPECT_NE(GetCapture(), window);
}

TEST_F(LiveSizingTest, DraggingTheRightEdgeResizesLiveUntilTheButtonIsReleased) {
    RECT before = Rect();
    EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0), 0);
    EXPECT_EQ(State().active, 1);
    EXPECT_EQ(State().edge, SIZING_RIGHT);
    EXPECT_EQ(GetCapture(), window);

    MoveMouseTo(before.right + 40, before.top + 30);
    RECT expected = before;
    expected.right += 42;
    EXPECT_EQ(Sides(Rect()), Sides(expected));
    std::vector<int32_t> codes = Codes(Drain());
    EXPECT_TRUE(Has(codes, EVENT_SIZE_WINDOW));
    EXPECT_TRUE(Has(codes, WM_ENTERSIZEMOVE)); // posted when sizing began

    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(State().active, 0);
    EXPECT_NE(GetCapture(), window);
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
    MoveMouseTo(before.right + 100, before.top + 30); // no longer sizing
    EXPECT_EQ(Rect().right, expected.right);
}

TEST_F(LiveSizingTest, TheWaitKeepsDeliveringMoveAndSizeEventsDuringADrag) {
    RECT before = Rect();
    PostMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPLEFT, 0);
    EXPECT_EQ(EventWait(0), WM_SYSCOMMAND); // the system's loop did not take over
    for (int step = 1; step <= 3; ++step) {
        MoveMouseTo(before.left - 10 * step, before.top - 10 * step, true);
        std::vector<int32_t> codes = Codes(Drain(), number);
        EXPECT_TRUE(Has(codes, EVENT_MOVE_WINDOW) && Has(codes, EVENT_SIZE_WINDOW)) << step;
    }
    EXPECT_EQ(Sides(Rect()),
              Sides(RECT{before.left - 32, before.top - 32, before.right, before.bottom}));
    PostMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
    EXPECT_EQ(State().active, 0);
}

TEST_F(LiveSizingTest, DraggingStopsAtTheTrackingLimitsThatTheWindowProcedureMayLower) {
    RECT before = Rect();
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    POINT minimum = State().limits.ptMinTrackSize, maximum = State().limits.ptMaxTrackSize;
    EXPECT_EQ(minimum.x, GetSystemMetrics(SM_CXMINTRACK));
    EXPECT_EQ(maximum.x, GetSystemMetrics(SM_CXMAXTRACK));
    MoveMouseTo(before.left - 50, before.top + 10);
    EXPECT_EQ(Rect().right - Rect().left, minimum.x);
    MoveMouseTo(before.left + maximum.x + 500, before.top + 10);
    EXPECT_EQ(State().rectangle.right - State().rectangle.left, maximum.x);
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    // A tool window may be sized down to one pixel wide.
    HWND tool = Handle(WindowOpen(2, 100, 100, 150, 80, "tool", 0x4 | WS_THICKFRAME, nullptr));
    SendMessageW(tool, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, 0);
    EXPECT_EQ(State().limits.ptMinTrackSize.x, 1);
    EXPECT_EQ(State().limits.ptMaxTrackSize.x, GetSystemMetrics(SM_CXMAXTRACK));
    SendMessageW(tool, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(State().active, 0);
}

// From the system menu: the first arrow key chooses an edge, a second one a
// corner, the next ones step it by 10; Enter or Escape ends it with the size
// reached and the cursor back where it was.
TEST_F(LiveSizingTest, KeyboardSizingChoosesAnEdgeThenACornerThenStepsByTen) {
    const RECT r = Rect();
    const POINT start{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // Cursor places: s where it started, l left, L left + 2, R right - 2;
    // t top, T top + 2, B bottom - 2.
    auto at = [&](const char* where) {
        const char x = where[0], y = where[1];
        return std::vector<LONG>{x == 's'   ? start.x
                                 : x == 'l' ? r.left
                                 : x == 'L' ? r.left + 2
                                            : r.right - 2,
                                 y == 's'   ? start.y
                                 : y == 't' ? r.top
                                 : y == 'T' ? r.top + 2
                                            : r.bottom - 2};
    };
    struct Case {
        WPARAM first;
        int32_t edge;
        const char* cursor;
        WPARAM second;
        int32_t corner;
        const char* cornerCursor;
    };
    const Case cases[] = {
        {VK_LEFT, SIZING_LEFT, "ls", VK_UP, SIZING_TOP_LEFT, "LT"},
        {VK_LEFT, SIZING_LEFT, "ls", VK_DOWN, SIZING_BOTTOM_LEFT, "lB"},
        {VK_RIGHT, SIZING_RIGHT, "Rs", VK_UP, SIZING_TOP_RIGHT, "Rt"},
        {VK_RIGHT, SIZING_RIGHT, "Rs", VK_DOWN, SIZING_BOTTOM_RIGHT, "RB"},
        {VK_UP, SIZING_TOP, "st", VK_LEFT, SIZING_TOP_LEFT, "LT"},
        {VK_UP, SIZING_TOP, "st", VK_RIGHT, SIZING_TOP_RIGHT, "Rt"},
        {VK_DOWN, SIZING_BOTTOM, "sB", VK_LEFT, SIZING_BOTTOM_LEFT, "lB"},
        {VK_DOWN, SIZING_BOTTOM, "sB", VK_RIGHT, SIZING_BOTTOM_RIGHT, "RB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << " then " << c.second);
        MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        SetCursorPos(start.x, start.y);
        EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0), 0);
        EXPECT_EQ(State().edge, SIZING_NO_EDGE);
        Key(c.first);
        EXPECT_EQ(State().edge, c.edge);
        EXPECT_EQ(Cursor(), at(c.cursor));
        Key(c.second);
        EXPECT_EQ(State().edge, c.corner);
        EXPECT_EQ(Cursor(), at(c.cornerCursor));
        EXPECT_EQ(Sides(Rect()), Sides(r)); // choosing sizes nothing
        Key(c.second);
        RECT stepped = r;
        LONG* side[] = {&stepped.left, &stepped.top, &stepped.right, &stepped.bottom};
        *side[c.second - VK_LEFT] += c.second < VK_RIGHT ? -10 : 10; // left, up, right, down
        EXPECT_EQ(Sides(Rect()), Sides(stepped));
        Key(c.corner == SIZING_TOP_LEFT ? VK_ESCAPE : VK_RETURN);
        EXPECT_EQ(State().active, 0);
        EXPECT_EQ(Cursor(), at("ss"));
        EXPECT_EQ(Sides(Rect()), Sides(stepped)); // the size reached stays
    }
}

TEST_F(LiveSizingTest, MouseMovedDuringKeyboardSizingLeavesTheCursorWhereItIs) {
    RECT r = Rect();
    SetCursorPos(r.left + 20, r.top + 20);
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    EXPECT_EQ(State().restoreCursor, 1);
    MoveMouseTo(r.left + 40, r.top + 40);
    EXPECT_EQ(State().restoreCursor, 0);
    SetCursorPos(r.left + 60, r.top + 60);
    Key(VK_RETURN);
    EXPECT_EQ(Cursor(), (std::vector<LONG>{r.left + 60, r.top + 60}));
}

TEST_F(LiveSizingTest, LosingTheCaptureInAnyWayEndsSizing) {
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOM, 0);
    ASSERT_EQ(State().active, 1);
    SetCapture(RawWindow()); // someone else takes the mouse
    EXPECT_EQ(State().active, 0);
    ReleaseCapture();
    EXPECT_TRUE(Has(Codes(Drain()), WM_EXITSIZEMOVE));
}
