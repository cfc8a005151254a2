#pragma once
// The sockets layer under the network library and the tools: Windows
// sockets 1.1 in socket_win.cpp, BSD sockets in socket_posix.cpp. Portable
// code sees only what is declared here. Addresses are IPv4 values in
// network order (the bytes a.b.c.d in memory order); ports are host order.
// A failed call returns its failure value and leaves the reason for
// SocketLastError on the calling thread.
#include <cstdint>

// A socket; NoSocket (0) means none. On POSIX the handle is the descriptor
// plus one, so that descriptor 0 still gives a non-zero handle: records use
// their socket as their in-use marker.
using SocketHandle = intptr_t;
constexpr SocketHandle NoSocket = 0;

// Socket kinds, numbered as the network library's mode words.
constexpr int32_t SocketStream = 1;
constexpr int32_t SocketDatagram = 2;

// inet_addr's answer for a text that is not a dotted address, and also the
// limited-broadcast address 255.255.255.255.
constexpr uint32_t NoAddress = 0xFFFFFFFFu;

// Why the last call on this thread failed, in the few classes callers act on.
enum SocketError : int32_t {
    SocketErrorNone = 0,
    SocketErrorWouldBlock, // a non-blocking socket has nothing to give now
    SocketErrorInProgress, // a non-blocking connect is under way
    SocketErrorConnectionAborted,
    SocketErrorConnectionReset,
    SocketErrorNotConnected,
    SocketErrorShutdown,
    SocketErrorMessageTooLong, // a datagram did not fit the buffer and was dropped
    SocketErrorAddressInUse,
    SocketErrorNotStarted, // SocketsStart has not succeeded
    SocketErrorOther,
};
SocketError SocketLastError();

// A socket address with room for the IPv6 form, in the platform's layout.
struct SocketAddress {
    alignas(4) unsigned char bytes[28];
};
// IPv4 form: family, port, address, 8 zero bytes (16 bytes used).
void SocketAddressIPv4(SocketAddress* out, uint32_t address, uint16_t port);
// IPv6 form: family, port, flow 0, the 16-byte address, scope 0.
void SocketAddressIPv6(SocketAddress* out, const uint8_t address[16], uint16_t port);

// --- Start and end --------------------------------------------------------
// Starts the sockets layer for this process (Windows: WSAStartup for
// version 1.1). Each successful start needs one SocketsStop. Without a
// start, SocketCreate fails with SocketErrorNotStarted on every platform.
bool SocketsStart();
void SocketsStop();
// Test hook: the next SocketsStart fails as if sockets were unavailable.
void SocketsFailNextStart();

// The newer resolver (getaddrinfo and friends). On Windows it is looked up
// at run time in `library` ("ws2_32.dll" normally) and is present only when
// getaddrinfo, freeaddrinfo and getnameinfo are all found; on POSIX it is
// part of the C library and `library` is not used. True when present.
bool SocketResolverLoad(const char* library);
void SocketResolverUnload();
bool SocketResolverAvailable();

// --- Sockets ---------------------------------------------------------------
// A socket of the kind (SocketStream or SocketDatagram), IPv4 or IPv6, or
// NoSocket. The socket starts in blocking mode.
SocketHandle SocketCreate(bool ipv6, int32_t kind);
// Closes a socket; NoSocket does nothing.
void SocketClose(SocketHandle socket);
bool SocketSetNonBlocking(SocketHandle socket, bool nonBlocking);
// Bytes waiting to be read (FIONREAD; for a datagram socket the platform's
// own count), or -1.
int32_t SocketBytesWaiting(SocketHandle socket);
// Binds to an address made by SocketAddressIPv4/IPv6. A stream socket may
// take a port whose old connections are still closing (as on Windows); a
// port that another socket has bound fails with SocketErrorAddressInUse.
bool SocketBind(SocketHandle socket, const SocketAddress* address);
bool SocketListen(SocketHandle socket, int32_t backlog);
// The next pending connection, or NoSocket (nothing pending, or an error).
// The new socket's blocking mode is the platform's: set it explicitly.
SocketHandle SocketAccept(SocketHandle socket);
// True when connected; false with SocketErrorInProgress or
// SocketErrorWouldBlock when a non-blocking connect is under way.
bool SocketConnect(SocketHandle socket, const SocketAddress* address);
// After a non-blocking connect: waits up to timeoutMs for the connection.
// True only when the socket became writable with the connection made.
bool SocketWaitConnected(SocketHandle socket, int32_t timeoutMs);
// Waits up to timeoutMs (0: just looks) for something to read: 1 when
// there is, 0 when the time ran out, -1 on error.
int32_t SocketWaitReadable(SocketHandle socket, int32_t timeoutMs);
// The local port the socket is bound to (host order): 0 or -1 before the
// system has given it one (platforms differ), -1 on error.
int32_t SocketLocalPort(SocketHandle socket);

// --- Data --------------------------------------------------------------------
// One datagram into buffer: its length (0 for an empty datagram), or -1.
// A datagram longer than size is dropped whole and fails with
// SocketErrorMessageTooLong, on every platform. A datagram from a sender that
// is not IPv4 is dropped too. address/port receive the sender.
int32_t SocketReceiveFrom(SocketHandle socket, void* buffer, int32_t size, uint32_t* address,
                          uint16_t* port);
// One recv: the count, 0 when the peer closed, -1 on error (nothing waiting
// on a non-blocking socket is SocketErrorWouldBlock). peek leaves the bytes.
int32_t SocketReceive(SocketHandle socket, void* buffer, int32_t size, bool peek);
// One send on a connected socket: the count sent, or -1. Never raises a
// signal when the peer has gone.
int32_t SocketSend(SocketHandle socket, const void* buffer, int32_t length);
// One datagram to an IPv4 address: the count sent, or -1.
int32_t SocketSendTo(SocketHandle socket, const void* buffer, int32_t length, uint32_t address,
                     uint16_t port);

// --- Names ---------------------------------------------------------------------
// inet_addr: the address of a dotted text (Winsock's forms), else NoAddress.
uint32_t SocketParseIPv4(const char* text);
// The first IPv4 address the system's name lookup gives, else NoAddress.
uint32_t SocketLookupIPv4(const char* name);
// An IPv6 address for a name or address text through the newer resolver:
// the first (or, with takeLast, the last) IPv6 result. False when the
// resolver is missing or nothing IPv6 comes back.
bool SocketResolveIPv6(const char* name, bool takeLast, uint8_t out[16]);
