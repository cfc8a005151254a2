// The per-thread event queue, events handed over from other threads, and the
// wait that delivers queued events and system messages.
#include <numeric>
#include <thread>
#include <tuple>

#include "runtime/platform.h"
#include "tests/support/ui_fixture.h"
#include "ui/windows/event_queue.h"

namespace {

// Counts its releases in the data itself.
void CountRelease(void* data) {
    *static_cast<int*>(data) += 1;
}

class EventTest : public UiTest {
  protected:
    void SetUp() override {
        UiTest::SetUp();
        window = Handle(WindowOpen(number, 20, 20, 200, 120, "wait", 0, nullptr));
        ASSERT_NE(window, nullptr);
        Drain();
    }
    // Posts each event: code, gadget, window, type.
    static void PostAll(const std::vector<std::vector<int32_t>>& events) {
        for (const std::vector<int32_t>& e : events)
            EXPECT_EQ(EventPost(e[0], e[1], e[2], e[3]), 1);
    }
    // Pops everything, returning the codes in order.
    static std::vector<int32_t> PopAll() {
        std::vector<int32_t> codes;
        EventFields record{};
        while (int32_t code = EventPop(&record))
            codes.push_back(code);
        return codes;
    }
    const ObjectNumber number = 2;
    HWND window = nullptr;
};

} // namespace

// Popped or delivered by the wait, events come with all their fields; the
// wait leaves the delivered values until the next event and releases the
// data at the next wait.
TEST_F(EventTest, EventsComeOutFirstInFirstOutWithAllTheirFieldsAndTheirDataIsReleasedOnce) {
    int payload = 0;
    EventPost(EVENT_GADGET, 5, 0, 2);
    EventPostWithData(EVENT_MOVE_WINDOW, 1, 3, 0, &payload, CountRelease);
    EXPECT_EQ(EventQueueLength(), 2);
    EventFields record{};
    EXPECT_EQ(EventPop(&record), EVENT_GADGET);
    EXPECT_TRUE(record.gadget == 5 && record.window == 0 && record.type == 2 && !record.data);
    EXPECT_EQ(EventPop(&record), EVENT_MOVE_WINDOW);
    EXPECT_TRUE(record.gadget == 1 && record.window == 3 && record.data == &payload);
    EXPECT_TRUE(record.release == CountRelease && payload == 0); // handed over, not released
    EventPostWithData(EVENT_GADGET, 9, number, 4, &payload, CountRelease);
    ASSERT_EQ(EventWait(0), EVENT_GADGET);
    EXPECT_TRUE(EventData() == &payload && payload == 0); // still the caller's to look at
    EXPECT_EQ(EventWait(0), 0);
    EXPECT_TRUE(payload == 1 && EventData() == nullptr);
    EXPECT_TRUE(EventGadgetNumber() == 9 && EventType() == 4 && EventWindowNumber() == number);
    EXPECT_EQ(EventWait(0), 0);
    EXPECT_EQ(payload, 1);
}

TEST_F(EventTest, OnlyAnEventIdenticalToTheTailBelowCode65537CollapsesAndRemovalKeepsTheRest) {
    const int32_t size = EVENT_SIZE_WINDOW, move = EVENT_MOVE_WINDOW, gadget = EVENT_GADGET;
    // Posted (code, gadget, window, type); popped.
    const std::pair<std::vector<std::vector<int32_t>>, std::vector<int32_t>> cases[] = {
        {{{size, 0, 1, 0}, {size, 0, 1, 0}, {size, 0, 1, 0}}, {size}},
        {{{size, 0, 1, 0}, {move, 1, 1, 0}, {size, 0, 1, 0}}, {size, move, size}},
        {{{gadget, 1, 0, 0}, {gadget, 2, 0, 0}, {gadget, 2, 1, 0}, {gadget, 2, 1, 5}},
         {gadget, gadget, gadget, gadget}},
        {{{65536, 0, 0, 0}, {65536, 0, 0, 0}, {65537, 0, 0, 0}, {65537, 0, 0, 0}},
         {65536, 65537, 65537}}};
    for (const auto& [posted, popped] : cases) {
        SCOPED_TRACE(testing::PrintToString(popped));
        PostAll(posted);
        EXPECT_EQ(PopAll(), popped);
    }
    // Removing keeps the others in order and releases the removed data.
    int data = 0;
    PostAll({{1001, 0, 1, 0}, {1002, 0, 2, 0}});
    EventPostWithData(EVENT_GADGET, 8, 1, 0, &data, CountRelease);
    PostAll({{1003, 0, -1, 0}, {1004, 0, 2, 0}, {1005, 0, 1, 0}}); // the tail goes too
    EventsRemoveForWindow(1);
    EXPECT_EQ(data, 1);
    EventsRemoveForWindow(-1); // only the events of window -1
    EventPost(1006, 0, 2, 0);  // and the queue still appends correctly
    EXPECT_EQ(PopAll(), (std::vector<int32_t>{1002, 1004, 1006}));
    // (Removing a gadget's events: the gadget test of a number made anew.)
}

struct PoolRun {
    int accepted, refused, released, acceptedAfterwards;
    int data[20];
    std::vector<int32_t> popped;
};

// On a thread of its own, so that its queue's pool starts fresh: one chunk of
// 16 nodes, one of which the queue keeps in reserve.
static uint32_t FillQueueWithoutMemory(intptr_t argument) {
    auto* run = reinterpret_cast<PoolRun*>(argument);
    if (!ThreadEventQueue()) return 1;
    PlatformHeapFailAfter(ProgramHeap(), 0);
    for (int i = 1; i <= 20; ++i) {
        int* data = &run->data[i - 1];
        (EventPostWithData(1000 + i, 0, 0, 0, data, CountRelease) ? run->accepted : run->refused)++;
        run->released += *data;
    }
    PlatformHeapFailAfter(ProgramHeap(), -1);
    EventFields record{};
    while (int32_t code = EventPop(&record)) {
        run->popped.push_back(code);
        record.release(record.data);
    }
    run->acceptedAfterwards = EventPost(2000, 0, 0, 0);
    EventPop(&record);
    return 0;
}

TEST_F(EventTest, WhenNoNodeCanBeHadTheEventIsDroppedWholeAndItsDataReleased) {
    PoolRun run{};
    int32_t worker = StartThread(FillQueueWithoutMemory, reinterpret_cast<intptr_t>(&run));
    ASSERT_NE(worker, 0);
    ASSERT_EQ(WaitForThread(worker, 5000), 1);
    EXPECT_TRUE(run.accepted == 15 && run.refused == 5 && run.released == 5);
    std::vector<int32_t> whole(15); // every accepted event whole, in order
    std::iota(whole.begin(), whole.end(), 1001);
    EXPECT_EQ(run.popped, whole);
    EXPECT_EQ(run.acceptedAfterwards, 1);
}

// From another thread, through the registered message that carries it.
TEST_F(EventTest, EventPostedFromAnotherThreadReachesTheMainThreadsQueue) {
    static int marker;
    int32_t worker = StartThread(
        [](intptr_t) -> uint32_t { return EventPostToMainThread(EVENT_GADGET, 7, 0, 3, &marker); },
        0);
    ASSERT_EQ(WaitForThread(worker, 5000), 1) << "the worker did not end";
    std::vector<int32_t> codes{0}; // what the waits return until the gadget event
    for (DWORD start = GetTickCount();
         codes.back() != EVENT_GADGET && GetTickCount() - start < 5000;)
        if (int32_t code = Wait(10).code) codes.push_back(code);
    ASSERT_EQ(codes.back(), EVENT_GADGET) << "no gadget event came";
    EXPECT_TRUE(EventGadgetNumber() == 7 && EventType() == 3 && EventData() == &marker);
    EXPECT_EQ(codes[1], static_cast<int32_t>(PostEventMessage()));
}

TEST_F(EventTest, QueuedEventsComeBeforeMessagesAndAWaitEndsOnAMessage) {
    PostMessageW(window, WM_USER + 7, 11, 22);
    EventPost(EVENT_SIZE_WINDOW, 0, number, 0);
    EXPECT_EQ(EventWait(0), EVENT_SIZE_WINDOW);
    EXPECT_EQ(EventWParam(), 0u); // queued events carry no message
    EXPECT_EQ(EventWait(0), WM_USER + 7);
    EXPECT_TRUE(EventWParam() == 11u && EventLParam() == 22);
    EXPECT_EQ(EventWait(0), 0);
    std::thread poster([&] {
        Sleep(30); // while the wait below is under way
        PostMessageW(window, WM_USER + 3, 0, 0);
    });
    EXPECT_EQ(EventWait(5000), WM_USER + 3);
    poster.join();
    PostQuitMessage(0);
    EXPECT_EQ(WaitForever().code, WM_QUIT);
}

TEST_F(EventTest, MessagesGiveTheirNumberAQueuedEventOrADirectEvent) {
    // Message; the first code delivered, the event after it (if any), and that
    // delivery's gadget and type.
    const std::tuple<UINT, int32_t, int32_t, ObjectNumber, int32_t> cases[] = {
        // A close request is queued: its number, then the close event.
        {WM_CLOSE, WM_CLOSE, EVENT_CLOSE_WINDOW, number, 0},
        // Clicks are delivered at once and keep the previous gadget (9).
        {WM_LBUTTONUP, EVENT_LEFT_CLICK, 0, 9, -1},
        {WM_LBUTTONDBLCLK, EVENT_LEFT_DOUBLE_CLICK, 0, 9, -1},
        // A paint message is 15, as the repaint event queued while the
        // background was erased.
        {WM_PAINT, WM_PAINT, EVENT_REPAINT, 0, 0}};
    for (const auto& [message, firstCode, secondCode, gadget, type] : cases) {
        SCOPED_TRACE(message);
        EventPost(EVENT_GADGET, 9, number, 0);
        ASSERT_EQ(EventWait(0), EVENT_GADGET);
        message == WM_PAINT ? InvalidateRect(window, nullptr, TRUE)
                            : PostMessageW(window, message, 0, 0);
        Delivered first = Wait(0), last = secondCode ? Wait(0) : first;
        EXPECT_EQ(first.code, firstCode);
        EXPECT_EQ(last.code, secondCode ? secondCode : firstCode);
        EXPECT_TRUE(last.gadget == gadget && last.window == number && last.type == type);
        EXPECT_EQ(Wait(0).code, 0);
    }
    EXPECT_TRUE(IsWindowVisible(window)); // a close request never closes the window
    // Direct events made outside a wait are never delivered; queued ones are.
    PostMessageW(window, WM_RBUTTONUP, 0, 0);
    PostMessageW(window, WM_CLOSE, 0, 0);
    FlushMessages();
    SendMessageW(window, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(Codes(Drain()), (std::vector<int32_t>{EVENT_CLOSE_WINDOW}));
}
