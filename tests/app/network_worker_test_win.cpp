// The network worker in the program's own setting: the panel on window 0,
// the worker on its thread, datagrams from a socket of the test over the
// loopback interface. The test's thread serves the panel's texts while it
// waits, as the event loop does. Everything stays on 127.0.0.1: the worker's
// own frames go to its own server, empty (no message, codes 0).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <string>

#include "app/app_state.h"
#include "app/network_worker.h"
#include "app/panel.h"
#include "net/network.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "runtime/requester.h"
#include "runtime/socket.h"
#include "runtime/text.h"
#include "runtime/threads.h"
#include "tests/net/net_test_support.h"
#include "tests/support/wait_until.h"
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
        ThreadsInit();
        ASSERT_NE(StartNetwork(), 0);
        WindowOpen(MainWindow, 0, 0, 300, 250, "network worker test", 0xCA0001, nullptr);
        CreatePanel();
    }

    void SetUp() override {
        port_ = UnusedUdpPort();
        ASSERT_NE(port_, 0);
        GadgetSetText(FieldIp, "127.0.0.1");
        GadgetSetText(FieldPort, IntegerToText(port_));
        GadgetSetText(FieldMessage, "");
        GadgetSetText(FieldCode1, "0");
        GadgetSetText(FieldCode2, "0");
        sender_ = OpenLoopbackUdp();
        ASSERT_NE(sender_, NoSocket);
        StopRequested = 0;
        SendRequested = 0;
        worker_ = StartThread(NetworkWorker, 0);
        ASSERT_NE(worker_, 0);
        // The worker's server holds the port once no one else can bind it.
        ASSERT_TRUE(WaitUntil([this] {
            SocketHandle other = OpenLoopbackUdp(port_);
            SocketClose(other);
            return other == NoSocket;
        }));
    }

    void TearDown() override {
        SetShowHeadroom(0);
        StopRequested = 1;
        EXPECT_TRUE(WaitUntil([this] { return ThreadRunning(worker_) == 0; }));
        SocketClose(sender_);
    }

    void Send(const std::string& payload) {
        std::string datagram = std::string("\x10\x00\x00\x01\x10", 5) + payload;
        ASSERT_EQ(SendBytes(sender_, datagram, port_), static_cast<int32_t>(datagram.size()));
    }

    // Returns once the worker has polled after everything sent so far had
    // arrived: the second send request it clears was seen after the first.
    void WorkerCaughtUp() {
        for (int i = 0; i < 2; ++i) {
            SendRequested = 1;
            ASSERT_TRUE(WaitUntil([] { return SendRequested == 0; }));
        }
    }

    static bool BoxReads(const char* expected) { return GadgetGetText(BoxReceived) == expected; }

    uint16_t port_ = 0;
    SocketHandle sender_ = NoSocket;
    int32_t worker_ = 0;
};

TEST_F(NetworkWorkerTest, PayloadsAreDroppedWhileTooLittleAddressSpaceIsLeftAndShownAgainAfter) {
    Send("AB");
    ASSERT_TRUE(WaitUntil([] { return BoxReads("AB"); }));
    SetShowHeadroom(SIZE_MAX / 2 + 1); // more than any process has
    Send("CD");
    WorkerCaughtUp();
    EXPECT_TRUE(BoxReads("AB"));
    // The dropped datagram was read whole: nothing of it comes with the next
    // one of the same sender.
    SetShowHeadroom(0);
    Send("EF");
    EXPECT_TRUE(WaitUntil([] { return BoxReads("ABEF"); })) << GadgetGetText(BoxReceived);
}

} // namespace
