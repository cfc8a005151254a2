// Measures the datagram client store: finding a known sender among a full
// set of clients, and the whole way of one datagram over loopback (send,
// poll, read). Prints the results; not part of the tests.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "net/connection.h"
#include "net/network.h"
#include "net/server.h"
#include "runtime/platform.h"
#include "runtime/program_heap.h"
#include "runtime/socket.h"

using Clock = std::chrono::steady_clock;

static double NanosecondsPer(Clock::time_point start, int64_t count) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() /
           static_cast<double>(count);
}

// Lookups of every one of MaxDatagramClients senders, round after round.
static void MeasureLookup() {
    auto* server = static_cast<ServerRecord*>(ProgramHeapAllocate(sizeof(ServerRecord)));
    uint32_t address = SocketParseIPv4("127.0.0.1");
    for (int i = 0; i < MaxDatagramClients; ++i)
        KeepDatagram(server, address, static_cast<uint16_t>(40000 + i), "x", 1);
    const int rounds = 20000;
    int64_t found = 0;
    Clock::time_point start = Clock::now();
    for (int round = 0; round < rounds; ++round)
        for (int i = 0; i < MaxDatagramClients; ++i)
            found +=
                FindDatagramClient(server, address, static_cast<uint16_t>(40000 + i)) != nullptr;
    double perLookup = NanosecondsPer(start, static_cast<int64_t>(rounds) * MaxDatagramClients);
    std::printf("lookup of a known sender among %d clients: %.1f ns (%lld found)\n",
                MaxDatagramClients, perLookup, static_cast<long long>(found));
    while (void* client = ListFirst(&server->clients))
        RemoveDatagramClient(server, static_cast<ConnectionRecord*>(client));
    ReleaseDatagramClients(server);
    ProgramHeapFree(server);
}

// One datagram at a time from a new port each (as the program sends), with
// the server already at its client bound.
static void MeasureDatagramRoundTrip() {
    OpenServer(0, 0, NetModeUdp, "127.0.0.1");
    int32_t port = ServerLocalPort(0);
    auto* server = static_cast<ServerRecord*>(FindObject(Network()->servers, 0));
    std::string datagram(100, 'd');
    char buffer[1000];
    const int count = 5000;
    size_t liveAtBound = 0;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < count; ++i) {
        ConnectionRecord* connection = OpenConnection("127.0.0.1", port, NetModeUdp);
        SendData(connection, datagram.data(), static_cast<int32_t>(datagram.size()));
        SocketWaitReadable(server->socket, 1000);
        if (PollServerEvents() == NetEventData) ReceiveData(LastEventClient(), buffer, 1000);
        CloseConnection(connection);
        if (i == MaxDatagramClients) liveAtBound = PlatformHeapLiveBytes(ProgramHeap());
    }
    double perDatagram = NanosecondsPer(start, count) / 1000.0;
    std::printf("new port per datagram, %d datagrams: %.1f us each; clients %d; program heap "
                "%zu bytes at the bound, %zu at the end\n",
                count, perDatagram, server->datagramClients.count, liveAtBound,
                PlatformHeapLiveBytes(ProgramHeap()));
    CloseServer(0);
}

int main() {
    if (!ProgramHeapCreate() || !StartNetwork()) {
        std::puts("cannot start the network library");
        return 1;
    }
    MeasureLookup();
    MeasureDatagramRoundTrip();
    StopNetwork();
    ProgramHeapDestroy();
    return 0;
}
