// Stream servers and connections, which the program itself never opens (it
// speaks only UDP): one case of each operation, on loopback.
#include <vector>

#include "tests/net/net_test_support.h"

namespace {

// A client's accept, its data and its end reach the poll as one event each.
TEST_F(StreamServerTest, AcceptDataAndEndAreOneEventEach) {
    ConnectionRecord* connection = OpenConnection("127.0.0.1", port_, NetModeTcp);
    ASSERT_NE(connection, nullptr);
    ASSERT_EQ(WaitForEvent(), NetEventConnect);
    ConnectionRecord* client = LastEventClient();
    ASSERT_EQ(SendData(connection, "twenty bytes of data", 20), 20);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    char buffer[32];
    ASSERT_EQ(ReceiveData(client, buffer, sizeof buffer), 20);
    EXPECT_EQ(std::string(buffer, 20), "twenty bytes of data");
    CloseConnection(connection);
    EXPECT_EQ(WaitForEvent(), NetEventDisconnect);
}

// With a time-out the connect is made without blocking (to loopback too it
// is under way at first) from the local end asked for; the connection then
// blocks again, so a reply sent a moment after the read began is awaited
// (the reply, or failing that the end of the connection, ends the read).
// Never answered by a listener whose queue is full, it gives null on its
// own. (Refused, it gives null at once: the refusals of server_test.)
TEST_F(StreamServerTest, ConnectWithATimeOutIsMadeThenBlocksOrGivesNullOnItsOwn) {
    uint16_t local = UnusedUdpPort();
    ConnectionRecord* connection =
        OpenConnectionEx("127.0.0.1", port_, NetModeTcp, 2000, "127.0.0.1", local);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(SocketLocalPort(connection->streamSocket), local);
    ASSERT_EQ(WaitForEvent(), NetEventConnect);
    ConnectionRecord* client = LastEventClient();
    std::thread reply([client] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (SendData(client, "world", 5) != 5) SocketClose(client->streamSocket);
    });
    char buffer[8];
    EXPECT_EQ(ReceiveData(connection, buffer, sizeof buffer), 5) << "the read did not wait";
    reply.join();
    CloseConnection(connection);
    SocketHandle listener = SocketCreate(false, SocketStream);
    SocketAddress address;
    SocketAddressIPv4(&address, Loopback(), 0);
    ASSERT_TRUE(SocketBind(listener, &address) && SocketListen(listener, 0));
    std::vector<ConnectionRecord*> queued;
    while (queued.size() < 16 &&
           (connection = OpenConnectionEx("127.0.0.1", SocketLocalPort(listener), NetModeTcp, 200,
                                          nullptr, 0)))
        queued.push_back(connection);
    EXPECT_EQ(connection, nullptr) << "the listener's queue never filled";
    for (ConnectionRecord* filler : queued)
        CloseConnection(filler);
    SocketClose(listener);
}

TEST_F(NetworkTest, IPv6StreamServerTakesAConnection) {
    SocketHandle probe = SocketCreate(true, SocketStream);
    if (probe == NoSocket) GTEST_SKIP() << "no IPv6 on this machine";
    SocketClose(probe);
    ASSERT_NE(OpenServer(0, 0, NetModeTcp | NetFlagIPv6, "::1"), 0);
    ConnectionRecord* connection =
        OpenConnection("::1", ServerLocalPort(0), NetModeTcp | NetFlagIPv6);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(WaitForEvent(), NetEventConnect);
    CloseConnection(connection);
}

} // namespace
