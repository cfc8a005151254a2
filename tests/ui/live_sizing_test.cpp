// Live sizing: the window procedure's own sizing loop, driven by the mouse
// or, from the system menu, by the keyboard.
#include <map>
#include <tuple>

#include "tests/support/ui_fixture.h"
#include "ui/windows/live_sizing.h"

namespace {

std::vector<LONG> Sides(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}
std::vector<LONG> Sides(HWND window) {
    return Sides(Outer(window));
}
std::vector<LONG> Cursor() {
    POINT p;
    GetCursorPos(&p);
    return {p.x, p.y};
}

class LiveSizingTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &wasFullDrag_, 0);
        SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
        window = Handle(WindowOpen(1, 200, 150, 300, 200, "sizable",
                                   WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, nullptr));
        ASSERT_TRUE(Activated(window));
        Drain();
    }
    void TearDown() override {
        ReleaseCapture();
        SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, wasFullDrag_, nullptr, 0);
        UiTest::TearDown();
    }
    // A mouse move to a point on the screen, as the captured window gets it.
    void MoveMouseTo(LONG x, LONG y) const {
        POINT p{x, y};
        ScreenToClient(window, &p);
        PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON,
                     MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
    }
    void Key(WPARAM key) const { SendMessageW(window, WM_KEYDOWN, key, 0); }
    static SizingState& State() { return *ThreadSizingState(); }

    HWND window = nullptr;
    BOOL wasFullDrag_ = TRUE;
};

} // namespace

// Within the tracking limits, minimum 100 x 50 and maximum 500 x 400. How each
// edge and corner follows the point (the top-left corner takes 2 off both,
// the others add 2 where they move right or down) the live tests below show.
TEST(SizingPoint, EdgesMoveWithTheirOffsetsWithinTheTrackingLimits) {
    const RECT r{100, 100, 400, 300};
    // Edge, x and y; the rectangle.
    const std::pair<std::vector<LONG>, RECT> cases[] = {
        {{SIZING_NO_EDGE, 0, 0}, r},
        {{SIZING_LEFT, 390, 0}, {300, 100, 400, 300}},
        {{SIZING_BOTTOM_RIGHT, 0, 0}, {100, 100, 200, 150}},
        {{SIZING_TOP, 0, -500}, {100, -100, 400, 300}},
        {{SIZING_RIGHT, 900, 0}, {100, 100, 600, 300}}};
    for (const auto& [point, expected] : cases) {
        SCOPED_TRACE(testing::PrintToString(point));
        RECT sized = r;
        ApplySizingPoint(&sized, point[0], POINT{point[1], point[2]}, POINT{100, 50},
                         POINT{500, 400});
        EXPECT_EQ(Sides(sized), Sides(expected));
    }
}

TEST_F(LiveSizingTest, DraggingAnEdgeOrTheKeysResizeLiveWithinTheLimitsWhileTheWaitDeliversEvents) {
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_MOVE, 0).handled); // only a size command
    // With outline dragging the system's own sizing loop runs.
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
    EXPECT_FALSE(LiveSizing(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0).handled);
    SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    const std::vector<LONG> before = Sides(window);
    PostMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_TOPLEFT, 0);
    EXPECT_EQ(EventWait(0), WM_SYSCOMMAND); // the system's loop did not take over
    EXPECT_TRUE(State().active == 1 && State().edge == SIZING_TOP_LEFT && GetCapture() == window);
    MoveMouseTo(before[0] - 30, before[1] - 30);
    std::vector<int32_t> codes = Codes(Drain(), 1); // a plain resize: no restore event
    EXPECT_TRUE(Contains(codes, {EVENT_MOVE_WINDOW}) && Contains(codes, {EVENT_SIZE_WINDOW}));
    EXPECT_FALSE(Contains(codes, {EVENT_RESTORE}));
    EXPECT_EQ(Sides(window),
              (std::vector<LONG>{before[0] - 32, before[1] - 32, before[2], before[3]}));
    MoveMouseTo(before[2] - 50, before[3] - 20); // the limits were asked of the window
    Drain();
    EXPECT_EQ(Sides(window)[2] - Sides(window)[0], State().limits.ptMinTrackSize.x);
    PostMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(Contains(Codes(Drain()), {WM_EXITSIZEMOVE}));
    EXPECT_TRUE(State().active == 0 && GetCapture() != window);
    // Losing the capture in any other way ends it too.
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE | WMSZ_BOTTOM, 0);
    SetCapture(RawWindow());
    EXPECT_EQ(State().active, 0);
    // From the system menu: the first arrow key chooses an edge, a second one
    // a corner, the next ones step it by 10; Enter or Escape ends it with the
    // size reached and the cursor back where it was, unless the mouse moved
    // meanwhile.
    const RECT r = Outer(window);
    const LONG midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
    // Cursor places: m the middle, l left, L left + 2, R right - 2; M the
    // middle, t top, T top + 2, B bottom - 2.
    const std::map<char, LONG> place{{'m', midX},        {'l', r.left},      {'L', r.left + 2},
                                     {'R', r.right - 2}, {'M', midY},        {'t', r.top},
                                     {'T', r.top + 2},   {'B', r.bottom - 2}};
    auto at = [&](const char* p) { return std::vector<LONG>{place.at(p[0]), place.at(p[1])}; };
    // First key, edge, cursor; second key, corner, cursor.
    const std::tuple<WPARAM, int32_t, const char*, WPARAM, int32_t, const char*> cases[] = {
        {VK_LEFT, SIZING_LEFT, "lM", VK_UP, SIZING_TOP_LEFT, "LT"},
        {VK_LEFT, SIZING_LEFT, "lM", VK_DOWN, SIZING_BOTTOM_LEFT, "lB"},
        {VK_RIGHT, SIZING_RIGHT, "RM", VK_UP, SIZING_TOP_RIGHT, "Rt"},
        {VK_RIGHT, SIZING_RIGHT, "RM", VK_DOWN, SIZING_BOTTOM_RIGHT, "RB"},
        {VK_UP, SIZING_TOP, "mt", VK_LEFT, SIZING_TOP_LEFT, "LT"},
        {VK_UP, SIZING_TOP, "mt", VK_RIGHT, SIZING_TOP_RIGHT, "Rt"},
        {VK_DOWN, SIZING_BOTTOM, "mB", VK_LEFT, SIZING_BOTTOM_LEFT, "lB"},
        {VK_DOWN, SIZING_BOTTOM, "mB", VK_RIGHT, SIZING_BOTTOM_RIGHT, "RB"}};
    for (const auto& [first, edge, cursor, second, corner, cornerCursor] : cases) {
        SCOPED_TRACE(testing::Message() << first << " then " << second);
        MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
        SetCursorPos(midX, midY);
        EXPECT_EQ(SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0), 0);
        EXPECT_EQ(State().edge, SIZING_NO_EDGE);
        Key(first);
        EXPECT_TRUE(State().edge == edge && Cursor() == at(cursor));
        Key(second);
        EXPECT_TRUE(State().edge == corner && Cursor() == at(cornerCursor));
        EXPECT_EQ(Sides(window), Sides(r)); // choosing sizes nothing
        Key(second); // steps the side of that arrow (left, top, right, bottom) outwards
        std::vector<LONG> stepped = Sides(r);
        stepped[second - VK_LEFT] += second < VK_RIGHT ? -10 : 10;
        Key(edge == SIZING_LEFT ? VK_ESCAPE : VK_RETURN);
        EXPECT_TRUE(State().active == 0 && Cursor() == at("mM"));
        EXPECT_EQ(Sides(window), stepped); // the size reached stays
    }
    SetCursorPos(r.left + 20, r.top + 20);
    SendMessageW(window, WM_SYSCOMMAND, SC_SIZE, 0);
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40, 40));
    SetCursorPos(r.left + 60, r.top + 60);
    Key(VK_RETURN);
    EXPECT_EQ(Cursor(), (std::vector<LONG>{r.left + 60, r.top + 60}));
}
