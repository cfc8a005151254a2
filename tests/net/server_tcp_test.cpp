// Stream servers: accepted connections, their data and their end.
#include <atomic>
#include <cstring>
#include <thread>

#include "net/server.h"
#include "tests/net/net_test_support.h"

namespace {

class StreamServer : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
        port_ = ServerLocalPort(0);
    }
    // A client connection of our own, accepted by the server.
    ConnectionRecord* ConnectAndAccept() {
        ConnectionRecord* connection = OpenConnection("127.0.0.1", port_, NetModeTcp);
        EXPECT_NE(connection, nullptr);
        EXPECT_EQ(WaitForEvent(), NetEventConnect);
        return connection;
    }
    int32_t port_ = 0;
};

TEST_F(StreamServer, AcceptedConnectionRaisesConnectWithAStreamClient) {
    ConnectionRecord* connection = ConnectAndAccept();
    ConnectionRecord* client = LastEventClient();
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->kind, ConnectionStream);
    EXPECT_EQ(client->owner, Server(0));
    EXPECT_NE(client->streamSocket, NoSocket);
    EXPECT_EQ(ListFirst(&Server(0)->clients), client);
    CloseConnection(connection);
}

TEST_F(StreamServer, AcceptedSocketDoesNotBlockWhenNothingIsWaiting) {
    ConnectionRecord* connection = ConnectAndAccept();
    ConnectionRecord* client = LastEventClient();
    // Should the read block, bytes sent after a while end the wait, and the
    // test fails instead of hanging.
    std::atomic<bool> returned{false};
    std::thread rescuer([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!returned && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!returned) SendData(connection, "late", 4);
    });
    char buffer[16];
    int32_t result = ReceiveData(client, buffer, sizeof buffer);
    SocketError why = SocketLastError();
    returned = true;
    rescuer.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(why, SocketErrorWouldBlock);
    CloseConnection(connection);
}

TEST_F(StreamServer, UnreadBytesRaiseDataOnEveryPollUntilRead) {
    ConnectionRecord* connection = ConnectAndAccept();
    ConnectionRecord* client = LastEventClient();
    ASSERT_EQ(SendData(connection, "0123456789AB", 12), 12);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    EXPECT_EQ(LastEventClient(), client);
    EXPECT_EQ(PollServerEvents(), NetEventData); // the peek took nothing
    EXPECT_EQ(PollServerEvents(), NetEventData);
    char buffer[32];
    ASSERT_EQ(ReceiveData(client, buffer, sizeof buffer), 12);
    EXPECT_EQ(std::string(buffer, 12), "0123456789AB");
    EXPECT_EQ(PollServerEvents(), NetEventNone);
    CloseConnection(connection);
}

TEST_F(StreamServer, PeerThatClosesRaisesDisconnectOnceAndItsRecordGoes) {
    ConnectionRecord* connection = ConnectAndAccept();
    ConnectionRecord* client = LastEventClient();
    CloseConnection(connection);
    ASSERT_EQ(WaitForEvent(), NetEventDisconnect);
    EXPECT_EQ(LastEventClient(), client); // compares only: the record is gone
    EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
    EXPECT_EQ(WaitForEvent(200), NetEventNone);
}

TEST_F(StreamServer, NewestClientIsPeekedFirst) {
    ConnectionRecord* older = ConnectAndAccept();
    ConnectionRecord* olderClient = LastEventClient();
    ConnectionRecord* newer = ConnectAndAccept();
    ConnectionRecord* newerClient = LastEventClient();
    ASSERT_EQ(SendData(older, "o", 1), 1);
    ASSERT_EQ(SendData(newer, "n", 1), 1);
    ASSERT_EQ(SocketWaitReadable(olderClient->streamSocket, 3000), 1);
    ASSERT_EQ(SocketWaitReadable(newerClient->streamSocket, 3000), 1);
    ASSERT_EQ(PollServerEvents(), NetEventData);
    EXPECT_EQ(LastEventClient(), newerClient);
    char byte;
    ASSERT_EQ(ReceiveData(newerClient, &byte, 1), 1);
    ASSERT_EQ(PollServerEvents(), NetEventData);
    EXPECT_EQ(LastEventClient(), olderClient);
    ASSERT_EQ(ReceiveData(olderClient, &byte, 1), 1);
    CloseConnection(older);
    CloseConnection(newer);
}

TEST_F(StreamServer, PendingConnectComesBeforeDataOfOlderClients) {
    ConnectionRecord* first = ConnectAndAccept();
    ASSERT_EQ(SendData(first, "x", 1), 1);
    ConnectionRecord* second = OpenConnection("127.0.0.1", port_, NetModeTcp);
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
    // Pass 1 (accepts) ends the poll before pass 2 (peeks) is reached.
    EXPECT_EQ(PollServerEvents(), NetEventConnect);
    EXPECT_EQ(WaitForEvent(), NetEventData);
    CloseConnection(first);
    CloseConnection(second);
}

TEST_F(StreamServer, CloseConnectionOnAServerClientClosesItsSocket) {
    ConnectionRecord* connection = ConnectAndAccept();
    CloseConnection(LastEventClient());
    EXPECT_EQ(ListFirst(&Server(0)->clients), nullptr);
    // The far end sees the connection end.
    ASSERT_EQ(SocketWaitReadable(connection->streamSocket, 3000), 1);
    char byte;
    EXPECT_EQ(ReceiveData(connection, &byte, 1), 0);
    CloseConnection(connection);
}

TEST_F(StreamServer, ClosingTheServerEndsItsAcceptedConnections) {
    ConnectionRecord* connection = ConnectAndAccept();
    CloseServer(0);
    ASSERT_EQ(SocketWaitReadable(connection->streamSocket, 3000), 1);
    char byte;
    EXPECT_LE(ReceiveData(connection, &byte, 1), 0);
    CloseConnection(connection);
}

TEST_F(StreamServer, PeekConnectionCountsSizesAndClosedPeers) {
    ConnectionRecord* connection = ConnectAndAccept();
    SocketHandle accepted = LastEventClient()->streamSocket;
    char buffer[64];
    EXPECT_EQ(PeekConnection(accepted, 8, buffer), 0); // nothing yet
    ASSERT_EQ(SendData(connection, "twenty bytes of data", 20), 20);
    ASSERT_EQ(SocketWaitReadable(accepted, 3000), 1);
    EXPECT_EQ(PeekConnection(accepted, 0, buffer), 0);
    EXPECT_EQ(PeekConnection(accepted, 8, buffer), 8);
    EXPECT_EQ(PeekConnection(accepted, -1, buffer), 20); // everything waiting
    EXPECT_EQ(std::string(buffer, 20), "twenty bytes of data");
    ASSERT_EQ(SocketReceive(accepted, buffer, 20, false), 20);
    CloseConnection(connection);
    ASSERT_EQ(SocketWaitReadable(accepted, 3000), 1);
    EXPECT_EQ(PeekConnection(accepted, 8, buffer), -2);
}

} // namespace
