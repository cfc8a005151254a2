// The network worker in the program's own setting: the panel on window 0,
// Start and Stop as the buttons have them, datagrams from a socket of the
// test over the loopback interface. The test's thread serves the panel's
// texts while it waits, as the event loop does. Everything stays on
// 127.0.0.1: the worker's own frames go to its own server, empty (no
// message, codes 0).
#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/frame.h"
#include "app/network_worker.h"
#include "app/panel.h"
#include "app/run_controller.h"
#include "runtime/requester.h"
#include "runtime/threads.h"
#include "tests/net/net_test_support.h"
#include "tests/support/other_thread_win.h"
#include "tests/support/wait_until.h"
#include "ui/gadgets/gadget_append_queue.h"
#include "ui/gadgets/gadgets.h"
#include "ui/windows/post_event.h"
#include "ui/windows/window.h"

namespace {

class NetworkWorkerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(ProgramHeapCreate());
        MemoryInit();
        PostEventInit();
        WindowsInit();
        GadgetsInit();
        RequesterInit();
        ASSERT_NE(StartNetwork(), 0);
        WindowOpen(MainWindow, 0, 0, 300, 250, "network worker test", WS_CAPTION, nullptr);
        CreatePanel();
        port = UnusedUdpPort();
        GadgetSetText(FieldIp, "127.0.0.1");
        GadgetSetText(FieldPort, IntegerToText(port));
        GadgetSetText(FieldCode1, "0");
        GadgetSetText(FieldCode2, "0");
        sender = OpenLoopbackUdp();
    }
    void TearDown() override { Stop(); }
    // Start, until the worker's server holds the port: no one else can bind it.
    static void Start() {
        OnStartPressed();
        ASSERT_TRUE(WaitUntil([] {
            SocketHandle other = OpenLoopbackUdp(port);
            SocketClose(other);
            return other == NoSocket;
        }));
    }
    static void Stop() {
        OnStopPressed();
        ASSERT_TRUE(WaitUntil([] { return ThreadRunning(WorkerThread) == 0; }));
    }
    static void Send(const std::string& payload) {
        std::string datagram = std::string("\x10\x00\x00\x01\x10", 5) + payload;
        ASSERT_EQ(SendBytes(sender, datagram, port), static_cast<int32_t>(datagram.size()));
    }
    static bool BoxReads(const char* expected) { return GadgetGetText(BoxReceived) == expected; }

    static inline uint16_t port;
    static inline SocketHandle sender;
};

TEST_F(NetworkWorkerTest, PayloadsAreDroppedWhileTooLittleAddressSpaceIsLeftAndShownAgainAfter) {
    Start();
    Send("AB");
    ASSERT_TRUE(WaitUntil([] { return BoxReads("AB"); }));
    SetShowHeadroom(SIZE_MAX / 2 + 1); // more than any process has
    Send("CD");
    // The worker has polled since "CD" arrived once it has cleared a second
    // send request: the second was seen after the first.
    for (int i = 0; i < 2; ++i) {
        OnSendPressed();
        ASSERT_TRUE(WaitUntil([] { return SendRequested == 0; }));
    }
    EXPECT_TRUE(BoxReads("AB"));
    // The dropped datagram was read whole: nothing of it comes with the next
    // one of the same sender.
    SetShowHeadroom(0);
    Send("EF");
    EXPECT_TRUE(WaitUntil([] { return BoxReads("ABEF"); })) << GadgetGetText(BoxReceived);
}

// Stop ends a worker whose last payloads still wait to be shown (this thread
// has handled no message since they came): the ended run's box holds them all,
// and the next run's starts empty.
TEST_F(NetworkWorkerTest, PayloadsStillQueuedAtStopStayWithTheirRunAndTheNextStartsEmpty) {
    Start();
    HWND box = FindGadget(BoxReceived)->handle;
    Send("AB");
    Send("CD");
    ASSERT_TRUE(WaitUnserved([&] { return QueuedTextBytes(box) == 4; }))
        << "the worker did not queue both payloads";
    OnStopPressed();
    ASSERT_TRUE(WaitUnserved([] { return ThreadRunning(WorkerThread) == 0; }))
        << "the worker did not end";
    EXPECT_EQ(GadgetGetText(BoxReceived), "ABCD");
    Start();
    EXPECT_TRUE(WaitUntil([] { return BoxReads(""); })) << "the new run kept the old payloads";
    Send("EF");
    EXPECT_TRUE(WaitUntil([] { return BoxReads("EF"); })) << GadgetGetText(BoxReceived);
}

// Only the program's start clears the nonce: the first frame of a new run
// never repeats the last one of the run before.
TEST_F(NetworkWorkerTest, StartAndStopLeaveTheLastNonceAlone) {
    LastNonce = 77;
    Start();
    EXPECT_EQ(LastNonce, 77);
    Stop();
    Start();
    EXPECT_EQ(LastNonce, 77);
}

} // namespace
