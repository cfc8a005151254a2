#pragma once
// Connection records and client connections. One record type serves a
// server's clients (server.h: accepted stream connections and datagram
// senders) and the caller's own client connections; SendData and
// CloseConnection work on both.
#include <cstdint>

#include "runtime/socket.h"
#include "runtime/text.h"

struct ServerRecord;

constexpr int32_t ConnectionStream = 1;
constexpr int32_t ConnectionDatagram = 2;

struct ConnectionRecord {
    int32_t kind;         // ConnectionStream or ConnectionDatagram
    uint32_t peerAddress; // datagram: the peer's IPv4 address, network order
    union {
        SocketHandle streamSocket; // stream: the connected socket
        intptr_t datagramPort;     // datagram: the peer's port (its low 16 bits count)
    };
    ServerRecord* owner; // the server of a server's client; null for a client connection
    // Datagram: the socket it sends from. A client connection's own; for a
    // server's client, its server's socket, so that a reply leaves from the
    // port the peer sent to.
    SocketHandle sendSocket;
    unsigned char* unreadBlock; // datagram client of a server: bytes not read yet, or null
    int32_t unreadCount;
    unsigned char* readPosition; // first unread byte inside unreadBlock
    uint64_t lastActivity;       // datagram client of a server: when its latest datagram came
};

// A client connection to host:port, or null. host: a dotted IPv4 address or
// a host name (with NetFlagIPv6, anything the newer resolver takes). mode:
// NetModeTcp (0 counts as it) or NetModeUdp, optionally with NetFlagIPv6.
// timeoutMs > 0 bounds a stream connect; localAddress/localPort bind a
// stream connection's local end (empty/0 for none) and are ignored for
// datagrams. A datagram connection sends from a port the system picks and
// needs nobody listening. The caller owns the result: CloseConnection.
ConnectionRecord* OpenConnectionEx(const char* host, int32_t port, int32_t mode, int32_t timeoutMs,
                                   const char* localAddress, int32_t localPort);
// OpenConnectionEx with no time-out and no local binding.
ConnectionRecord* OpenConnection(const char* host, int32_t port, int32_t mode);
// Texts of this system, as the callers hold them.
ConnectionRecord* OpenConnection(const Text& host, int32_t port, int32_t mode);

// One send: the platform's result, the count sent or -1. A datagram goes to
// the record's peer (only the low 16 bits of its port count); a server's
// datagram client is answered from the server's own socket and port.
int32_t SendData(ConnectionRecord* connection, const void* buffer, int32_t length);
// Closes a connection. A server's client leaves its server's list (a
// datagram server keeps its socket); a client connection is freed.
void CloseConnection(ConnectionRecord* connection);
