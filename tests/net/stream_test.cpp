// Stream servers and connections: accepted clients, their data and their
// end, and connections with and without a time-out.
#include <atomic>
#include <vector>

#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

namespace {

// Clients from their accept to their end. A connection the server cannot
// record (no heap for it) is closed at once, with no event, and the next
// one is accepted. A client never blocks, and raises Data on every poll
// while it holds bytes; a poll makes its accepts before it peeks, and peeks
// the newest client first. A peer's end is one Disconnect; closing a
// server's client, or the server, ends the connection too. The far end
// sees every end.
TEST_F(StreamServerTest, ClientsFromAcceptToEndNewestFirstAndTheFarEndSeesEveryEnd) {
    ConnectionRecord* unrecorded = OpenConnection("127.0.0.1", port_, NetModeTcp);
    ASSERT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
    {
        FailingHeap failing(ProgramHeap(), 0);
        EXPECT_EQ(PollServerEvents(), NetEventNone);
    }
    ConnectionRecord* older = ConnectAndAccept();
    ConnectionRecord* olderClient = LastEventClient();
    // Should the read block, bytes sent after a while end it: the test
    // fails instead of hanging.
    std::atomic<bool> returned{false};
    std::thread rescuer([&] {
        for (int i = 0; i < 300 && !returned; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) SendData(older, "late", 4);
    });
    char buffer[32];
    int32_t result = ReceiveData(olderClient, buffer, sizeof buffer);
    SocketError why = SocketLastError();
    returned = true;
    rescuer.join();
    ASSERT_EQ(result, -1); // the peeks below would block too
    EXPECT_EQ(why, SocketErrorWouldBlock);
    EXPECT_EQ(PeekConnection(olderClient->streamSocket, 8, buffer), 0); // nothing yet
    ConnectionRecord* newer = ConnectAndAccept();
    ConnectionRecord* newerClient = LastEventClient();
    ASSERT_EQ(SendData(older, "twenty bytes of data", 20), 20);
    ASSERT_EQ(SendData(newer, "n", 1), 1);
    ASSERT_EQ(SocketWaitReadable(olderClient->streamSocket, 3000), 1);
    ASSERT_EQ(SocketWaitReadable(newerClient->streamSocket, 3000), 1);
    ConnectionRecord* pending = OpenConnection("127.0.0.1", port_, NetModeTcp);
    ASSERT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
    EXPECT_EQ(PollServerEvents(), NetEventConnect);
    ASSERT_EQ(PollServerEvents(), NetEventData);
    EXPECT_EQ(LastEventClient(), newerClient);
    ASSERT_EQ(ReceiveData(newerClient, buffer, 1), 1);
    for (int poll = 0; poll < 2; ++poll) { // the peek takes nothing
        ASSERT_EQ(PollServerEvents(), NetEventData);
        EXPECT_EQ(LastEventClient(), olderClient);
    }
    EXPECT_EQ(PeekConnection(olderClient->streamSocket, 0, buffer), 0);
    EXPECT_EQ(PeekConnection(olderClient->streamSocket, -1, buffer), 20); // all that waits
    ASSERT_EQ(ReceiveData(olderClient, buffer, sizeof buffer), 20);
    EXPECT_EQ(std::string(buffer, 20), "twenty bytes of data");
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    CloseConnection(newer);
    ASSERT_EQ(WaitForEvent(), NetEventDisconnect);
    EXPECT_EQ(LastEventClient(), newerClient); // compares only: the record is gone
    EXPECT_EQ(WaitForEvent(200), NetEventNone);
    CloseConnection(olderClient);
    CloseServer(0);
    for (ConnectionRecord* connection : {unrecorded, older, pending}) {
        ASSERT_EQ(SocketWaitReadable(connection->streamSocket, 3000), 1);
        EXPECT_LE(ReceiveData(connection, buffer, 1), 0);
        CloseConnection(connection);
    }
}

// IPv4 and IPv6, with and without a time-out, and with a local end of the
// caller's choice. Once made, a connection blocks again: a reply that comes
// later is awaited.
TEST_F(NetworkTest, ConnectionIsMadeAndThenBlocks) {
    SocketHandle probe = SocketCreate(true, SocketStream);
    SocketClose(probe);
    const struct {
        const char* host;
        int32_t mode, timeout;
        uint16_t localPort;
    } cases[] = {{"127.0.0.1", NetModeTcp, 0, 0},
                 {"127.0.0.1", NetModeTcp, 2000, UnusedUdpPort()},
                 {"::1", NetModeTcp | NetFlagIPv6, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.host);
        if (c.mode & NetFlagIPv6 && probe == NoSocket) continue; // no IPv6 on this machine
        ASSERT_NE(OpenServer(0, 0, c.mode, c.host), 0);
        ConnectionRecord* connection = OpenConnectionEx(
            c.host, ServerLocalPort(0), c.mode, c.timeout, c.localPort ? c.host : "", c.localPort);
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(c.localPort ? SocketLocalPort(connection->streamSocket) : 0, c.localPort);
        ASSERT_EQ(WaitForEvent(), NetEventConnect);
        ConnectionRecord* accepted = LastEventClient();
        std::thread reply([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            SendData(accepted, "world", 5);
        });
        char buffer[8];
        EXPECT_EQ(ReceiveData(connection, buffer, sizeof buffer), 5);
        reply.join();
        CloseConnection(connection);
        CloseServer(0);
    }
}

// A listener whose queue of finished connections is full ignores further
// connection requests: the connect that finds it full waits out its
// time-out, then gives null on its own.
TEST_F(NetworkTest, ConnectTimeOutGivesNullAfterItsTime) {
    SocketHandle listener = SocketCreate(false, SocketStream);
    SocketAddress address;
    SocketAddressIPv4(&address, Loopback(), 0);
    ASSERT_TRUE(SocketBind(listener, &address) && SocketListen(listener, 0));
    std::vector<ConnectionRecord*> fillers;
    ConnectionRecord* connection = nullptr;
    auto start = Clock::now();
    while (fillers.size() < 16 &&
           (connection = OpenConnectionEx("127.0.0.1", SocketLocalPort(listener), NetModeTcp, 500,
                                          nullptr, 0))) {
        fillers.push_back(connection);
        start = Clock::now();
    }
    EXPECT_EQ(connection, nullptr) << "could not fill the listener's queue";
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(450)); // it did wait
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));       // and gave up on its own
    for (ConnectionRecord* filler : fillers)
        CloseConnection(filler);
    SocketClose(listener);
}

} // namespace
