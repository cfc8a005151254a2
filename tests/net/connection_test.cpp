// Client connections: opening, sending and closing.
#include <chrono>
#include <vector>

#include "net/connection.h"
#include "tests/net/net_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

using ClientConnection = NetworkTest;

// The program's own case, "192.168.0.10:2048 with nobody listening", kept
// on this machine: a loopback address and a port nobody has.
TEST_F(ClientConnection, DatagramConnectionSendsWithNobodyListening) {
    ConnectionRecord* connection = OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(connection->kind, ConnectionDatagram);
    EXPECT_EQ(connection->owner, nullptr);
    EXPECT_EQ(SendData(connection, "twelve bytes", 12), 12);
    CloseConnection(connection);
}

TEST_F(ClientConnection, DatagramLeavesFromAPortTheSystemChose) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    ConnectionRecord* connection = OpenConnection("127.0.0.1", port, NetModeUdp);
    ASSERT_NE(connection, nullptr);
    // Nothing is bound before the send: port 0, or (Windows) no name at all.
    EXPECT_LE(SocketLocalPort(connection->sendSocket), 0);
    ASSERT_EQ(SendData(connection, "frame", 5), 5);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    int32_t sourcePort = static_cast<int32_t>(LastEventClient()->datagramPort);
    EXPECT_EQ(sourcePort, SocketLocalPort(connection->sendSocket));
    EXPECT_NE(sourcePort, port);
    EXPECT_EQ(ReadAll(LastEventClient()), "frame");
    CloseConnection(connection);
}

TEST_F(ClientConnection, OnlyTheLow16BitsOfThePortCount) {
    ASSERT_NE(OpenServer(0, 0, NetModeUdp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    ConnectionRecord* connection = OpenConnection("127.0.0.1", 65536 + port, NetModeUdp);
    ASSERT_NE(connection, nullptr);
    ASSERT_EQ(SendData(connection, "wrapped", 7), 7);
    ASSERT_EQ(WaitForEvent(), NetEventData);
    EXPECT_EQ(ReadAll(LastEventClient()), "wrapped");
    CloseConnection(connection);
}

// A name with a character no host name may hold fails inside the name
// lookup, without asking any name server.
TEST_F(ClientConnection, NameThatDoesNotResolveGivesNull) {
    EXPECT_EQ(OpenConnection("no such host!", 2048, NetModeUdp), nullptr);
    EXPECT_EQ(OpenConnection("no such host!", 2048, NetModeTcp), nullptr);
}

TEST_F(ClientConnection, BroadcastEmptyAndMissingHostsGiveNull) {
    EXPECT_EQ(OpenConnection("255.255.255.255", 2048, NetModeUdp), nullptr);
    EXPECT_EQ(OpenConnection("", 2048, NetModeUdp), nullptr);
    EXPECT_EQ(OpenConnection(static_cast<const char*>(nullptr), 2048, NetModeUdp), nullptr);
}

TEST_F(ClientConnection, UnknownModesAndIPv6DatagramsAreRefused) {
    EXPECT_EQ(OpenConnection("127.0.0.1", 2048, 3), nullptr);
    EXPECT_EQ(OpenConnection("127.0.0.1", 2048, 7), nullptr);
    EXPECT_EQ(OpenConnection("::1", 2048, NetModeUdp | NetFlagIPv6), nullptr);
}

TEST_F(ClientConnection, SendAndCloseTolerateMissingConnections) {
    EXPECT_EQ(SendData(nullptr, "x", 1), -1);
    CloseConnection(nullptr);
    ConnectionRecord* connection = OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(SendData(connection, "x", -1), -1);
    EXPECT_EQ(SendData(connection, nullptr, 5), -1);
    CloseConnection(connection);
}

TEST_F(ClientConnection, DatagramTooLargeForTheNetworkFailsToSend) {
    ConnectionRecord* connection = OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp);
    ASSERT_NE(connection, nullptr);
    std::string largest = Pattern(65507);
    EXPECT_EQ(SendData(connection, largest.data(), 65507), 65507);
    std::string tooLarge = Pattern(65508);
    EXPECT_EQ(SendData(connection, tooLarge.data(), 65508), -1);
    CloseConnection(connection);
}

TEST_F(ClientConnection, StreamConnectsToALoopbackServerWithAndWithoutTimeOut) {
    ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    for (int32_t timeout : {0, 2000}) {
        ConnectionRecord* connection =
            OpenConnectionEx("127.0.0.1", port, NetModeTcp, timeout, nullptr, 0);
        ASSERT_NE(connection, nullptr) << timeout;
        EXPECT_EQ(connection->kind, ConnectionStream);
        ASSERT_EQ(WaitForEvent(), NetEventConnect);
        ConnectionRecord* accepted = LastEventClient();
        ASSERT_EQ(SendData(connection, "hello", 5), 5);
        ASSERT_EQ(WaitForEvent(), NetEventData);
        char buffer[8];
        ASSERT_EQ(ReceiveData(accepted, buffer, sizeof buffer), 5);
        // The connection is blocking again once made: a reply is awaited.
        ASSERT_EQ(SendData(accepted, "world", 5), 5);
        ASSERT_EQ(ReceiveData(connection, buffer, sizeof buffer), 5);
        EXPECT_EQ(std::string(buffer, 5), "world");
        CloseConnection(connection);
        ASSERT_EQ(WaitForEvent(), NetEventDisconnect);
    }
}

TEST_F(ClientConnection, StreamToAClosedPortFailsAtOnce) {
    // Nobody listens on a port that a datagram socket just had (stream and
    // datagram ports are apart, and nothing here listens).
    uint16_t port = UnusedUdpPort();
    auto start = Clock::now();
    EXPECT_EQ(OpenConnectionEx("127.0.0.1", port, NetModeTcp, 0, nullptr, 0), nullptr);
    EXPECT_EQ(OpenConnectionEx("127.0.0.1", port, NetModeTcp, 5000, nullptr, 0), nullptr);
    EXPECT_LT(MillisecondsSince(start), 4000); // refused, not timed out
}

// A listener whose queue of finished connections is full ignores further
// connection requests, so a connect to it stays unanswered.
class FullListener {
  public:
    FullListener() {
        listener_ = SocketCreate(false, SocketStream);
        SocketAddress local;
        SocketAddressIPv4(&local, Loopback(), 0);
        if (!SocketBind(listener_, &local) || !SocketListen(listener_, 0)) return;
        port_ = SocketLocalPort(listener_);
        SocketAddress destination;
        SocketAddressIPv4(&destination, Loopback(), static_cast<uint16_t>(port_));
        for (int tries = 0; tries < 16 && !full_; ++tries) {
            SocketHandle filler = SocketCreate(false, SocketStream);
            SocketSetNonBlocking(filler, true);
            fillers_.push_back(filler);
            full_ = !SocketConnect(filler, &destination) && !SocketWaitConnected(filler, 300);
        }
    }
    ~FullListener() {
        for (SocketHandle filler : fillers_)
            SocketClose(filler);
        SocketClose(listener_);
    }
    bool full() const { return full_; }
    int32_t port() const { return port_; }

  private:
    SocketHandle listener_ = NoSocket;
    std::vector<SocketHandle> fillers_;
    int32_t port_ = 0;
    bool full_ = false;
};

TEST_F(ClientConnection, StreamConnectTimeOutGivesNullAfterItsTime) {
    FullListener listener;
    ASSERT_TRUE(listener.full()) << "could not fill the listener's queue";
    auto start = Clock::now();
    EXPECT_EQ(OpenConnectionEx("127.0.0.1", listener.port(), NetModeTcp, 500, nullptr, 0), nullptr);
    int64_t elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 450);   // it did wait
    EXPECT_LT(elapsed, 10000); // and gave up on its own
}

TEST_F(ClientConnection, StreamLocalBindingTakesTheGivenPortOrFails) {
    ASSERT_NE(OpenServer(0, 0, NetModeTcp, "127.0.0.1"), 0);
    int32_t port = ServerLocalPort(0);
    EXPECT_EQ(OpenConnectionEx("127.0.0.1", port, NetModeTcp, 0, "not an address", 0), nullptr);
    uint16_t localPort = UnusedUdpPort();
    ConnectionRecord* connection =
        OpenConnectionEx("127.0.0.1", port, NetModeTcp, 0, "127.0.0.1", localPort);
    ASSERT_NE(connection, nullptr);
    EXPECT_EQ(SocketLocalPort(connection->streamSocket), localPort);
    ASSERT_EQ(WaitForEvent(), NetEventConnect);
    CloseConnection(connection);
}

TEST_F(ClientConnection, IPv6StreamConnectsWhenTheResolverIsThere) {
    SocketHandle probe = SocketCreate(true, SocketStream);
    if (probe == NoSocket) GTEST_SKIP() << "no IPv6 on this machine";
    SocketClose(probe);
    ASSERT_NE(OpenServer(0, 0, NetModeTcp | NetFlagIPv6, "::1"), 0);
    EXPECT_EQ(Server(0)->ipv6, 1);
    int32_t port = ServerLocalPort(0);
    ConnectionRecord* connection = OpenConnection("::1", port, NetModeTcp | NetFlagIPv6);
    ASSERT_NE(connection, nullptr);
    ASSERT_EQ(WaitForEvent(), NetEventConnect);
    CloseConnection(connection);

    // Without the newer resolver the IPv6 paths fail; IPv4 is untouched.
    Network()->newerResolver = 0;
    EXPECT_EQ(OpenConnection("::1", port, NetModeTcp | NetFlagIPv6), nullptr);
    EXPECT_EQ(OpenServer(1, 0, NetModeTcp | NetFlagIPv6, "::1"), 0);
    ConnectionRecord* ipv4 = OpenConnection("127.0.0.1", UnusedUdpPort(), NetModeUdp);
    ASSERT_NE(ipv4, nullptr);
    EXPECT_EQ(SendData(ipv4, "v4", 2), 2);
    CloseConnection(ipv4);
}

} // namespace
