#include "ui/windows/event_wait.h"

#include <algorithm>

#include "tests/ui/windows_fixture.h"

namespace {

class EventWaitTest : public WindowsTest {
  protected:
    void SetUp() override {
        WindowsTest::SetUp();
        window = Handle(WindowOpen(number, 20, 20, 200, 120, "wait", 0, nullptr));
        ASSERT_NE(window, nullptr);
        Drain();
    }
    const ObjectNumber number = 2;
    HWND window = nullptr;
};

int gReleases = 0;
void CountRelease(void*) {
    ++gReleases;
}

} // namespace

TEST_F(EventWaitTest, QueuedEventComesBeforeAnyPendingMessage) {
    PostMessageW(window, WM_USER + 7, 11, 22);
    EventPost(EVENT_SIZE_WINDOW, 0, number, 0);
    EXPECT_EQ(EventWait(0), EVENT_SIZE_WINDOW);
    EXPECT_EQ(EventWParam(), 0u); // queued events carry no message
    EXPECT_EQ(EventWait(0), WM_USER + 7);
    EXPECT_EQ(EventWParam(), 11u);
    EXPECT_EQ(EventLParam(), 22);
}

TEST_F(EventWaitTest, NoTimeAndNothingThereReturnsZeroAtOnce) {
    EXPECT_EQ(EventWait(0), 0);
    EXPECT_EQ(EventQueueLength(), 0);
}

TEST_F(EventWaitTest, TimeLimitOfSilenceReturnsZeroAfterWaiting) {
    double start = NowMs();
    EXPECT_EQ(EventWait(100), 0);
    EXPECT_GE(NowMs() - start, 90.0);
}

TEST_F(EventWaitTest, TimedWaitReturnsAMessageThatArrivesMeanwhile) {
    static HWND target;
    target = window;
    int32_t poster = StartThread(
        [](intptr_t) -> uint32_t {
            Sleep(30);
            PostMessageW(target, WM_USER + 3, 0, 0);
            return 0;
        },
        0);
    ASSERT_NE(poster, 0);
    EXPECT_EQ(EventWait(5000), WM_USER + 3);
    WaitForThread(poster, 5000);
}

TEST_F(EventWaitTest, WaitForeverReturnsTheNextMessageAndQuitAsItsNumber) {
    PostMessageW(window, WM_USER + 1, 0, 0);
    EXPECT_EQ(EventWaitForever(), WM_USER + 1);
    PostQuitMessage(0);
    EXPECT_EQ(EventWaitForever(), WM_QUIT);
}

TEST_F(EventWaitTest, TimeoutKeepsTheDeliveredValuesOfThePreviousEvent) {
    EventPost(EVENT_GADGET, 9, number, 4);
    ASSERT_EQ(EventWait(0), EVENT_GADGET);
    ASSERT_EQ(EventWait(0), 0);
    EXPECT_EQ(EventGadgetNumber(), 9);
    EXPECT_EQ(EventType(), 4);
    EXPECT_EQ(EventWindowNumber(), number);
}

TEST_F(EventWaitTest, DeliveredDataIsReleasedByTheNextWait) {
    gReleases = 0;
    int payload = 0;
    EventPostWithData(EVENT_GADGET, 1, number, 0, &payload, CountRelease);
    ASSERT_EQ(EventWait(0), EVENT_GADGET);
    EXPECT_EQ(EventData(), &payload);
    EXPECT_EQ(gReleases, 0); // still the caller's to look at
    EXPECT_EQ(EventWait(0), 0);
    EXPECT_EQ(gReleases, 1);
    EXPECT_EQ(EventData(), nullptr);
    EXPECT_EQ(EventWait(0), 0);
    EXPECT_EQ(gReleases, 1);
}

TEST_F(EventWaitTest, PostedCloseIsReturnedAsItsNumberAndThenAsTheQueuedEvent) {
    PostMessageW(window, WM_CLOSE, 0, 0);
    Delivered first = Wait(0);
    EXPECT_EQ(first.code, WM_CLOSE); // the message's own number, 16
    Delivered second = Wait(0);
    EXPECT_EQ(second.code, EVENT_CLOSE_WINDOW);
    EXPECT_EQ(second.gadget, number);
    EXPECT_EQ(second.window, number);
    EXPECT_EQ(second.type, 0);
    EXPECT_TRUE(IsWindow(window)); // a close request never destroys the window
}

TEST_F(EventWaitTest, CloseBoxQueuesTheCloseEventAndTheWindowStaysOpen) {
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(EventWait(0), WM_SYSCOMMAND); // the message that asked
    EXPECT_EQ(EventWait(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(EventGadgetNumber(), number);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(WindowHandle(number), window);
}

TEST_F(EventWaitTest, DirectClickEventsKeepThePreviousGadget) {
    EventPost(EVENT_GADGET, 9, number, 0);
    ASSERT_EQ(EventWait(0), EVENT_GADGET);
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Delivered left = Wait(0);
    EXPECT_EQ(left.code, EVENT_LEFT_CLICK);
    EXPECT_EQ(left.gadget, 9);
    EXPECT_EQ(left.window, number);
    EXPECT_EQ(left.type, -1);
    PostMessageW(window, WM_RBUTTONUP, 0, 0);
    EXPECT_EQ(EventWait(0), EVENT_RIGHT_CLICK);
    PostMessageW(window, WM_LBUTTONDBLCLK, 0, 0);
    EXPECT_EQ(EventWait(0), EVENT_LEFT_DOUBLE_CLICK);
    EXPECT_EQ(EventGadgetNumber(), 9);
}

TEST_F(EventWaitTest, PaintMessageComesAsFifteenAndTheRepaintEventFollows) {
    InvalidateRect(window, nullptr, TRUE);
    EXPECT_EQ(EventWait(0), WM_PAINT); // 15, the same as EVENT_REPAINT
    Delivered repaint = Wait(0);
    EXPECT_EQ(repaint.code, EVENT_REPAINT); // queued while the background was erased
    EXPECT_EQ(repaint.window, number);
    EXPECT_EQ(repaint.gadget, 0);
}

TEST_F(EventWaitTest, ClosingAWindowRemovesItsQueuedEventsOnly) {
    HWND other = Handle(WindowOpen(5, 300, 20, 100, 80, "other", 0, nullptr));
    ASSERT_NE(other, nullptr);
    Drain();
    EventPost(EVENT_GADGET, 3, number, 0);
    EventPost(EVENT_GADGET, 3, 5, 0);
    EventPost(EVENT_SIZE_WINDOW, 0, number, 0);
    EventPost(EVENT_SIZE_WINDOW, 0, 5, 0);
    WindowClose(number);
    std::vector<Delivered> seen = Drain();
    int otherGadget = 0, otherSize = 0;
    for (const Delivered& d : seen) {
        if (IsEventCode(d.code)) {
            EXPECT_NE(d.window, number) << d.code;
        }
        otherGadget += d.code == EVENT_GADGET && d.window == 5 && d.gadget == 3;
        otherSize += d.code == EVENT_SIZE_WINDOW && d.window == 5;
    }
    EXPECT_EQ(otherGadget, 1);
    EXPECT_GE(otherSize, 1);
}

TEST_F(EventWaitTest, ButtonClickBecomesAGadgetEventWithTheButtonsIdentifier) {
    HWND button = Control(window, 21, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON);
    ASSERT_NE(button, nullptr);
    Drain();
    PostMessageW(button, BM_CLICK, 0, 0);
    std::vector<Delivered> seen;
    ASSERT_TRUE(WaitForEvent(EVENT_GADGET, &seen));
    EXPECT_EQ(EventGadgetNumber(), 21);
    EXPECT_EQ(EventWindowNumber(), number);
    EXPECT_EQ(EventType(), BN_CLICKED);
    // It came from the wait that dispatched the click itself.
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(EventWaitTest, NotificationCodeBecomesTheEventType) {
    HWND edit = Control(window, 30, L"EDIT", WS_TABSTOP);
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(30, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    Delivered d = Wait(0);
    EXPECT_EQ(d.code, EVENT_GADGET);
    EXPECT_EQ(d.gadget, 30);
    EXPECT_EQ(d.type, EN_CHANGE);
}

TEST_F(EventWaitTest, GadgetEventOfAControlNamesItsWindow) {
    HWND control = Control(window, 44);
    PostGadgetEvent(control, 6);
    Delivered d = Wait(0);
    EXPECT_EQ(d.code, EVENT_GADGET);
    EXPECT_EQ(d.gadget, 44);
    EXPECT_EQ(d.window, number);
    EXPECT_EQ(d.type, 6);
}

TEST_F(EventWaitTest, FlushDispatchesEverythingButDeliversNoDirectEvent) {
    PostMessageW(window, WM_RBUTTONUP, 0, 0); // a direct event
    PostMessageW(window, WM_CLOSE, 0, 0);     // a queued one
    FlushMessages();
    EXPECT_EQ(EventWait(0), EVENT_CLOSE_WINDOW);
    EXPECT_EQ(EventWait(0), 0);
}

TEST_F(EventWaitTest, DirectEventLeftOutsideAWaitIsNotDeliveredLater) {
    // The window procedure runs outside the wait (a sent message).
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(EventWait(0), 0);
}

// A control's text changed by another thread: the system carries the change
// over to this thread inside the wait, and the notification it causes is
// delivered by that wait once the next posted message has been dispatched.
TEST_F(EventWaitTest, TextChangedByAnotherThreadIsDeliveredByTheWaitInProgress) {
    static HWND edit;
    static HWND parent;
    edit = Control(window, 31, L"EDIT", WS_TABSTOP);
    parent = window;
    Drain();
    int32_t worker = StartThread(
        [](intptr_t) -> uint32_t {
            SetWindowTextW(edit, L"from the worker"); // returns once the main thread handled it
            PostMessageW(parent, WM_NULL, 0, 0);
            return 0;
        },
        0);
    ASSERT_NE(worker, 0);
    Delivered d = Wait(-1);
    EXPECT_EQ(d.code, EVENT_GADGET);
    EXPECT_EQ(d.gadget, 31);
    EXPECT_EQ(d.type, EN_CHANGE);
    EXPECT_EQ(WaitForThread(worker, 5000), 1);
    EXPECT_EQ(Text16(edit), L"from the worker");
}
