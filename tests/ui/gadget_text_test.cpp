// Gadget texts from another thread, as the network worker sets, reads and
// appends to the panel's controls: sets and reads wait for the owner;
// appends are queued for it and inserted in batches, in order, and every
// other text command takes what is queued first.
#include <string>

#include "tests/support/other_thread_win.h"
#include "tests/support/ui_fixture.h"
#include "ui/gadgets/gadget_append_queue.h"

namespace {

const UINT kCarrierMessage = RegisterWindowMessageW(L"KX_GadgetTextRequest");

// Counts what reaches the box in front of GadgetProc: carried requests and
// wake-ups, and insertions.
struct MessageSpy {
    WNDPROC next;
    int carried, insertions;
} gSpy;
LRESULT CALLBACK SpyOnMessages(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    gSpy.carried += message == kCarrierMessage;
    gSpy.insertions += message == EM_REPLACESEL;
    return CallWindowProcW(gSpy.next, control, message, wParam, lParam);
}

class GadgetTextTest : public GadgetsTest {
  protected:
    void SetUp() override {
        GadgetsTest::SetUp();
        OpenWindow();
        box_ = Handle(GadgetCreateEditor(11, 10, 40, 300, 100, EDITOR_READ_ONLY));
    }
    void TearDown() override {
        SetAppendQueueLimit(0);
        GadgetsTest::TearDown();
    }
    // Appends "payload 0;" to "payload count-1;" from another thread, which
    // must not wait for this one.
    static Text AppendFromWorker(int count) {
        auto payload = [](int i) { return "payload " + std::to_string(i) + ";"; };
        OtherThread worker("the appending worker", [&] {
            for (int i = 0; i < count; ++i)
                GadgetAppendText(11, payload(i));
        });
        EXPECT_TRUE(worker.EndsUnaided()) << "the appends waited for the box's thread";
        Text all;
        for (int i = 0; i < count; ++i)
            all += payload(i);
        return all;
    }
    Text Shown() const { return Utf16ToCp1251(Native(box_)); }

    HWND box_ = nullptr;
};

} // namespace

TEST_F(GadgetTextTest, AppendsFromAnotherThreadAreInsertedInOrderInOneBatchAfterOneWakeUp) {
    gSpy = MessageSpy{};
    gSpy.next = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyOnMessages)));
    const Text expected = AppendFromWorker(200);
    EXPECT_EQ(Shown(), "") << "inserted before this thread handled its messages";
    Drain();
    EXPECT_EQ(Shown(), expected);
    EXPECT_TRUE(gSpy.carried == 1 && gSpy.insertions == 1) << gSpy.carried << gSpy.insertions;
    AppendFromWorker(3); // the next batch wakes the owner again
    Drain();
    EXPECT_EQ(gSpy.carried, 2);
}

// Whatever is done to the box's text after appends that still wait on the
// queue (their wake-up not yet handled) comes after them, from the owner's
// thread or from the worker's, whose read or set waits until the owner
// serves it (and only that is served here).
TEST_F(GadgetTextTest, EveryOtherTextCommandTakesTheQueuedAppendsFirst) {
    enum Command { kRead, kClear, kAppend };
    const Text old = "payload 0;payload 1;";
    const std::tuple<Command, bool, Text> cases[] = {
        // The command, whether from the worker; the box's text afterwards.
        {kRead, true, old},
        {kRead, false, old},
        {kClear, true, ""},
        {kClear, false, ""},
        {kAppend, false, old + "mine"}};
    for (const auto& [command, fromWorker, after] : cases) {
        SCOPED_TRACE(testing::Message() << command << (fromWorker ? " from the worker" : " here"));
        GadgetSetText(11, "");
        AppendFromWorker(2);
        Text read = "none";
        auto run = [&, command = command] {
            if (command == kRead) read = GadgetGetText(11);
            if (command == kClear) GadgetSetText(11, "");
            if (command == kAppend) GadgetAppendText(11, "mine");
        };
        if (fromWorker) {
            OtherThread worker("the worker's command", run);
            ASSERT_TRUE(WaitUnserved(SentMessageWaiting)) << "the command was not carried";
            EXPECT_EQ(Shown(), "");
            EXPECT_TRUE(WaitUnserved([&] {
                MSG message;
                PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
                return worker.EndsUnaided(0);
            })) << "the carried command was not served";
        } else {
            run();
        }
        EXPECT_EQ(Shown(), after);
        EXPECT_EQ(read, command == kRead ? old : "none");
        Drain(); // the wake-up finds nothing left
        EXPECT_EQ(Shown(), after);
    }
    // A carried request that this process did not make (another process
    // could send one, with an address of its own) is ignored.
    const void* stray[] = {nullptr, &old, nullptr};
    EXPECT_EQ(SendMessageW(box_, kCarrierMessage, 2, reinterpret_cast<LPARAM>(stray)), 0);
    EXPECT_EQ(SendMessageW(box_, kCarrierMessage, 2, 0), 0);
    EXPECT_EQ(Shown(), old + "mine");
}

TEST_F(GadgetTextTest, AnAppendPastTheQueuesBoundWaitsForTheOwnerAndNothingIsLost) {
    SetAppendQueueLimit(100);
    const Text piece(30, 'p'), expected = "a" + piece + "b" + piece + "c" + piece + "d" + piece;
    OtherThread worker("the worker past the bound", [&] {
        for (char c : {'a', 'b', 'c', 'd'})
            GadgetAppendText(11, c + piece);
    });
    // Three pieces fit under the bound; the fourth waits.
    ASSERT_TRUE(WaitUnserved(SentMessageWaiting)) << "the append past the bound did not wait";
    EXPECT_EQ(QueuedTextBytes(box_), 3 * (piece.size() + 1));
    worker.Finish();
    EXPECT_EQ(GadgetGetText(11), expected);
}

TEST_F(GadgetTextTest, ClosingTheWindowFreesWhatIsStillQueued) {
    WindowClose(0); // the window and box of a first round, for whatever stays made
    const size_t before = PlatformHeapLiveBytes(ProgramHeap());
    OpenWindow();
    box_ = Handle(GadgetCreateEditor(11, 10, 40, 300, 100, EDITOR_READ_ONLY));
    AppendFromWorker(5000);
    EXPECT_GT(QueuedTextBytes(box_), 50000u);
    WindowClose(0);
    EXPECT_EQ(PlatformHeapLiveBytes(ProgramHeap()), before);
}
