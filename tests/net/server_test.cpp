// Opening and closing numbered servers, and the order of their events.
#include "net/server.h"
#include "tests/net/net_test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using ServerRegistry = NetworkTest;

TEST_F(ServerRegistry, PortsOutsideTheRangeOpenNothing) {
    EXPECT_EQ(OpenServer(0, 65536, NetModeUdp), 0);
    EXPECT_EQ(OpenServer(0, -1, NetModeUdp), 0);
    EXPECT_EQ(OpenServer(1, 65536, NetModeTcp), 0);
    EXPECT_EQ(Server(0), nullptr);
    EXPECT_EQ(Server(1), nullptr);
}

TEST_F(ServerRegistry, NumberedServerReturnsItsSocketAndDynamicOneItsRecord) {
    intptr_t socket = OpenServer(3, 0, NetModeUdp, "127.0.0.1");
    ASSERT_NE(socket, 0);
    EXPECT_EQ(Server(3)->socket, socket);
    EXPECT_EQ(Server(3)->socketType, NetModeUdp);
    EXPECT_EQ(Server(3)->ipv6, 0);

    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeTcp, "127.0.0.1");
    ASSERT_NE(dynamic, 0);
    auto* record = static_cast<ServerRecord*>(FindObject(Network()->servers, dynamic));
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(record), dynamic);
    EXPECT_EQ(record->socketType, NetModeTcp);
    EXPECT_GT(ServerLocalPort(dynamic), 0);
}

TEST_F(ServerRegistry, ModeZeroIsAStreamServerAndUnknownModesFail) {
    ASSERT_NE(OpenServer(0, 0, 0, "127.0.0.1"), 0);
    EXPECT_EQ(Server(0)->socketType, NetModeTcp);
    EXPECT_EQ(OpenServer(1, 0, 3, "127.0.0.1"), 0); // would be a raw socket
    EXPECT_EQ(Server(1), nullptr);
}

TEST_F(ServerRegistry, PortTakenByAnotherSocketOpensNothing) {
    SocketHandle holder = OpenLoopbackUdp();
    auto port = SocketLocalPort(holder);
    EXPECT_EQ(OpenServer(0, port, NetModeUdp), 0);
    EXPECT_EQ(OpenServer(0, port, NetModeUdp, "127.0.0.1"), 0);
    EXPECT_EQ(Server(0), nullptr);
    SocketClose(holder);
    EXPECT_NE(OpenServer(0, port, NetModeUdp, "127.0.0.1"), 0);
}

TEST_F(ServerRegistry, ReusingANumberClosesTheOldServerEvenWhenTheNewOneFails) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto port = ServerLocalPort(0);
    EXPECT_EQ(OpenServer(0, 70000, NetModeUdp), 0);
    EXPECT_EQ(Server(0), nullptr);
    // The old socket is gone: its port can be bound again.
    SocketHandle again = OpenLoopbackUdp(static_cast<uint16_t>(port));
    EXPECT_NE(again, NoSocket);
    SocketClose(again);
}

TEST_F(ServerRegistry, FailedDynamicServerGivesBackItsRecord) {
    size_t before = LiveBytes();
    EXPECT_EQ(OpenServer(DynamicNumber, 65536, NetModeUdp), 0);
    EXPECT_EQ(OpenServer(DynamicNumber, 0, NetModeUdp, "not an address"), 0);
    EXPECT_EQ(LiveBytes(), before);
}

TEST_F(ServerRegistry, UnparsableBindAddressOpensNothing) {
    EXPECT_EQ(OpenServer(0, 0, NetModeUdp, "not an address"), 0);
    EXPECT_EQ(OpenServer(0, 0, NetModeTcp, "300.1.1.1"), 0);
    EXPECT_EQ(Server(0), nullptr);
}

TEST_F(ServerRegistry, CloseServerMinusOneClosesEveryServer) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    ASSERT_NE(OpenServer(7, 0, NetModeTcp, "127.0.0.1"), 0);
    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeUdp, "127.0.0.1");
    ASSERT_NE(dynamic, 0);
    CloseServer(-1);
    EXPECT_EQ(Server(0), nullptr);
    EXPECT_EQ(Server(7), nullptr);
    EXPECT_EQ(FindObject(Network()->servers, dynamic), nullptr);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
}

TEST_F(ServerRegistry, ClosingANumberWithoutAServerChangesNothing) {
    ASSERT_NE(OpenServer(2, 0, NetModeUdp, "127.0.0.1"), 0);
    CloseServer(5);
    CloseServer(1);
    CloseServer(123456);
    EXPECT_NE(Server(2), nullptr);
}

TEST_F(ServerRegistry, EventsComeInAscendingNumbersThenDynamicServersOnePerPoll) {
    ASSERT_NE(OpenServer(5, 0, NetModeUdp, "127.0.0.1"), 0);
    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeUdp, "127.0.0.1");
    ASSERT_NE(dynamic, 0);
    ASSERT_NE(OpenServer(2, 0, NetModeUdp, "127.0.0.1"), 0);
    SocketHandle sender = OpenLoopbackUdp();
    // Sent in the opposite order; each server holds one datagram.
    for (ObjectNumber number : {dynamic, intptr_t{5}, intptr_t{2}}) {
        ASSERT_EQ(SendBytes(sender, "x", static_cast<uint16_t>(ServerLocalPort(number))), 1);
        ASSERT_EQ(
            SocketWaitReadable(
                static_cast<ServerRecord*>(FindObject(Network()->servers, number))->socket, 3000),
            1);
    }
    for (ObjectNumber number : {intptr_t{2}, intptr_t{5}, dynamic}) {
        ASSERT_EQ(PollServerEvents(), NetEventData);
        EXPECT_EQ(LastEventClient()->owner, FindObject(Network()->servers, number)) << number;
    }
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    SocketClose(sender);
}

TEST_F(ServerRegistry, AServerLeftOpenIsClosedByStopNetwork) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto port = static_cast<uint16_t>(ServerLocalPort(0));
    StopNetwork();
    EXPECT_EQ(Network()->servers, nullptr);
    EXPECT_EQ(LiveBytes(), 0u);
    ASSERT_EQ(StartNetwork(), 1);
    SocketHandle again = OpenLoopbackUdp(port);
    EXPECT_NE(again, NoSocket);
    SocketClose(again);
}

#ifndef _WIN32
// Descriptor 0 is a valid socket on POSIX; the server must still count as
// open (its socket is its in-use marker).
TEST_F(ServerRegistry, ServerOnDescriptorZeroStillCountsAsOpen) {
    int saved = dup(0);
    close(0);
    intptr_t socket = OpenServer(0, 0, NetModeUdp, "127.0.0.1");
    ASSERT_EQ(socket, 1) << "expected descriptor 0, whose handle is 1";
    ASSERT_NE(Server(0), nullptr);
    SocketHandle sender = OpenLoopbackUdp();
    ASSERT_EQ(SendBytes(sender, "zero", static_cast<uint16_t>(ServerLocalPort(0))), 4);
    EXPECT_EQ(WaitForEvent(), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), "zero");
    SocketClose(sender);
    CloseServer(0);
    dup2(saved, 0);
    close(saved);
}
#endif

} // namespace
