// Datagram servers and connections: each sender is a client whose datagrams
// wait until read. The bounds on unread bytes and on clients, and what a
// datagram dropped for want of memory leaves, are the model of
// tests/fuzz/fuzz_datagram_clients.cpp.
#include "tests/net/net_test_support.h"

namespace {

// Two senders, from their first datagram to their server's close. The
// second is a connection of the library's, which sends from a port that
// the system picks at the first send, to a port of which only the low 16
// bits count. An empty datagram, or one longer than the buffer, raises no
// event and leaves nothing, not even its first bytes, in the client or in
// the socket, where it would hold up the next one.
TEST_F(DatagramServerTest, EachSenderIsAClientWhoseDatagramsWaitUntilRead) {
    EXPECT_EQ(LastEventClient(), nullptr);
    ASSERT_EQ(SendAndPoll("one"), NetEventData);
    ConnectionRecord* first = LastEventClient();
    for (size_t size : {size_t{0}, size_t{ServerDatagramSize + 1}, size_t{65507}})
        EXPECT_EQ(SendAndPoll(Pattern(size)), NetEventNone) << size;
    ASSERT_EQ(SendAndPoll("two"), NetEventData);
    EXPECT_EQ(LastEventClient(), first);
    ConnectionRecord* other = OpenConnection("127.0.0.1", port_ + 65536, NetModeUdp);
    EXPECT_LE(SocketLocalPort(other->sendSocket), 0); // 0, or (Windows) no name yet
    ASSERT_EQ(SendData(other, "three", 5), 5);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    ConnectionRecord* second = LastEventClient();
    EXPECT_EQ(second->datagramPort, SocketLocalPort(other->sendSocket));
    EXPECT_EQ(ReadAll(first), "onetwo"); // joined, in arrival order
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    EXPECT_EQ(LastEventClient(), second); // a poll with nothing leaves it
    // A reply leaves from the server's port.
    ASSERT_EQ(SendData(first, "pong", 4), 4);
    ASSERT_EQ(SocketWaitReadable(sender_, 3000), 1);
    uint16_t from = 0;
    char buffer[16];
    ASSERT_EQ(SocketReceiveFrom(sender_, buffer, sizeof buffer, nullptr, &from), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
    EXPECT_EQ(from, port_);
    CloseConnection(other); // the fixture's stop closes the server with the unread bytes
}

} // namespace
