// Live sizing, the window procedure's own sizing loop, which the program's
// panel (no sizing border) never runs: one drag with the mouse.
#include "tests/support/ui_fixture.h"
#include "ui/windows/live_sizing.h"

namespace {

std::vector<LONG> Sides(HWND window) {
    RECT r = Outer(window);
    return {r.left, r.top, r.right, r.bottom};
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
    HWND window = nullptr;
    BOOL wasFullDrag_ = TRUE;
};

} // namespace

// A drag of the top-left corner moves and sizes the window while the wait
// delivers its events (the corner takes 2 off both sides); the button's
// release ends it.
TEST_F(LiveSizingTest, TheMouseResizesLiveWhileTheWaitDeliversEvents) {
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
    EXPECT_EQ(Sides(window), (std::vector<LONG>{r.left - 32, r.top - 32, r.right, r.bottom}));
    PostMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(Contains(Codes(Drain()), {WM_EXITSIZEMOVE}));
    EXPECT_TRUE(ThreadSizingState()->active == 0 && GetCapture() != window);
}
