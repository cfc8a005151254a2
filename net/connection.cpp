#include "net/connection.h"

#include "net/network.h"
#include "net/server.h"
#include "runtime/program_heap.h"

namespace {
struct Destination {
    bool ipv6;
    uint32_t address;     // IPv4, network order
    uint8_t address6[16]; // IPv6
};

// A dotted address is used as it is; anything else goes to the name lookup.
bool Resolve(const char* host, Destination* out) {
    if (out->ipv6) return Network()->newerResolver && SocketResolveIPv6(host, false, out->address6);
    out->address = SocketParseIPv4(host);
    if (out->address == NoAddress) out->address = SocketLookupIPv4(host);
    // So 255.255.255.255 never serves as a host.
    return out->address != NoAddress;
}

bool BindLocalEnd(SocketHandle socket, const char* localAddress, int32_t localPort) {
    bool hasAddress = localAddress && *localAddress;
    if (localPort == 0 && !hasAddress) return true;
    uint32_t address = hasAddress ? SocketParseIPv4(localAddress) : 0;
    if (address == NoAddress) return false;
    SocketAddress local;
    SocketAddressIPv4(&local, address, static_cast<uint16_t>(localPort));
    return SocketBind(socket, &local);
}

// A time-out needs a non-blocking connect; the socket is blocking again
// before the wait, and stays so once connected.
bool Connect(SocketHandle socket, const SocketAddress* destination, int32_t timeoutMs) {
    if (timeoutMs <= 0) return SocketConnect(socket, destination);
    if (!SocketSetNonBlocking(socket, true)) return false;
    bool connectedAtOnce = SocketConnect(socket, destination);
    SocketError why = SocketLastError();
    if (!SocketSetNonBlocking(socket, false)) return false;
    // A connect that completes at once (it can, to this very host) is made.
    if (connectedAtOnce) return true;
    if (why != SocketErrorInProgress && why != SocketErrorWouldBlock) return false;
    return SocketWaitConnected(socket, timeoutMs);
}

ConnectionRecord* NewRecord() {
    return static_cast<ConnectionRecord*>(ProgramHeapAllocate(sizeof(ConnectionRecord)));
}

ConnectionRecord* OpenStream(SocketHandle socket, const Destination& to, int32_t port,
                             int32_t timeoutMs, const char* localAddress, int32_t localPort) {
    if (!BindLocalEnd(socket, localAddress, localPort)) return nullptr;
    SocketAddress destination;
    auto port16 = static_cast<uint16_t>(port & 0xFFFF);
    if (to.ipv6)
        SocketAddressIPv6(&destination, to.address6, port16);
    else
        SocketAddressIPv4(&destination, to.address, port16);
    if (!Connect(socket, &destination, timeoutMs)) return nullptr;
    ConnectionRecord* record = NewRecord();
    if (!record) return nullptr;
    record->kind = ConnectionStream;
    record->streamSocket = socket;
    return record;
}

// Nothing is sent and nothing bound: the system picks the local port at
// the first send.
ConnectionRecord* OpenDatagram(SocketHandle socket, const Destination& to, int32_t port) {
    if (!SocketSetNonBlocking(socket, true)) return nullptr;
    ConnectionRecord* record = NewRecord();
    if (!record) return nullptr;
    record->kind = ConnectionDatagram;
    record->peerAddress = to.address;
    record->datagramPort = port;
    record->sendSocket = socket;
    return record;
}
} // namespace

ConnectionRecord* OpenConnectionEx(const char* host, int32_t port, int32_t mode, int32_t timeoutMs,
                                   const char* localAddress, int32_t localPort) {
    // An empty host is no host (a name lookup of "" finds this machine on
    // some systems).
    if (!host || !*host) return nullptr;
    Destination to{};
    to.ipv6 = (mode & NetFlagIPv6) != 0;
    mode &= ~NetFlagIPv6;
    if (mode == 0) mode = NetModeTcp;
    if (mode != NetModeTcp && mode != NetModeUdp) return nullptr;
    // A datagram connection keeps an IPv4 destination only, so an IPv6 one
    // could never send: refuse it rather than fail every send.
    if (to.ipv6 && mode == NetModeUdp) return nullptr;
    SocketHandle socket = SocketCreate(to.ipv6, mode);
    if (socket == NoSocket) return nullptr;
    ConnectionRecord* record = nullptr;
    if (Resolve(host, &to)) {
        record = mode == NetModeTcp
                     ? OpenStream(socket, to, port, timeoutMs, localAddress, localPort)
                     : OpenDatagram(socket, to, port);
    }
    if (!record) SocketClose(socket);
    return record;
}

ConnectionRecord* OpenConnection(const char* host, int32_t port, int32_t mode) {
    return OpenConnectionEx(host, port, mode, 0, nullptr, 0);
}

ConnectionRecord* OpenConnection(const Text& host, int32_t port, int32_t mode) {
    return OpenConnection(host.c_str(), port, mode);
}

int32_t SendData(ConnectionRecord* connection, const void* buffer, int32_t length) {
    if (!connection || length < 0 || (!buffer && length > 0)) return -1;
    if (connection->kind == ConnectionStream)
        return SocketSend(connection->streamSocket, buffer, length);
    if (connection->kind != ConnectionDatagram) return -1;
    return SocketSendTo(connection->sendSocket, buffer, length, connection->peerAddress,
                        static_cast<uint16_t>(connection->datagramPort & 0xFFFF));
}

void CloseConnection(ConnectionRecord* connection) {
    if (!connection) return;
    if (connection->kind == ConnectionStream) SocketClose(connection->streamSocket);
    if (connection->owner) {
        // A datagram server's socket stays open: it is the server's.
        RemoveServerClient(connection->owner, connection);
        return;
    }
    if (connection->kind == ConnectionDatagram) SocketClose(connection->sendSocket);
    ProgramHeapFree(connection);
}
