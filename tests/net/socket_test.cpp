// The sockets layer's promises that the library builds on, the same on
// every platform.
#include <cstring>

#include "tests/net/net_test_support.h"

namespace {

class SocketLayer : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SocketsStart()); }
    void TearDown() override { SocketsStop(); }
};

// A datagram longer than the buffer is dropped whole and says so; one of
// exactly the buffer's size fits; then nothing waits, which a non-blocking
// socket says without waiting.
TEST_F(SocketLayer, DatagramReceiveDropsOversizedOnesWhole) {
    SocketHandle receiver = OpenLoopbackUdp();
    SocketHandle sender = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(receiver));
    ASSERT_EQ(SendBytes(sender, Pattern(65), port), 65);
    ASSERT_EQ(SendBytes(sender, Pattern(64, 1), port), 64);
    char buffer[64];
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr, nullptr), -1);
    EXPECT_EQ(SocketLastError(), SocketErrorMessageTooLong);
    ASSERT_EQ(SocketWaitReadable(receiver, 3000), 1);
    uint32_t address = 0;
    uint16_t from = 0;
    ASSERT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, &address, &from), 64);
    EXPECT_EQ(std::string(buffer, 64), Pattern(64, 1)); // the next one, not the first's rest
    EXPECT_EQ(address, Loopback());
    EXPECT_EQ(from, SocketLocalPort(sender));
    ASSERT_TRUE(SocketSetNonBlocking(receiver, true));
    EXPECT_EQ(SocketReceiveFrom(receiver, buffer, sizeof buffer, nullptr, nullptr), -1);
    EXPECT_EQ(SocketLastError(), SocketErrorWouldBlock);
    EXPECT_EQ(SocketWaitReadable(receiver, 30), 0);
    SocketClose(sender);
    SocketClose(receiver);
}

TEST_F(SocketLayer, RefusalsSayWhy) {
    SocketHandle first = OpenLoopbackUdp();
    SocketHandle second = SocketCreate(false, SocketDatagram);
    SocketAddress address;
    SocketAddressIPv4(&address, Loopback(), static_cast<uint16_t>(SocketLocalPort(first)));
    EXPECT_FALSE(SocketBind(second, &address));
    EXPECT_EQ(SocketLastError(), SocketErrorAddressInUse);
    SocketClose(second);
    SocketClose(first);
    EXPECT_EQ(SocketCreate(false, 3), NoSocket);
    EXPECT_EQ(SocketCreate(false, 0), NoSocket);
    const unsigned char loopback[4] = {127, 0, 0, 1};
    uint32_t expected;
    std::memcpy(&expected, loopback, 4);
    EXPECT_EQ(SocketParseIPv4("127.0.0.1"), expected);
    EXPECT_EQ(SocketLookupIPv4("127.0.0.1"), expected); // numeric: no lookup needed
    for (const char* text :
         {"255.255.255.255", "not an address", static_cast<const char*>(nullptr)})
        EXPECT_EQ(SocketParseIPv4(text), NoAddress) << (text ? text : "null");
    EXPECT_EQ(SocketLookupIPv4("no such host!"), NoAddress);
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
