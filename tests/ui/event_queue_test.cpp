#include "ui/windows/event_queue.h"

#include <atomic>

#include "runtime/platform.h"
#include "tests/ui/windows_fixture.h"

namespace {

class EventQueueTest : public WindowsTest {
  protected:
    // Pops everything, returning the codes in order.
    static std::vector<int32_t> PopAll() {
        std::vector<int32_t> codes;
        EventFields record{};
        while (int32_t code = EventPop(&record))
            codes.push_back(code);
        return codes;
    }
};

std::atomic<int> gReleased{0};
void CountRelease(void* data) {
    ++gReleased;
    *static_cast<int*>(data) += 1;
}

} // namespace

TEST_F(EventQueueTest, EventsComeOutFirstInFirstOutWithAllTheirFields) {
    int payload = 0;
    EventPost(EVENT_GADGET, 5, 0, 2);
    EventPostWithData(EVENT_MOVE_WINDOW, 1, 3, 0, &payload, CountRelease);
    EXPECT_EQ(EventQueueLength(), 2);
    EventFields record{};
    EXPECT_EQ(EventPop(&record), EVENT_GADGET);
    EXPECT_EQ(record.gadget, 5);
    EXPECT_EQ(record.window, 0);
    EXPECT_EQ(record.type, 2);
    EXPECT_EQ(record.data, nullptr);
    EXPECT_EQ(EventPop(&record), EVENT_MOVE_WINDOW);
    EXPECT_EQ(record.gadget, 1);
    EXPECT_EQ(record.window, 3);
    EXPECT_EQ(record.data, &payload);
    EXPECT_EQ(record.release, CountRelease);
    EXPECT_EQ(payload, 0); // popping hands the data over, it does not release it
}

TEST_F(EventQueueTest, EmptyQueuePopsNothingAndLeavesTheRecordAlone) {
    EventFields record{};
    record.gadget = 77;
    record.type = 9;
    EXPECT_EQ(EventPop(&record), 0);
    EXPECT_EQ(record.gadget, 77);
    EXPECT_EQ(record.type, 9);
}

TEST_F(EventQueueTest, IdenticalNeighboursCollapseIntoOne) {
    EventPost(EVENT_SIZE_WINDOW, 0, 1, 0);
    EventPost(EVENT_SIZE_WINDOW, 0, 1, 0);
    EventPost(EVENT_SIZE_WINDOW, 0, 1, 0);
    EXPECT_EQ(PopAll(), (std::vector<int32_t>{EVENT_SIZE_WINDOW}));
}

TEST_F(EventQueueTest, OnlyTheTailIsComparedSoSeparatedEventsStay) {
    EventPost(EVENT_SIZE_WINDOW, 0, 1, 0);
    EventPost(EVENT_MOVE_WINDOW, 1, 1, 0);
    EventPost(EVENT_SIZE_WINDOW, 0, 1, 0);
    EXPECT_EQ(PopAll(),
              (std::vector<int32_t>{EVENT_SIZE_WINDOW, EVENT_MOVE_WINDOW, EVENT_SIZE_WINDOW}));
}

TEST_F(EventQueueTest, EventsDifferingInAnyFieldDoNotCollapse) {
    EventPost(EVENT_GADGET, 1, 0, 0);
    EventPost(EVENT_GADGET, 2, 0, 0); // gadget
    EventPost(EVENT_GADGET, 2, 1, 0); // window
    EventPost(EVENT_GADGET, 2, 1, 5); // type
    EXPECT_EQ(EventQueueLength(), 4);
    PopAll();
}

TEST_F(EventQueueTest, CodesFrom65537UpNeverCollapse) {
    EventPost(65536, 0, 0, 0);
    EventPost(65536, 0, 0, 0);
    EventPost(65537, 0, 0, 0);
    EventPost(65537, 0, 0, 0);
    EXPECT_EQ(PopAll(), (std::vector<int32_t>{65536, 65537, 65537}));
}

TEST_F(EventQueueTest, DataOfAnEventMergedIntoTheTailIsReleasedAtOnce) {
    int first = 0, second = 0;
    EventPostWithData(EVENT_GADGET, 4, 0, 0, &first, CountRelease);
    EXPECT_EQ(EventPostWithData(EVENT_GADGET, 4, 0, 0, &second, CountRelease), 1);
    EXPECT_EQ(second, 1); // nobody would ever deliver it
    EXPECT_EQ(first, 0);
    EXPECT_EQ(EventQueueLength(), 1);
    PopAll();
}

TEST_F(EventQueueTest, RemovingAWindowsEventsKeepsTheOthersInOrder) {
    EventPost(1001, 0, 1, 0);
    EventPost(1002, 0, 2, 0);
    EventPost(1003, 0, 1, 0);
    EventPost(EVENT_GADGET, 8, 1, 0);
    EventPost(1004, 0, 2, 0);
    EventPost(1005, 0, 1, 0); // the tail goes too
    EventsRemoveForWindow(1);
    EventPost(1006, 0, 2, 0); // and the queue still appends correctly
    EXPECT_EQ(PopAll(), (std::vector<int32_t>{1002, 1004, 1006}));
}

TEST_F(EventQueueTest, RemovingForWindowMinusOneRemovesOnlyThoseEvents) {
    EventPost(1001, 0, -1, 0);
    EventPost(1002, 0, 0, 0);
    EventsRemoveForWindow(-1);
    EXPECT_EQ(PopAll(), (std::vector<int32_t>{1002}));
}

TEST_F(EventQueueTest, RemovingMatchesAllFourValuesWithMinusOneForAny) {
    EventPost(EVENT_GADGET, 3, 0, 0);
    EventPost(EVENT_GADGET, 4, 0, 0);
    EventPost(EVENT_GADGET, 3, 1, 7);
    EventPost(EVENT_SIZE_WINDOW, 3, 0, 0);
    EventPost(EVENT_GADGET, 3, 0, 0);
    EventsRemoveMatching(EVENT_GADGET, 3, -1, -1);
    EventFields record{};
    EXPECT_EQ(EventPop(&record), EVENT_GADGET);
    EXPECT_EQ(record.gadget, 4);
    EXPECT_EQ(EventPop(&record), EVENT_SIZE_WINDOW);
    EXPECT_EQ(EventPop(&record), 0);

    EventPost(EVENT_GADGET, 3, 1, 7);
    EventPost(EVENT_GADGET, 3, 1, 8);
    EventsRemoveMatching(-1, -1, -1, 8);
    EXPECT_EQ(EventQueueLength(), 1);
    PopAll();
}

TEST_F(EventQueueTest, DataOfRemovedEventsIsReleased) {
    int data = 0;
    EventPostWithData(EVENT_GADGET, 3, 1, 0, &data, CountRelease);
    EventsRemoveForWindow(1);
    EXPECT_EQ(data, 1);
}

namespace {
struct PoolRun {
    int accepted = 0;
    int refused = 0;
    int releasedOnRefusal = 0;
    int acceptedAfterwards = 0;
    int data[20] = {};
    std::vector<int32_t> popped;
};

// On a thread of its own, so that its queue's pool starts fresh: one chunk of
// 16 nodes, one of which the queue keeps in reserve.
uint32_t FillQueueWithoutMemory(intptr_t argument) {
    auto* run = reinterpret_cast<PoolRun*>(argument);
    if (!ThreadEventQueue()) return 1;
    PlatformHeapFailAfter(ProgramHeap(), 0);
    for (int i = 1; i <= 20; ++i) {
        int* data = &run->data[i - 1];
        if (EventPostWithData(1000 + i, 0, 0, 0, data, CountRelease))
            ++run->accepted;
        else
            ++run->refused;
        if (*data) ++run->releasedOnRefusal;
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
} // namespace

TEST_F(EventQueueTest, WhenNoNodeCanBeHadTheEventIsDroppedWhole) {
    PoolRun run;
    int32_t thread = StartThread(FillQueueWithoutMemory, reinterpret_cast<intptr_t>(&run));
    ASSERT_NE(thread, 0);
    ASSERT_EQ(WaitForThread(thread, 10000), 1);
    EXPECT_EQ(run.accepted, 15);
    EXPECT_EQ(run.refused, 5);
    EXPECT_EQ(run.releasedOnRefusal, 5);
    ASSERT_EQ(run.popped.size(), 15u); // every accepted event whole, in order
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(run.popped[i], 1001 + i);
    EXPECT_EQ(run.acceptedAfterwards, 1);
}

namespace {
std::atomic<int> gQueueLengthOnWorker{-1};
uint32_t PostToMainThread(intptr_t data) {
    EventPostToMainThread(EVENT_GADGET, 7, 0, 3, reinterpret_cast<void*>(data));
    gQueueLengthOnWorker = EventQueueLength();
    return 0;
}
} // namespace

TEST_F(EventQueueTest, EventPostedFromAnotherThreadReachesTheMainThreadsQueue) {
    int marker = 0;
    int32_t worker = StartThread(PostToMainThread, reinterpret_cast<intptr_t>(&marker));
    ASSERT_NE(worker, 0);
    std::vector<Delivered> seen;
    ASSERT_TRUE(WaitForEvent(EVENT_GADGET, &seen));
    EXPECT_EQ(EventGadgetNumber(), 7);
    EXPECT_EQ(EventWindowNumber(), 0);
    EXPECT_EQ(EventType(), 3);
    EXPECT_EQ(EventData(), &marker);
    ASSERT_EQ(WaitForThread(worker, 5000), 1);
    EXPECT_EQ(gQueueLengthOnWorker.load(), 0); // the worker's own queue stays empty
    // Before it, the wait returned the registered message that carried it.
    bool sawMessage = false;
    for (const Delivered& d : seen)
        sawMessage |= d.code == static_cast<int32_t>(PostEventMessage());
    EXPECT_TRUE(sawMessage);
}

TEST_F(EventQueueTest, PostEventWindowIsHiddenAndTheMessageRegistered) {
    HWND window = PostEventWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    EXPECT_STREQ(className, L"PostEventClass");
    EXPECT_EQ(PostEventMessage(), RegisterWindowMessageW(L"KX_PostEventMessage"));
    EXPECT_EQ(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());
}

TEST_F(EventQueueTest, OtherMessagesToThePostEventWindowTouchNoBlock) {
    // A block under another message is not the receiver's to free or queue.
    auto* block = static_cast<PostedEvent*>(ProgramHeapAllocate(sizeof(PostedEvent)));
    block->code = 4242;
    size_t live = PlatformHeapLiveBytes(ProgramHeap());
    SendMessageW(PostEventWindow(), WM_USER + 5, 0, reinterpret_cast<LPARAM>(block));
    EXPECT_EQ(EventQueueLength(), 0);
    EXPECT_EQ(PlatformHeapLiveBytes(ProgramHeap()), live);
    ProgramHeapFree(block);
}
