// The network library's start and end, numbered servers, and the opens of
// servers and connections that are refused.
#include <functional>

#include "tests/net/net_test_support.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

using ServerRegistry = NetworkTest;

// Stop closes every server and may come twice. Without sockets a start
// reports 0 but makes the state all the same, so that later calls fail one
// by one.
TEST_F(ServerRegistry, StopClosesEveryServerAndAStartWithoutSocketsReportsZero) {
    EXPECT_EQ(Network()->newerResolver, 1);
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto port = static_cast<uint16_t>(ServerLocalPort(0));
    StopNetwork();
    StopNetwork();
    EXPECT_EQ(Network()->servers, nullptr);
    EXPECT_EQ(LiveBytes(), 0u);
    SocketsFailNextStart();
    EXPECT_EQ(StartNetwork(), 0);
    EXPECT_NE(Network()->servers, nullptr);
    EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
    EXPECT_EQ(OpenConnection("127.0.0.1", 2048, NetModeUdp), nullptr);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    StopNetwork();
    ASSERT_EQ(StartNetwork(), 1);
    SocketHandle again = OpenLoopbackUdp(port); // the first server's port is free
    EXPECT_NE(again, NoSocket);
    SocketClose(again);
}

#ifdef _WIN32
// A library that is there but lacks the functions leaves the resolver out.
TEST(SocketResolver, LibraryWithoutTheFunctionsLeavesTheResolverOut) {
    EXPECT_FALSE(SocketResolverLoad("kernel32.dll"));
    EXPECT_FALSE(SocketResolverAvailable());
    EXPECT_FALSE(SocketResolverLoad("no-such-library.dll"));
    EXPECT_TRUE(SocketResolverLoad("ws2_32.dll"));
    EXPECT_TRUE(SocketResolverAvailable());
    SocketResolverUnload();
    EXPECT_FALSE(SocketResolverAvailable());
}
#endif

// A numbered server gives its socket, a dynamic one its record's address.
// Events come one per poll, numbered servers in ascending order first.
TEST_F(ServerRegistry, EventsComeInAscendingNumbersThenDynamicServersOnePerPoll) {
    intptr_t socket = OpenServer(5, 0, NetModeUdp, "127.0.0.1");
    ASSERT_NE(socket, 0);
    EXPECT_EQ(Server(5)->socket, socket);
    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeUdp, "127.0.0.1");
    ASSERT_NE(dynamic, 0);
    EXPECT_EQ(reinterpret_cast<intptr_t>(Server(dynamic)), dynamic);
    ASSERT_NE(OpenServer(2, 0, NetModeUdp, "127.0.0.1"), 0);
    SocketHandle sender = OpenLoopbackUdp();
    for (ObjectNumber number : {dynamic, intptr_t{5}, intptr_t{2}}) { // the opposite order
        ASSERT_EQ(SendBytes(sender, "x", static_cast<uint16_t>(ServerLocalPort(number))), 1);
        ASSERT_EQ(SocketWaitReadable(Server(number)->socket, 3000), 1);
    }
    for (ObjectNumber number : {intptr_t{2}, intptr_t{5}, dynamic}) {
        ASSERT_EQ(PollServerEvents(), NetEventData);
        EXPECT_EQ(LastEventClient()->owner, Server(number)) << number;
    }
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    SocketClose(sender);
}

// A number given again closes its server even when the new one fails;
// closing -1 closes every server, other numbers only their own.
TEST_F(ServerRegistry, ClosingAServerFreesItsPort) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto port = static_cast<uint16_t>(ServerLocalPort(0));
    EXPECT_EQ(OpenServer(0, 70000, NetModeUdp), 0);
    EXPECT_EQ(Server(0), nullptr);
    SocketHandle again = OpenLoopbackUdp(port);
    EXPECT_NE(again, NoSocket);
    SocketClose(again);
    ASSERT_NE(OpenServer(7, 0, NetModeTcp, "127.0.0.1"), 0);
    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeUdp, "127.0.0.1");
    for (ObjectNumber number : {0, 1, 123456})
        CloseServer(number);
    EXPECT_NE(Server(7), nullptr);
    CloseServer(-1);
    EXPECT_EQ(Server(7), nullptr);
    EXPECT_EQ(Server(dynamic), nullptr);
}

// Every refused open returns its failure value at once (a refused connect
// does not wait out its time-out) and leaves nothing behind: no server, no
// socket, no heap bytes.
TEST_F(ServerRegistry, RefusedOpensLeaveNothingBehind) {
    SocketHandle holder = OpenLoopbackUdp();
    int32_t taken = SocketLocalPort(holder);
    uint16_t closed = UnusedUdpPort();
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0); // number 0's record stays from here
    CloseServer(0);
    auto server = [](int32_t port, int32_t mode, const char* bind, ObjectNumber number = 0) {
        return [=] { return OpenServer(number, port, mode, bind); };
    };
    auto connection = [](const char* host, int32_t port, int32_t mode, int32_t timeout = 0,
                         const char* local = nullptr) {
        return [=] {
            return reinterpret_cast<intptr_t>(
                OpenConnectionEx(host, port, mode, timeout, local, 0));
        };
    };
    const struct {
        const char* what;
        std::function<intptr_t()> open;
    } cases[] = {
        {"server port past 65535", server(65536, NetModeUdp, nullptr)},
        {"negative server port", server(-1, NetModeTcp, nullptr)},
        {"server mode 3 (a raw socket)", server(0, 3, "127.0.0.1")},
        {"unparsable bind address", server(0, NetModeUdp, "not an address")},
        {"bind address out of range", server(0, NetModeTcp, "300.1.1.1")},
        {"taken port", server(taken, NetModeUdp, nullptr)},
        {"dynamic server", server(0, NetModeUdp, "bad", DynamicNumber)},
        {"IPv6 server on a name that does not resolve",
         server(0, NetModeTcp | NetFlagIPv6, "no such host!")},
        // A character no host name may hold fails inside the lookup, without
        // asking any name server.
        {"host that does not resolve", connection("no such host!", 2048, NetModeTcp)},
        {"broadcast host", connection("255.255.255.255", 2048, NetModeUdp)},
        {"empty host", connection("", 2048, NetModeUdp)},
        {"no host", connection(nullptr, 2048, NetModeUdp)},
        {"connection mode 3", connection("127.0.0.1", 2048, 3)},
        {"IPv6 datagram connection", connection("::1", 2048, NetModeUdp | NetFlagIPv6)},
        {"stream to a closed port", connection("127.0.0.1", closed, NetModeTcp)},
        {"stream to a closed port, time-out", connection("127.0.0.1", closed, NetModeTcp, 5000)},
        {"unparsable local address", connection("127.0.0.1", closed, NetModeTcp, 0, "bad")},
    };
    SocketLookupIPv4("no such host!"); // whatever the resolver keeps open, it keeps from here
    size_t bytes = LiveBytes();
    int descriptors = OpenDescriptors();
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.what);
        auto start = Clock::now();
        EXPECT_EQ(refused.open(), 0);
        EXPECT_LT(MillisecondsSince(start), 4000);
        EXPECT_EQ(Server(0), nullptr);
        EXPECT_EQ(LiveBytes(), bytes);
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
    Network()->newerResolver = 0; // without it every IPv6 open fails
    EXPECT_EQ(OpenServer(0, 0, NetModeTcp | NetFlagIPv6, "::1"), 0);
    EXPECT_EQ(OpenConnection("::1", 2048, NetModeTcp | NetFlagIPv6), nullptr);
    SocketClose(holder);
}

#ifndef _WIN32
// Descriptor 0 is a valid socket on POSIX; the server must still count as
// open (its socket is its in-use marker).
TEST_F(ServerRegistry, ServerOnDescriptorZeroStillCountsAsOpen) {
    int saved = dup(0);
    close(0);
    EXPECT_EQ(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 1) << "descriptor 0, whose handle is 1";
    SocketHandle sender = OpenLoopbackUdp();
    EXPECT_EQ(SendBytes(sender, "zero", static_cast<uint16_t>(ServerLocalPort(0))), 4);
    EXPECT_EQ(WaitForEvent(), NetEventData);
    SocketClose(sender);
    CloseServer(0);
    dup2(saved, 0);
    close(saved);
}
#endif

} // namespace
