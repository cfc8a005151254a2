// The network library's start and end, numbered servers, the opens of
// servers and connections that are refused, and the sockets layer's
// reasons for a refusal.
#include <filesystem>
#include <iterator>

#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

// Open descriptors of this process on Linux, where a socket left open
// shows; 0 elsewhere.
int OpenDescriptors() {
#ifdef __linux__
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                          std::filesystem::directory_iterator()));
#else
    return 0;
#endif
}

using ServerRegistry = NetworkTest;

// Without the heap for the registry, or without sockets, a start reports 0;
// without sockets the state is made all the same, so that later calls fail
// one by one. A stop closes every server, and may come twice.
TEST_F(ServerRegistry, StartWithoutHeapOrSocketsReportsZeroAndStopClosesEveryServer) {
    StopNetwork();
    FailEachAllocation(
        ProgramHeap(), NoPreparation, [] { return StartNetwork() == 1; },
        [&](int) {
            EXPECT_EQ(OpenServer(0, 0, NetModeUdp), 0);
            EXPECT_EQ(PollServerEvents(), NetEventNone);
            CloseServer(DynamicNumber);
            StopNetwork();
            EXPECT_EQ(LiveBytes(), 0u);
        });
    EXPECT_EQ(Network()->newerResolver, 1);
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    auto port = static_cast<uint16_t>(ServerLocalPort(0));
    StopNetwork();
    StopNetwork();
    SocketsFailNextStart(); // every open then fails at its socket (SocketLayer.RefusalsSayWhy)
    EXPECT_EQ(StartNetwork(), 0);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    StopNetwork();
    ASSERT_EQ(StartNetwork(), 1);
    EXPECT_TRUE(PortIsFree(port));
}

// A dynamic server's number is its record's address; -1 closes every
// server (as the library's stop does).
TEST_F(DatagramServerTest, DynamicServersAreTheirRecordsAndMinusOneClosesEveryServer) {
    intptr_t dynamic = OpenServer(DynamicNumber, 0, NetModeUdp, "127.0.0.1");
    ASSERT_TRUE(dynamic != 0 && Server(dynamic) == reinterpret_cast<ServerRecord*>(dynamic));
    CloseServer(-1);
    EXPECT_TRUE(Server(0) == nullptr && Server(dynamic) == nullptr && PortIsFree(port_));
}

// Every refused open returns its failure value and leaves nothing behind:
// no server, no socket, no heap bytes. A host name with a character no name
// may hold fails inside the lookup, without asking any name server. Without
// heap for its record an open fails too; a connection's socket, made (for a
// stream, connected) before the record, is closed again.
TEST_F(ServerRegistry, RefusedOpensLeaveNothingBehind) {
    SocketHandle holder = OpenLoopbackUdp();
    int32_t taken = SocketLocalPort(holder), closed = UnusedUdpPort();
    const char* bad = "no such host!";
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0); // number 0's record stays
    CloseServer(0);
    int32_t listening = ServerLocalPort(OpenServer(DynamicNumber, 0, NetModeTcp, "127.0.0.1"));
    const struct {
        bool server;
        const char* address; // bind address, or host
        int32_t port, mode, timeout = 0;
        const char* local = nullptr;
        int64_t heap = -1; // allocations let through, -1: all
        ObjectNumber number = 0;
    } cases[] = {
        {true, nullptr, 65536, NetModeUdp},
        {true, nullptr, -1, NetModeTcp},
        {true, "127.0.0.1", 0, 3},
        {true, "300.1.1.1", 0, NetModeUdp},
        {true, nullptr, taken, NetModeUdp},
        {true, bad, 0, NetModeTcp | NetFlagIPv6},
        {true, bad, 0, NetModeUdp, 0, nullptr, -1, DynamicNumber},
        {true, "127.0.0.1", 0, NetModeUdp, 0, nullptr, 0, DynamicNumber},
        {false, bad, 2048, NetModeTcp},
        {false, "255.255.255.255", 2048, NetModeUdp},
        {false, "", 2048, NetModeUdp},
        {false, nullptr, 2048, NetModeUdp},
        {false, "127.0.0.1", 2048, 3},
        {false, "::1", 2048, NetModeUdp | NetFlagIPv6},
        {false, "127.0.0.1", closed, NetModeTcp},
        {false, "127.0.0.1", closed, NetModeTcp, 5000},
        {false, "127.0.0.1", closed, NetModeTcp, 0, "not an address"},
        {false, "127.0.0.1", listening, NetModeUdp, 0, nullptr, 0},
        {false, "127.0.0.1", listening, NetModeTcp, 0, nullptr, 0},
    };
    SocketLookupIPv4(bad); // whatever the resolver keeps open, it keeps from here
    size_t bytes = LiveBytes();
    int descriptors = OpenDescriptors();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << &c - cases << ": " << (c.address ? c.address : "null"));
        {
            FailingHeap failing(ProgramHeap(), c.heap);
            EXPECT_EQ(c.server ? OpenServer(c.number, c.port, c.mode, c.address)
                               : reinterpret_cast<intptr_t>(OpenConnectionEx(
                                     c.address, c.port, c.mode, c.timeout, c.local, 0)),
                      0);
        }
        EXPECT_EQ(Server(0), nullptr);
        EXPECT_EQ(LiveBytes(), bytes);
        EXPECT_EQ(OpenDescriptors(), descriptors);
    }
    // The stream connection without a record was made, then closed.
    EXPECT_EQ(WaitForEvent(), NetEventConnect);
    EXPECT_EQ(WaitForEvent(), NetEventDisconnect);
    Network()->newerResolver = 0; // without it every IPv6 open fails
    EXPECT_EQ(OpenServer(0, 0, NetModeTcp | NetFlagIPv6, "::1"), 0);
    EXPECT_EQ(OpenConnection("::1", 2048, NetModeTcp | NetFlagIPv6), nullptr);
    SocketClose(holder);
}

// The reasons the library and its tools act on, the same on every platform.
TEST(SocketLayer, RefusalsSayWhy) {
    SocketsFailNextStart();
    EXPECT_FALSE(SocketsStart());
    EXPECT_EQ(SocketCreate(false, SocketDatagram), NoSocket);
    EXPECT_EQ(SocketLastError(), SocketErrorNotStarted);
    ASSERT_TRUE(SocketsStart());
    SocketHandle receiver = OpenLoopbackUdp(), sender = SocketCreate(false, SocketDatagram);
    auto port = static_cast<uint16_t>(SocketLocalPort(receiver));
    // The largest datagram the network carries goes, also to a port that
    // nobody has, and again after that; one byte more does not.
    for (size_t size : {size_t{12}, size_t{65507}})
        EXPECT_EQ(SendBytes(sender, Pattern(size), UnusedUdpPort()), static_cast<int32_t>(size));
    EXPECT_EQ(SendBytes(sender, Pattern(65508), UnusedUdpPort()), -1);
    // (One longer than the buffer is dropped whole: the datagram tests.) A
    // negative size is refused, never taken for a huge one: the bytes that
    // wait stay, and a send says why.
    ASSERT_EQ(SendBytes(sender, "a", port) + SendBytes(sender, "b", port), 2);
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    char buffer[8];
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, -1, nullptr, nullptr), -1);
    EXPECT_EQ(SocketReceive(receiver, buffer, -1, false), -1);
    EXPECT_EQ(SocketSendTo(sender, buffer, -1, Loopback(), port), -1);
    EXPECT_EQ(SocketLastError(), SocketErrorOther);
    SocketClose(sender);
    SocketClose(receiver);
    SocketsStop();
}

#ifndef _WIN32
// Descriptor 0 is a valid socket on POSIX; the server must still count as
// open (its socket is its in-use marker).
TEST_F(DatagramServerTest, ServerOnDescriptorZeroStillCountsAsOpen) {
    CloseServer(0);
    int saved = dup(0);
    close(0);
    EXPECT_EQ(OpenServer(0, port_, NetModeUdp, "127.0.0.1"), 1)
        << "descriptor 0, whose handle is 1";
    EXPECT_EQ(SendAndPoll("zero"), NetEventData);
    CloseServer(0);
    dup2(saved, 0);
    close(saved);
}
#endif

} // namespace
