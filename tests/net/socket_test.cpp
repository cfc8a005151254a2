// The sockets layer's promises that the library builds on, the same on
// every platform.
#include "runtime/socket.h"

#include "tests/net/net_test_support.h"
#include <cstring>

namespace {

class SocketLayer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SocketsStart()); }
    void TearDown() override { SocketsStop(); }
};

TEST_F(SocketLayer, OversizedDatagramIsDroppedWholeAndSaysSo) {
    SocketHandle receiver = OpenLoopbackUdp();
    SocketHandle sender = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(receiver));
    ASSERT_EQ(SendBytes(sender, Pattern(100), port), 100);
    ASSERT_EQ(SendBytes(sender, "small", port), 5);
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    char buffer[64];
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr, nullptr), -1);
    EXPECT_EQ(SocketLastError(), SocketErrorMessageTooLong);
    // The next receive gets the next datagram, not the rest of the first.
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    uint32_t address = 0;
    uint16_t from = 0;
    ASSERT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, &address, &from), 5);
    EXPECT_EQ(std::string(buffer, 5), "small");
    EXPECT_EQ(address, Loopback());
    EXPECT_EQ(from, SocketLocalPort(sender));
    SocketClose(sender);
    SocketClose(receiver);
}

TEST_F(SocketLayer, DatagramOfExactlyTheBufferSizeFits) {
    SocketHandle receiver = OpenLoopbackUdp();
    SocketHandle sender = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(receiver));
    ASSERT_EQ(SendBytes(sender, Pattern(64), port), 64);
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    char buffer[64];
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr, nullptr), 64);
    SocketClose(sender);
    SocketClose(receiver);
}

TEST_F(SocketLayer, NonBlockingReceiveWithNothingWaitingSaysWouldBlock) {
    SocketHandle receiver = OpenLoopbackUdp();
    ASSERT_TRUE(SocketSetNonBlocking(receiver, true));
    char buffer[8];
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr, nullptr), -1);
    EXPECT_EQ(SocketLastError(), SocketErrorWouldBlock);
    EXPECT_EQ(SocketWaitReadable(receiver, 0), 0);
    EXPECT_EQ(SocketWaitReadable(receiver, 30), 0);
    SocketClose(receiver);
}

TEST_F(SocketLayer, BindingATakenPortSaysAddressInUse) {
    SocketHandle first = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(first));
    SocketHandle second = SocketCreate(false, SocketDatagram);
    SocketAddress address;
    SocketAddressIPv4(&address, Loopback(), port);
    EXPECT_FALSE(SocketBind(second, &address));
    EXPECT_EQ(SocketLastError(), SocketErrorAddressInUse);
    SocketClose(second);
    SocketClose(first);
}

TEST_F(SocketLayer, DottedAddressesParseAndOthersDoNot) {
    const unsigned char loopback[4] = {127, 0, 0, 1};
    uint32_t expected;
    std::memcpy(&expected, loopback, 4);
    EXPECT_EQ(SocketParseIPv4("127.0.0.1"), expected);
    EXPECT_EQ(SocketParseIPv4("255.255.255.255"), NoAddress);
    EXPECT_EQ(SocketParseIPv4("not an address"), NoAddress);
    EXPECT_EQ(SocketParseIPv4(nullptr), NoAddress);
    EXPECT_EQ(SocketLookupIPv4("127.0.0.1"), expected); // numeric: no lookup needed
    EXPECT_EQ(SocketLookupIPv4("no such host!"), NoAddress);
}

TEST_F(SocketLayer, UnknownSocketKindsAreRefused) {
    EXPECT_EQ(SocketCreate(false, 3), NoSocket);
    EXPECT_EQ(SocketCreate(false, 0), NoSocket);
}

TEST(SocketLayerStart, SocketsNeedAStart) {
    SocketsFailNextStart();
    EXPECT_FALSE(SocketsStart());
    EXPECT_EQ(SocketCreate(false, SocketDatagram), NoSocket);
    EXPECT_EQ(SocketLastError(), SocketErrorNotStarted);
    ASSERT_TRUE(SocketsStart());
    SocketHandle socket = SocketCreate(false, SocketDatagram);
    EXPECT_NE(socket, NoSocket);
    SocketClose(socket);
    SocketsStop();
}

} // namespace
