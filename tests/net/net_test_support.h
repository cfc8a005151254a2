#pragma once
// What the network tests share: a started network library on a fresh
// program heap, loopback sockets of the test's own and a bounded wait for
// server events. Everything stays on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "net/connection.h"
#include "net/network.h"
#include "net/server.h"
#include "runtime/socket.h"
#include "tests/support/program_heap_fixture.h"

inline uint32_t Loopback() {
    return SocketParseIPv4("127.0.0.1");
}

// A datagram socket of the test's own bound to 127.0.0.1 (port 0: the
// system's choice), or NoSocket.
inline SocketHandle OpenLoopbackUdp(uint16_t port = 0) {
    SocketHandle socket = SocketCreate(false, SocketDatagram);
    if (socket == NoSocket) return NoSocket;
    SocketAddress local;
    SocketAddressIPv4(&local, Loopback(), port);
    if (!SocketBind(socket, &local)) {
        SocketClose(socket);
        return NoSocket;
    }
    return socket;
}

// A port that nothing listens on: bound for a moment, then let go.
inline uint16_t UnusedUdpPort() {
    SocketHandle socket = OpenLoopbackUdp();
    auto port = static_cast<uint16_t>(SocketLocalPort(socket));
    SocketClose(socket);
    return port;
}

inline int32_t SendBytes(SocketHandle socket, const std::string& bytes, uint16_t port) {
    return SocketSendTo(socket, bytes.data(), static_cast<int32_t>(bytes.size()), Loopback(), port);
}

// Bytes 0, 1, 2, ... (modulo 251, so that runs never line up with sizes).
inline std::string Pattern(size_t size, unsigned seed = 0) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i + seed) % 251);
    return bytes;
}

// Polls until an event comes or the time runs out (then NetEventNone).
inline int32_t WaitForEvent(int32_t timeoutMs = 3000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int32_t event = PollServerEvents();
        if (event != NetEventNone || std::chrono::steady_clock::now() > deadline) return event;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Everything unread of a client, read in pieces of `piece` bytes.
inline std::string ReadAll(ConnectionRecord* client, int32_t piece = 1000) {
    std::string bytes;
    std::string buffer(static_cast<size_t>(piece), '\0');
    for (;;) {
        int32_t count = ReceiveData(client, buffer.data(), piece);
        if (count <= 0) return bytes;
        bytes.append(buffer.data(), static_cast<size_t>(count));
    }
}

inline ServerRecord* Server(ObjectNumber number) {
    return static_cast<ServerRecord*>(FindObject(Network()->servers, number));
}

// A started network library on a fresh program heap; at the end everything
// the test took from the heap must be back, unless it says otherwise.
class NetworkTest : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        ASSERT_EQ(StartNetwork(), 1);
    }
    void TearDown() override {
        StopNetwork();
        if (checkHeapIsEmpty_) {
            EXPECT_EQ(LiveBytes(), 0u) << "program heap bytes left behind";
        }
        ProgramHeapTest::TearDown();
    }
    bool checkHeapIsEmpty_ = true;
};
