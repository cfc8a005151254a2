#include "net/server.h"

#include <cstring>

#include "net/network.h"
#include "runtime/program_heap.h"

static ServerRecord* FindServer(ObjectNumber number) {
    ObjectRegistry* servers = Network()->servers;
    return servers ? static_cast<ServerRecord*>(FindObject(servers, number)) : nullptr;
}

// The server's bound address: all interfaces, or the one asked for. False
// when the text names no address of the socket's family.
static bool LocalAddress(SocketAddress* out, bool ipv6, uint16_t port, const char* bindAddress) {
    bool given = bindAddress && *bindAddress;
    if (!ipv6) {
        uint32_t address = given ? SocketParseIPv4(bindAddress) : 0;
        // Linux would bind an unparsable text's all-ones value (broadcast);
        // refuse it here on every platform.
        if (address == NoAddress) return false;
        SocketAddressIPv4(out, address, port);
        return true;
    }
    uint8_t address[16] = {};
    // A name that cannot be resolved must not quietly widen the server to
    // every interface.
    if (given && (!Network()->newerResolver || !SocketResolveIPv6(bindAddress, true, address)))
        return false;
    SocketAddressIPv6(out, address, port);
    return true;
}

// A bound (and for streams listening) non-blocking socket, or NoSocket.
static SocketHandle OpenServerSocket(ServerRecord* server, int32_t port, int32_t mode,
                                     const char* bindAddress) {
    if (static_cast<uint32_t>(port) > 65535) return NoSocket;
    bool ipv6 = (mode & NetFlagIPv6) != 0;
    mode &= ~NetFlagIPv6;
    if (mode == 0) mode = NetModeTcp;
    if (mode != NetModeTcp && mode != NetModeUdp) return NoSocket;
    SocketHandle socket = SocketCreate(ipv6, mode);
    if (socket == NoSocket) return NoSocket;
    bool ready =
        SocketSetNonBlocking(socket, true) &&
        LocalAddress(&server->localAddress, ipv6, static_cast<uint16_t>(port), bindAddress) &&
        SocketBind(socket, &server->localAddress) &&
        (mode != NetModeTcp || SocketListen(socket, 100));
    if (!ready) {
        SocketClose(socket);
        return NoSocket;
    }
    server->socketType = static_cast<int16_t>(mode);
    server->ipv6 = ipv6 ? 1 : 0;
    return socket;
}

intptr_t OpenServer(ObjectNumber number, int32_t port, int32_t mode, const char* bindAddress) {
    ObjectRegistry* servers = Network()->servers;
    if (!servers) return 0;
    // Closes the server that had this number, if any, through CloseServer.
    auto* server = static_cast<ServerRecord*>(ObtainObject(servers, number));
    if (!server) return 0;
    ObjectNumber ownNumber =
        number == DynamicNumber ? reinterpret_cast<ObjectNumber>(server) : number;
    SocketHandle socket = OpenServerSocket(server, port, mode, bindAddress);
    if (socket == NoSocket) {
        ReleaseObject(servers, ownNumber); // empty again, or freed when dynamic
        return 0;
    }
    server->socket = socket;
    return number == DynamicNumber ? ownNumber : socket;
}

void RemoveServerClient(ServerRecord* server, ConnectionRecord* client) {
    if (client->kind == ConnectionDatagram)
        RemoveDatagramClient(server, client);
    else
        RemoveListRecord(&server->clients, client);
}

void CloseServer(ObjectNumber number) {
    ObjectRegistry* servers = Network()->servers;
    if (!servers) return;
    if (number == DynamicNumber) {
        FreeAllObjects(servers); // calls back here for every server
        return;
    }
    ServerRecord* server = FindServer(number);
    if (!server) return;
    while (auto* client = static_cast<ConnectionRecord*>(ListFirst(&server->clients))) {
        if (client->kind == ConnectionStream) SocketClose(client->streamSocket);
        RemoveServerClient(server, client);
    }
    ReleaseDatagramClients(server);
    SocketClose(server->socket);
    ReleaseObject(servers, number);
}

// Pass 1 for a stream server: one accept.
static int32_t AcceptOne(ServerRecord* server) {
    SocketHandle accepted = SocketAccept(server->socket);
    if (accepted == NoSocket) return NetEventNone;
    // Windows hands on the listener's non-blocking mode; POSIX does not.
    auto* client = static_cast<ConnectionRecord*>(
        SocketSetNonBlocking(accepted, true)
            ? AddListRecord(&server->clients, sizeof(ConnectionRecord))
            : nullptr);
    if (!client) {
        SocketClose(accepted);
        return NetEventNone;
    }
    client->kind = ConnectionStream;
    client->streamSocket = accepted;
    client->owner = server;
    Network()->lastEventClient = client;
    return NetEventConnect;
}

// Pass 1 for a datagram server: one datagram, kept for its sender.
static int32_t ReceiveOne(ServerRecord* server) {
    unsigned char datagram[ServerDatagramSize];
    uint32_t address = 0;
    uint16_t port = 0;
    int32_t length =
        SocketReceiveFrom(server->socket, datagram, ServerDatagramSize, &address, &port);
    // Nothing waiting, an error, an oversized datagram or an empty one.
    if (length <= 0) return NetEventNone;
    ConnectionRecord* client = KeepDatagram(server, address, port, datagram, length);
    if (!client) return NetEventNone; // dropped: no room, past the bound, or no memory
    Network()->lastEventClient = client;
    return NetEventData;
}

// Pass 2 for a stream server: an 8-byte peek at each client, newest first.
static int32_t PeekClients(ServerRecord* server) {
    unsigned char scratch[8];
    for (void* p = ListFirst(&server->clients); p; p = ListNext(p)) {
        auto* client = static_cast<ConnectionRecord*>(p);
        int32_t result = PeekConnection(client->streamSocket, sizeof scratch, scratch);
        if (result == 0) continue;
        Network()->lastEventClient = client;
        if (result != -2) return NetEventData;
        SocketClose(client->streamSocket);
        RemoveServerClient(server, client);
        return NetEventDisconnect;
    }
    return NetEventNone;
}

int32_t PollServerEvents() {
    ObjectRegistry* servers = Network()->servers;
    if (!servers) return NetEventNone;
    for (int pass = 1; pass <= 2; ++pass) {
        ObjectNumber number;
        BeginObjectScan(servers);
        while (auto* server = static_cast<ServerRecord*>(NextObject(servers, &number))) {
            if (server->socket == NoSocket) continue;
            int32_t event = NetEventNone;
            if (pass == 1)
                event = server->socketType == NetModeTcp ? AcceptOne(server) : ReceiveOne(server);
            else if (server->socketType == NetModeTcp)
                event = PeekClients(server);
            if (event != NetEventNone) {
                EndObjectScan(servers);
                return event;
            }
        }
    }
    return NetEventNone;
}

ConnectionRecord* LastEventClient() {
    return Network()->lastEventClient;
}

int32_t ReceiveData(ConnectionRecord* connection, void* buffer, int32_t length) {
    if (!connection || !buffer || length < 1) return 0;
    if (connection->kind == ConnectionStream)
        return SocketReceive(connection->streamSocket, buffer, length, false);
    if (connection->kind == ConnectionDatagram)
        return ReadDatagramBytes(connection, buffer, length);
    return 0;
}

int32_t PeekConnection(SocketHandle socket, int32_t size, void* buffer) {
    if (size == -1) size = SocketBytesWaiting(socket);
    if (size <= 0 || !buffer) return 0;
    int32_t result = SocketReceive(socket, buffer, size, true);
    if (result > 0) return result;
    if (result == 0) return -2; // orderly close by the peer
    switch (SocketLastError()) {
    case SocketErrorConnectionAborted:
    case SocketErrorConnectionReset:
    case SocketErrorNotConnected:
    case SocketErrorShutdown:
        return -2;
    default:
        return 0; // nothing waiting, or an error that may pass
    }
}

int32_t ServerLocalPort(ObjectNumber number) {
    ServerRecord* server = FindServer(number);
    return server ? SocketLocalPort(server->socket) : -1;
}
