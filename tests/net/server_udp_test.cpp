// Datagram servers: senders become clients, their datagrams wait until read.
#include <cstring>

#include "net/server.h"
#include "tests/net/net_test_support.h"

namespace {

class DatagramServer : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
        port_ = static_cast<uint16_t>(ServerLocalPort(0));
        openServerBytes_ = LiveBytes();
        sender_ = OpenLoopbackUdp();
        ASSERT_NE(sender_, NoSocket);
    }
    void TearDown() override {
        SocketClose(sender_);
        NetworkTest::TearDown();
    }
    // Sends and waits for the server's event.
    int32_t SendAndPoll(const std::string& bytes) {
        EXPECT_EQ(SendBytes(sender_, bytes, port_), static_cast<int32_t>(bytes.size()));
        return WaitForEvent();
    }
    uint16_t SenderPort() const { return static_cast<uint16_t>(SocketLocalPort(sender_)); }

    uint16_t port_ = 0;
    size_t openServerBytes_ = 0; // registry and the open server, no clients
    SocketHandle sender_ = NoSocket;
};

TEST_F(DatagramServer, FirstDatagramOfNewSenderRaisesDataWithNewClient) {
    EXPECT_EQ(LastEventClient(), nullptr);
    ASSERT_EQ(SendAndPoll("hello"), NetEventData);
    ConnectionRecord* client = LastEventClient();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->kind, ConnectionDatagram);
    EXPECT_EQ(client->peerAddress, Loopback());
    EXPECT_EQ(client->datagramPort, SenderPort());
    EXPECT_EQ(client->owner, Server(0));
    EXPECT_EQ(ReadAll(client), "hello");
}

TEST_F(DatagramServer, SameSenderKeepsItsClientAndAnotherPortGetsItsOwn) {
    ASSERT_EQ(SendAndPoll("one"), NetEventData);
    ConnectionRecord* first = LastEventClient();
    ASSERT_EQ(SendAndPoll("two"), NetEventData);
    EXPECT_EQ(LastEventClient(), first);
    EXPECT_EQ(ReadAll(first), "onetwo"); // joined, in arrival order

    SocketHandle other = OpenLoopbackUdp();
    ASSERT_EQ(SendBytes(other, "three", port_), 5);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    ConnectionRecord* second = LastEventClient();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->peerAddress, first->peerAddress);
    EXPECT_EQ(second->datagramPort, SocketLocalPort(other));
    EXPECT_EQ(ReadAll(second), "three");
    EXPECT_EQ(Server(0)->datagramClients.count, 2);
    // The newest client is in front.
    EXPECT_EQ(ListFirst(&Server(0)->clients), second);
    SocketClose(other);
}

TEST_F(DatagramServer, DatagramLongerThanTheReadBufferComesInPieces) {
    std::string datagram = Pattern(1500);
    ASSERT_EQ(SendAndPoll(datagram), NetEventData);
    ConnectionRecord* client = LastEventClient();
    char buffer[1000];
    ASSERT_EQ(ReceiveData(client, buffer, 1000), 1000);
    EXPECT_EQ(std::string(buffer, 1000), datagram.substr(0, 1000));
    ASSERT_EQ(ReceiveData(client, buffer, 1000), 500);
    EXPECT_EQ(std::string(buffer, 500), datagram.substr(1000));
    EXPECT_EQ(ReceiveData(client, buffer, 1000), 0);
    EXPECT_EQ(client->unreadBlock, nullptr);
}

TEST_F(DatagramServer, RestOfAPartlyReadDatagramComesBeforeTheNextOne) {
    std::string first = Pattern(1500);
    ASSERT_EQ(SendAndPoll(first), NetEventData);
    ConnectionRecord* client = LastEventClient();
    char buffer[1000];
    ASSERT_EQ(ReceiveData(client, buffer, 1000), 1000);
    ASSERT_EQ(SendAndPoll("0123456789"), NetEventData);
    EXPECT_EQ(LastEventClient(), client);
    ASSERT_EQ(ReceiveData(client, buffer, 1000), 510);
    EXPECT_EQ(std::string(buffer, 510), first.substr(1000) + "0123456789");
    EXPECT_EQ(ReceiveData(client, buffer, 1000), 0);
}

// Sizes around the header, the application's read size and the buffer.
TEST_F(DatagramServer, DatagramsUpToTheBufferSizeArriveWhole) {
    for (size_t size : {1u, 5u, 6u, 1000u, 1500u, 2048u}) {
        std::string datagram = Pattern(size, static_cast<unsigned>(size));
        ASSERT_EQ(SendAndPoll(datagram), NetEventData) << size;
        EXPECT_EQ(ReadAll(LastEventClient(), 700), datagram) << size;
    }
}

TEST_F(DatagramServer, ZeroBytesInsideADatagramAreKept) {
    std::string datagram("\x10\x05\x00\x01\x10"
                         "A\0B\0C",
                         10);
    ASSERT_EQ(SendAndPoll(datagram), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), datagram);
}

TEST_F(DatagramServer, EmptyDatagramRaisesNoEvent) {
    ASSERT_EQ(SendBytes(sender_, "", port_), 0);
    ASSERT_EQ(SendAndPoll("x"), NetEventData);
    // The event is the second datagram's: the empty one left nothing behind.
    EXPECT_EQ(ReadAll(LastEventClient()), "x");
    EXPECT_EQ(PollServerEvents(), NetEventNone);
}

// Longer than the buffer: dropped whole, not cut to 2048 bytes.
TEST_F(DatagramServer, OversizedDatagramsRaiseNoEventAndAreNeverDelivered) {
    for (size_t size : {2049u, 3000u, 65507u}) {
        ASSERT_EQ(SendBytes(sender_, Pattern(size), port_), static_cast<int32_t>(size)) << size;
        ASSERT_EQ(SendAndPoll("next"), NetEventData) << size;
        EXPECT_EQ(ReadAll(LastEventClient()), "next") << size;
    }
    EXPECT_EQ(SocketWaitReadable(Server(0)->socket, 50), 0);
    EXPECT_EQ(PollServerEvents(), NetEventNone);
}

TEST_F(DatagramServer, PollWithNothingLeavesTheLastEventClient) {
    ASSERT_EQ(SendAndPoll("a"), NetEventData);
    ConnectionRecord* client = LastEventClient();
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    EXPECT_EQ(LastEventClient(), client);
}

TEST_F(DatagramServer, ReceiveDataRefusesNothingToReadAndBadArguments) {
    ASSERT_EQ(SendAndPoll("abc"), NetEventData);
    ConnectionRecord* client = LastEventClient();
    char buffer[8];
    EXPECT_EQ(ReceiveData(client, buffer, 0), 0);
    EXPECT_EQ(ReceiveData(client, buffer, -5), 0);
    EXPECT_EQ(ReceiveData(client, nullptr, 8), 0);
    EXPECT_EQ(ReceiveData(nullptr, buffer, 8), 0);
    EXPECT_EQ(ReceiveData(client, buffer, 8), 3); // all of it still there
    EXPECT_EQ(ReceiveData(client, buffer, 8), 0);
}

TEST_F(DatagramServer, ReplyToAClientLeavesFromTheServersPort) {
    ASSERT_EQ(SendAndPoll("ping"), NetEventData);
    ConnectionRecord* client = LastEventClient();
    ASSERT_EQ(SendData(client, "pong", 4), 4);
    ASSERT_EQ(SocketWaitReadable(sender_, 3000), 1);
    char buffer[16];
    uint32_t address = 0;
    uint16_t fromPort = 0;
    ASSERT_EQ(SocketReceiveFrom(sender_, buffer, sizeof buffer, &address, &fromPort), 4);
    EXPECT_EQ(std::string(buffer, 4), "pong");
    EXPECT_EQ(fromPort, port_);
    EXPECT_EQ(address, Loopback());
}

TEST_F(DatagramServer, ClosingAClientKeepsTheServerReceivingAndTheSenderComesBackNew) {
    ASSERT_EQ(SendAndPoll("first"), NetEventData);
    CloseConnection(LastEventClient()); // with its unread bytes
    EXPECT_EQ(Server(0)->datagramClients.count, 0);
    EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
    ASSERT_EQ(SendAndPoll("second"), NetEventData);
    EXPECT_EQ(Server(0)->datagramClients.count, 1);
    EXPECT_EQ(ReadAll(LastEventClient()), "second"); // nothing of the first
}

TEST_F(DatagramServer, CloseServerReleasesClientsWithTheirUnreadBytes) {
    ASSERT_EQ(SendAndPoll(Pattern(2000)), NetEventData);
    SocketHandle other = OpenLoopbackUdp();
    ASSERT_EQ(SendBytes(other, "x", port_), 1);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    SocketClose(other);
    EXPECT_GT(LiveBytes(), openServerBytes_ + 2000);
    CloseServer(0);
    EXPECT_EQ(Server(0), nullptr);
    // The emptied record stays for the number; nothing else is held.
    EXPECT_EQ(LiveBytes(), openServerBytes_);
}

} // namespace
