#pragma once
// What the network tests share: a started network library on a fresh
// program heap, loopback sockets of the test's own, a server with a sender,
// and bounded waits for server events. Everything stays on 127.0.0.1 (and
// ::1).
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/connection.h"
#include "net/network.h"
#include "net/server.h"
#include "runtime/socket.h"
#include "tests/support/program_heap_fixture.h"

using Clock = std::chrono::steady_clock;

inline uint32_t Loopback() {
    return SocketParseIPv4("127.0.0.1");
}

// A datagram socket of the test's own on 127.0.0.1 (port 0: the system's
// choice), or NoSocket when the port is taken.
inline SocketHandle OpenLoopbackUdp(uint16_t port = 0) {
    SocketHandle socket = SocketCreate(false, SocketDatagram);
    SocketAddress local;
    SocketAddressIPv4(&local, Loopback(), port);
    if (SocketBind(socket, &local)) return socket;
    SocketClose(socket);
    return NoSocket;
}

// A port that nothing listens on: bound for a moment, then let go.
inline uint16_t UnusedUdpPort() {
    SocketHandle socket = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(socket));
    SocketClose(socket);
    return port;
}

// No socket holds the port: one of the test's own can take it.
inline bool PortIsFree(uint16_t port) {
    SocketHandle socket = OpenLoopbackUdp(port);
    SocketClose(socket);
    return socket != NoSocket;
}

inline int32_t SendBytes(SocketHandle socket, const std::string& bytes, uint16_t port) {
    return SocketSendTo(socket, bytes.data(), static_cast<int32_t>(bytes.size()), Loopback(), port);
}

// Bytes seed, seed + 1, ... modulo 251: zero bytes among them, and runs
// that never line up with sizes.
inline std::string Pattern(size_t size, size_t seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i + seed) % 251);
    return bytes;
}

// Polls until an event comes or the time runs out (then NetEventNone).
inline int32_t WaitForEvent(int32_t timeoutMs = 3000) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int32_t event;
    while ((event = PollServerEvents()) == NetEventNone && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return event;
}

// Everything unread of a client, read in pieces of 1000 bytes.
inline std::string ReadAll(ConnectionRecord* client) {
    std::string bytes, buffer(1000, '\0');
    for (int32_t count; (count = ReceiveData(client, buffer.data(), 1000)) > 0;)
        bytes.append(buffer.data(), static_cast<size_t>(count));
    return bytes;
}

inline ServerRecord* Server(ObjectNumber number) {
    return static_cast<ServerRecord*>(FindObject(Network()->servers, number));
}

// A started network library on a fresh program heap; at the end everything
// the test took from the heap must be back.
class NetworkTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        ASSERT_EQ(StartNetwork(), 1);
    }
    void TearDown() override {
        StopNetwork();
        EXPECT_EQ(LiveBytes(), 0u) << "program heap bytes left behind";
        ProgramHeapTest::TearDown();
    }
};

// Server 0 on a loopback port of the system's choice, with a datagram
// socket of the test's own to send from.
template <int32_t Mode> class ServerTest : public NetworkTest {
  protected:
    void SetUp() override {
        NetworkTest::SetUp();
        ASSERT_NE(OpenServer(0, 0, Mode, "127.0.0.1"), 0);
        port_ = static_cast<uint16_t>(ServerLocalPort(0));
        sender_ = OpenLoopbackUdp();
    }
    void TearDown() override {
        SocketClose(sender_);
        NetworkTest::TearDown();
    }
    // Sends a datagram from the sender and makes exactly one poll once it
    // is there.
    int32_t SendAndPoll(const std::string& bytes) {
        EXPECT_EQ(SendBytes(sender_, bytes, port_), static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(SocketWaitReadable(Server(0)->socket, 3000), 1);
        return PollServerEvents();
    }
    uint16_t port_ = 0;
    SocketHandle sender_ = NoSocket;
};
using DatagramServerTest = ServerTest<NetModeUdp>;
using StreamServerTest = ServerTest<0>; // mode 0 counts as a stream server
