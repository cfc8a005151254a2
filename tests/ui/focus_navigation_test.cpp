#include "ui/windows/focus_navigation.h"

#include "tests/ui/windows_fixture.h"

namespace {

// A window with five controls in this order: first, hidden, disabled,
// last (all tab stops) and one without WS_TABSTOP.
class FocusNavigationTest : public WindowsTest {
  protected:
    void SetUp() override {
        WindowsTest::SetUp();
        window = Handle(WindowOpen(0, 0, 0, 300, 100, "tab", 0, nullptr));
        ASSERT_NE(window, nullptr);
        first = Control(window, 1);
        hidden = Control(window, 2);
        disabled = Control(window, 3);
        last = Control(window, 4);
        noTabStop = Control(window, 5, L"BUTTON", 0);
        ShowWindow(hidden, SW_HIDE);
        EnableWindow(disabled, FALSE);
        ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == window; }));
    }
    HWND window = nullptr, first = nullptr, hidden = nullptr, disabled = nullptr, last = nullptr,
         noTabStop = nullptr;
};

} // namespace

TEST_F(FocusNavigationTest, NextSkipsHiddenAndDisabledControls) {
    SetFocus(first);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), last);
}

TEST_F(FocusNavigationTest, NextOnTheLastWrapsToTheFirst) {
    SetFocus(last);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), first);
}

TEST_F(FocusNavigationTest, PreviousOnTheFirstWrapsToTheLast) {
    SetFocus(first);
    FocusPreviousControl();
    EXPECT_EQ(GetFocus(), last);
    FocusPreviousControl();
    EXPECT_EQ(GetFocus(), first);
}

TEST_F(FocusNavigationTest, WithoutAFocusedControlNextTakesTheFirstAndPreviousTheLast) {
    SetFocus(window);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), first);
    SetFocus(window);
    FocusPreviousControl();
    EXPECT_EQ(GetFocus(), last);
}

TEST_F(FocusNavigationTest, FromAControlThatIsNoTabStopNextChangesNothingPreviousTakesTheLast) {
    SetFocus(noTabStop);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), noTabStop);
    FocusPreviousControl();
    EXPECT_EQ(GetFocus(), last);
}

TEST_F(FocusNavigationTest, ControlsShownAndEnabledAgainTakePartAgain) {
    ShowWindow(hidden, SW_SHOW);
    SetFocus(first);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), hidden);
    EnableWindow(disabled, TRUE);
    FocusNextControl();
    EXPECT_EQ(GetFocus(), disabled);
}

TEST_F(FocusNavigationTest, NestedControlsAreWalkedToo) {
    HWND group = Control(window, 6, L"STATIC", 0);
    HWND inner = Control(group, 7);
    SetFocus(last);
    FocusNextControl();
    // The system's enumeration visits every descendant, the nested one too.
    EXPECT_EQ(GetFocus(), inner);
}

TEST_F(FocusNavigationTest, ActiveWindowWithoutControlsKeepsItsFocus) {
    SetFocus(first);
    HWND plain = RawWindow();
    SetActiveWindow(plain);
    ASSERT_TRUE(WaitUntil([&] { return GetActiveWindow() == plain; }));
    FocusNextControl(); // the plain window has no controls
    EXPECT_EQ(GetActiveWindow(), plain);
    EXPECT_FALSE(IsChild(window, GetFocus()));
}
