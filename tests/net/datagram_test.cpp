// Datagram servers and connections: each sender is a client whose datagrams
// wait until read, within the bounds on unread bytes and on clients.
#include <cstring>

#include "net/datagram_clients.h"
#include "tests/net/net_test_support.h"
#include "tests/support/failing_heap.h"

namespace {

// Two senders, from their first datagram to their server's close. The
// second is a connection of the library's, which sends from a port that
// the system picks at the first send, to a port of which only the low 16
// bits count.
TEST_F(DatagramServerTest, EachSenderIsAClientWhoseDatagramsWaitUntilRead) {
    EXPECT_EQ(LastEventClient(), nullptr);
    ASSERT_EQ(SendAndPoll("one"), NetEventData);
    ConnectionRecord* first = LastEventClient(); // its address: the reply below
    ASSERT_EQ(SendAndPoll("two"), NetEventData);
    EXPECT_EQ(LastEventClient(), first);
    // An empty datagram, or one longer than the buffer's 2048 bytes, raises
    // no event and leaves nothing, not even its first 2048 bytes, in the
    // client or in the socket, where it would hold up the next one. (One of
    // 2048 bytes arrives whole: the bound test counts the bytes of many.)
    for (size_t size : {0, 2049, 65507})
        EXPECT_EQ(SendAndPoll(Pattern(size)), NetEventNone) << size;
    ConnectionRecord* other = OpenConnection("127.0.0.1", port_ + 65536, NetModeUdp);
    EXPECT_LE(SocketLocalPort(other->sendSocket), 0); // 0, or (Windows) no name yet
    ASSERT_EQ(SendData(other, "three", 5), 5);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    ConnectionRecord* second = LastEventClient();
    EXPECT_EQ(second->datagramPort, SocketLocalPort(other->sendSocket));
    EXPECT_EQ(ReadAll(first), "onetwo"); // joined, in arrival order
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    EXPECT_EQ(LastEventClient(), second); // a poll with nothing leaves it
    // Calls without a connection change nothing. (Reads of no bytes: the
    // datagram-client fuzz model; negative sends: the sockets layer refuses
    // them too, SocketLayer.RefusalsSayWhy.)
    char buffer[16];
    EXPECT_EQ(ReceiveData(nullptr, buffer, 8), 0);
    EXPECT_EQ(SendData(nullptr, "x", 1), -1);
    CloseConnection(nullptr);
    // A reply leaves from the server's port.
    ASSERT_EQ(SendData(first, "pong", 4), 4);
    ASSERT_EQ(SocketWaitReadable(sender_, 3000), 1);
    uint16_t from = 0;
    ASSERT_EQ(SocketReceiveFrom(sender_, buffer, sizeof buffer, nullptr, &from), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
    EXPECT_EQ(from, port_);
    CloseConnection(other); // the fixture's stop closes the server with the unread bytes
}

// The program reads 1000 bytes per event while datagrams of up to 2048
// arrive: without a bound the difference piled up until the heap gave out.
// Such a sender's datagram that would take its unread bytes past the bound
// is dropped, with no event; read out, the sender is served again. (The
// bound filled exactly and the bytes kept in order: the datagram-client
// fuzz model, whose seeds catch a bound one byte short or missing.)
TEST_F(DatagramServerTest, SenderThatOutrunsItsReaderIsHeldToTheBound) {
    char buffer[1000];
    int32_t kept = 0;
    while (kept < 100 && SendAndPoll(Pattern(2048, kept)) == NetEventData) {
        ASSERT_EQ(ReceiveData(LastEventClient(), buffer, sizeof buffer), 1000);
        ++kept;
    }
    // Each kept datagram leaves 1048 bytes more unread.
    EXPECT_EQ(kept, (MaxUnreadBytes - 2048) / 1048 + 1);
    EXPECT_LT(LiveBytes(), openServerBytes_ + MaxUnreadBytes + 16 * 1024);
    EXPECT_EQ(ReadAll(LastEventClient()).size(), 1048u * kept);
    EXPECT_EQ(SendAndPoll("x"), NetEventData);
}

// At the bound of clients, none of them holding bytes, a newcomer whose
// record or bytes cannot be had is dropped and pushes nobody out. (Once the
// datagram whose record could not be made took an idle client with it.)
// Ports three apart share home slots in the index, so that its searches
// probe on and its removals move entries back.
TEST_F(DatagramServerTest, NewcomerThatCannotBeKeptPushesNobodyOut) {
    auto keep = [](int sender, const char* bytes) {
        return KeepDatagram(Server(0), Loopback(), static_cast<uint16_t>(30000 + 3 * sender), bytes,
                            static_cast<int32_t>(std::strlen(bytes)));
    };
    auto known = [](int sender) {
        return FindDatagramClient(Server(0), Loopback(), static_cast<uint16_t>(30000 + 3 * sender));
    };
    for (int i = 0; i < MaxDatagramClients; ++i) // as the poll leaves the last event's client
        ReadAll(Network()->lastEventClient = keep(i, "x"));
    size_t before = 0;
    ConnectionRecord* newcomer = nullptr;
    FailEachAllocation(
        ProgramHeap(), [&] { before = LiveBytes(); },
        [&] { return (newcomer = keep(MaxDatagramClients, "new")) != nullptr; },
        [&](int) {
            EXPECT_NE(known(0), nullptr); // the one that would make way
            EXPECT_EQ(known(MaxDatagramClients), nullptr);
            EXPECT_EQ(LiveBytes(), before);
        });
    EXPECT_EQ(known(0), nullptr); // now the least recently active one made way
    EXPECT_EQ(ReadAll(newcomer), "new");
}

} // namespace
