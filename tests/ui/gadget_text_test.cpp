// Gadget texts from another thread, as the network worker sets, reads and
// appends to the panel's controls: sets and reads wait for the owner;
// appends are queued for it and inserted in batches, in order, and every
// other text command takes what is queued first.
#include <richedit.h>

#include <string>

#include "tests/support/other_thread_win.h"
#include "tests/support/ui_fixture.h"
#include "ui/gadgets/gadget_append_queue.h"

namespace {

const UINT kCarrierMessage = RegisterWindowMessageW(L"KX_GadgetTextRequest");

// Counts what reaches a control in front of GadgetProc: wake-ups and other
// carried requests, and insertions.
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
    void Spy() {
        gSpy = MessageSpy{};
        gSpy.next = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(box_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SpyOnMessages)));
    }
    // Appends payload 0 to count - 1 to the box from another thread, which
    // must not wait for this one.
    static Text AppendFromWorker(int count) {
        Text expected;
        for (int i = 0; i < count; ++i)
            expected += "payload " + std::to_string(i) + ";";
        OtherThread worker("the appending worker", [count] {
            for (int i = 0; i < count; ++i)
                GadgetAppendText(11, "payload " + std::to_string(i) + ";");
        });
        EXPECT_TRUE(worker.EndsUnaided()) << "the appends waited for the box's thread";
        return expected;
    }

    HWND box_ = nullptr;
};

} // namespace

TEST_F(GadgetTextTest, SetsAndReadsFromAnotherThreadWaitUntilTheOwnerHandlesMessages) {
    HWND field = Handle(GadgetCreateString(1, 10, 10, 200, 20, "start"));
    Text read;
    OtherThread worker("the worker's set and read", [&] {
        GadgetSetText(1, "from the worker \xCF\xF0\xE8");
        read = GadgetGetText(1);
        GadgetAppendText(1, " and more"); // a kind without an append of its own
    });
    // Once the carried set waits for this thread, which handles no messages
    // meanwhile, nothing has happened yet.
    ASSERT_TRUE(WaitForSentMessage()) << "the set was not carried over";
    EXPECT_EQ(Native(field), u"start");
    worker.Finish();
    EXPECT_EQ(read, "from the worker \xCF\xF0\xE8");
    EXPECT_EQ(GadgetGetText(1), "from the worker \xCF\xF0\xE8 and more");
    EXPECT_EQ(Native(field), u"from the worker \u041F\u0440\u0438 and more");
    // A carried request that this process did not make (another process
    // could send one, with an address of its own) is ignored.
    Text stray = "stray";
    const void* request[] = {nullptr, &stray, nullptr};
    EXPECT_EQ(SendMessageW(field, kCarrierMessage, 2, reinterpret_cast<LPARAM>(request)), 0);
    EXPECT_EQ(SendMessageW(field, kCarrierMessage, 2, 0), 0);
    EXPECT_EQ(GadgetGetText(1), "from the worker \xCF\xF0\xE8 and more");
}

TEST_F(GadgetTextTest, AppendsFromAnotherThreadAreInsertedInOrderInOneBatchAfterOneWakeUp) {
    Spy();
    const Text expected = AppendFromWorker(200);
    EXPECT_EQ(Native(box_), u"") << "inserted before this thread handled its messages";
    EXPECT_EQ(QueuedTextBytes(box_), expected.size());
    Drain();
    EXPECT_EQ(Utf16ToCp1251(Native(box_)), expected);
    EXPECT_EQ(gSpy.carried, 1);
    EXPECT_EQ(gSpy.insertions, 1);
    EXPECT_EQ(QueuedTextBytes(box_), 0u);
    // The next batch wakes the owner again.
    AppendFromWorker(3);
    Drain();
    EXPECT_EQ(gSpy.carried, 2);
}

// Whatever is done to the box's text after appends that still wait on the
// queue (the worker's wake-up not yet handled) comes after them: from the
// worker's thread or from the owner's.
TEST_F(GadgetTextTest, EveryOtherTextCommandTakesTheQueuedAppendsFirst) {
    struct Case {
        const char* name;
        bool fromWorker;
        Text (*command)(); // what it read, if anything
        const char* box;   // the box's text afterwards
        bool reads;
    };
    const Text old = "payload 0;payload 1;";
    const Case cases[] = {
        {"a read from the worker", true, [] { return GadgetGetText(11); }, "payload 0;payload 1;",
         true},
        {"a read here", false, [] { return GadgetGetText(11); }, "payload 0;payload 1;", true},
        {"a new run's clear from the worker", true,
         [] {
             GadgetSetText(11, "");
             return Text();
         },
         "", false},
        {"a set here", false,
         [] {
             GadgetSetText(11, "set");
             return Text();
         },
         "set", false},
        {"an append here", false,
         [] {
             GadgetAppendText(11, "mine");
             return Text();
         },
         "payload 0;payload 1;mine", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GadgetSetText(11, "");
        ASSERT_EQ(AppendFromWorker(2), old);
        Text read;
        if (c.fromWorker) {
            OtherThread worker(c.name, [&] { read = c.command(); });
            // Only the carried call is served: the queue's wake-up stays posted.
            EXPECT_TRUE(WaitServingSentMessages([&] { return worker.EndsUnaided(0); }))
                << c.name << " was not served";
        } else {
            read = c.command();
        }
        EXPECT_EQ(Utf16ToCp1251(Native(box_)), c.box);
        if (c.reads) EXPECT_EQ(read, old);
        Drain(); // the wake-up finds nothing left
        EXPECT_EQ(Utf16ToCp1251(Native(box_)), c.box);
    }
}

TEST_F(GadgetTextTest, AnAppendPastTheQueuesBoundWaitsForTheOwnerAndNothingIsLost) {
    const Text piece(30, 'p');
    SetAppendQueueLimit(4 * piece.size());
    OtherThread worker("the worker past the bound", [&] {
        for (char c = 'a'; c < 'a' + 6; ++c)
            GadgetAppendText(11, c + piece);
    });
    // Three pieces with their letters fit under the bound; the fourth waits.
    ASSERT_TRUE(WaitForSentMessage()) << "the append past the bound did not wait";
    EXPECT_EQ(QueuedTextBytes(box_), 3 * (piece.size() + 1));
    EXPECT_FALSE(worker.EndsUnaided(0));
    worker.Finish();
    Drain();
    Text expected;
    for (char c = 'a'; c < 'a' + 6; ++c)
        expected += c + piece;
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
    EXPECT_EQ(QueuedTextBytes(box_), 0u);
    EXPECT_EQ(PlatformHeapLiveBytes(ProgramHeap()), before);
}
