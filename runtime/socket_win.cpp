// Windows side of the sockets layer: Windows sockets 1.1 (wsock32), with
// the newer resolver of "ws2_32.dll" taken at run time from the table of
// dynamic calls.
#include "runtime/socket.h"

#include <winsock.h>

#include <cstring>

#include "runtime/dynamic_calls_win.h"

namespace {
constexpr int kFamilyIPv6 = 23; // AF_INET6 on Windows; winsock.h (1.1) has no IPv6

struct IPv6Form { // sockaddr_in6
    u_short family;
    u_short port;
    u_long flowInfo;
    unsigned char address[16];
    u_long scopeId;
};
static_assert(sizeof(IPv6Form) == 28);

LONG gFailNextStart;

SOCKET Native(SocketHandle socket) {
    return static_cast<SOCKET>(socket);
}
SocketHandle HandleOf(SOCKET socket) {
    return socket == INVALID_SOCKET ? NoSocket : static_cast<SocketHandle>(socket);
}

// A failure that Winsock does not report itself travels in the thread's own
// Winsock error as one that reads back as SocketErrorOther.
void FailOther() {
    WSASetLastError(WSAEINVAL);
}
void ClearOwnError() {
    WSASetLastError(0);
}

int AddressLength(const SocketAddress* address) {
    u_short family;
    std::memcpy(&family, address->bytes, sizeof family);
    return family == kFamilyIPv6 ? static_cast<int>(sizeof(IPv6Form))
                                 : static_cast<int>(sizeof(sockaddr_in));
}
} // namespace

SocketError SocketLastError() {
    switch (WSAGetLastError()) {
    case 0:
        return SocketErrorNone;
    case WSAEWOULDBLOCK:
        return SocketErrorWouldBlock;
    case WSAEINPROGRESS:
    case WSAEALREADY:
        return SocketErrorInProgress;
    case WSAECONNABORTED:
        return SocketErrorConnectionAborted;
    case WSAECONNRESET:
        return SocketErrorConnectionReset;
    case WSAENOTCONN:
        return SocketErrorNotConnected;
    case WSAESHUTDOWN:
        return SocketErrorShutdown;
    case WSAEMSGSIZE:
        return SocketErrorMessageTooLong;
    case WSAEADDRINUSE:
        return SocketErrorAddressInUse;
    case WSANOTINITIALISED:
        return SocketErrorNotStarted;
    default:
        return SocketErrorOther;
    }
}

void SocketAddressIPv4(SocketAddress* out, uint32_t address, uint16_t port) {
    std::memset(out, 0, sizeof *out);
    sockaddr_in form{};
    form.sin_family = AF_INET;
    form.sin_port = htons(port);
    form.sin_addr.s_addr = address;
    std::memcpy(out->bytes, &form, sizeof form);
}

void SocketAddressIPv6(SocketAddress* out, const uint8_t address[16], uint16_t port) {
    std::memset(out, 0, sizeof *out);
    IPv6Form form{};
    form.family = kFamilyIPv6;
    form.port = htons(port);
    std::memcpy(form.address, address, 16);
    std::memcpy(out->bytes, &form, sizeof form);
}

bool SocketsStart() {
    if (InterlockedExchange(&gFailNextStart, 0)) return false;
    WSADATA data;
    return WSAStartup(MAKEWORD(1, 1), &data) == 0;
}

void SocketsStop() {
    WSACleanup();
}

void SocketsFailNextStart() {
    InterlockedExchange(&gFailNextStart, 1);
}

bool SocketResolverLoad(const char* library) {
    LoadRuntimeLibrary(RuntimeLibrary::Resolver, library);
    return SocketResolverAvailable();
}

void SocketResolverUnload() {
    ReleaseRuntimeLibrary(RuntimeLibrary::Resolver);
}

bool SocketResolverAvailable() {
    // It counts only when all three of its procedures are there.
    const DynamicCalls& calls = Dynamic();
    return calls.getaddrinfo && calls.freeaddrinfo && calls.getnameinfo;
}

SocketHandle SocketCreate(bool ipv6, int32_t kind) {
    ClearOwnError();
    if (kind != SocketStream && kind != SocketDatagram) {
        FailOther();
        return NoSocket;
    }
    int type = kind == SocketStream ? SOCK_STREAM : SOCK_DGRAM;
    return HandleOf(::socket(ipv6 ? kFamilyIPv6 : AF_INET, type, 0));
}

void SocketClose(SocketHandle socket) {
    if (socket != NoSocket) closesocket(Native(socket));
}

bool SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    ClearOwnError();
    u_long argument = nonBlocking ? 1 : 0;
    return ioctlsocket(Native(socket), FIONBIO, &argument) == 0;
}

int32_t SocketBytesWaiting(SocketHandle socket) {
    ClearOwnError();
    u_long count = 0;
    if (ioctlsocket(Native(socket), FIONREAD, &count) != 0) return -1;
    return static_cast<int32_t>(count);
}

bool SocketBind(SocketHandle socket, const SocketAddress* address) {
    ClearOwnError();
    return bind(Native(socket), reinterpret_cast<const sockaddr*>(address->bytes),
                AddressLength(address)) == 0;
}

bool SocketListen(SocketHandle socket, int32_t backlog) {
    ClearOwnError();
    return listen(Native(socket), backlog) == 0;
}

SocketHandle SocketAccept(SocketHandle socket) {
    ClearOwnError();
    return HandleOf(accept(Native(socket), nullptr, nullptr));
}

bool SocketConnect(SocketHandle socket, const SocketAddress* address) {
    ClearOwnError();
    return connect(Native(socket), reinterpret_cast<const sockaddr*>(address->bytes),
                   AddressLength(address)) == 0;
}

static timeval TimeLimit(int32_t timeoutMs) {
    if (timeoutMs < 0) timeoutMs = 0;
    timeval limit;
    limit.tv_sec = timeoutMs / 1000;
    limit.tv_usec = (timeoutMs % 1000) * 1000;
    return limit;
}

// A refused connect shows in the exception set, never in the write set.
bool SocketWaitConnected(SocketHandle socket, int32_t timeoutMs) {
    ClearOwnError();
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(Native(socket), &writable);
    FD_SET(Native(socket), &failed);
    timeval limit = TimeLimit(timeoutMs);
    select(0, nullptr, &writable, &failed, &limit);
    return FD_ISSET(Native(socket), &writable) != 0;
}

int32_t SocketWaitReadable(SocketHandle socket, int32_t timeoutMs) {
    ClearOwnError();
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Native(socket), &readable);
    timeval limit = TimeLimit(timeoutMs);
    int ready = select(0, &readable, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) return -1;
    return ready > 0 && FD_ISSET(Native(socket), &readable) ? 1 : 0;
}

int32_t SocketLocalPort(SocketHandle socket) {
    ClearOwnError();
    IPv6Form address{}; // large enough for either form
    int length = sizeof address;
    if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return -1;
    return ntohs(address.port); // the port sits at the same place in both forms
}

// Winsock drops the rest of a datagram that does not fit and reports
// WSAEMSGSIZE; that is the contract on every platform.
int32_t SocketReceiveFrom(SocketHandle socket, void* buffer, int32_t size, uint32_t* address,
                          uint16_t* port) {
    ClearOwnError();
    if (size < 0) {
        FailOther();
        return -1;
    }
    // Room for an IPv6 sender, so that such a datagram is taken and dropped
    // rather than left in the queue in front of every later one.
    IPv6Form sender{};
    int senderLength = sizeof sender;
    int count = recvfrom(Native(socket), static_cast<char*>(buffer), size, 0,
                         reinterpret_cast<sockaddr*>(&sender), &senderLength);
    if (count == SOCKET_ERROR) return -1;
    if (sender.family != AF_INET) {
        FailOther();
        return -1;
    }
    sockaddr_in ipv4;
    std::memcpy(&ipv4, &sender, sizeof ipv4);
    if (address) *address = ipv4.sin_addr.s_addr;
    if (port) *port = ntohs(ipv4.sin_port);
    return count;
}

int32_t SocketReceive(SocketHandle socket, void* buffer, int32_t size, bool peek) {
    ClearOwnError();
    if (size < 0) {
        FailOther();
        return -1;
    }
    int count = recv(Native(socket), static_cast<char*>(buffer), size, peek ? MSG_PEEK : 0);
    return count == SOCKET_ERROR ? -1 : count;
}

int32_t SocketSend(SocketHandle socket, const void* buffer, int32_t length) {
    ClearOwnError();
    if (length < 0) {
        FailOther();
        return -1;
    }
    int count = send(Native(socket), static_cast<const char*>(buffer), length, 0);
    return count == SOCKET_ERROR ? -1 : count;
}

int32_t SocketSendTo(SocketHandle socket, const void* buffer, int32_t length, uint32_t address,
                     uint16_t port) {
    ClearOwnError();
    if (length < 0) {
        FailOther();
        return -1;
    }
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = address;
    int count = sendto(Native(socket), static_cast<const char*>(buffer), length, 0,
                       reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
    return count == SOCKET_ERROR ? -1 : count;
}

uint32_t SocketParseIPv4(const char* text) {
    return text ? inet_addr(text) : NoAddress;
}

uint32_t SocketLookupIPv4(const char* name) {
    if (!name) return NoAddress;
    hostent* host = gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || !host->h_addr_list || !host->h_addr_list[0])
        return NoAddress;
    uint32_t address;
    std::memcpy(&address, host->h_addr_list[0], sizeof address);
    return address;
}

bool SocketResolveIPv6(const char* name, bool takeLast, uint8_t out[16]) {
    if (!name || !SocketResolverAvailable()) return false;
    const DynamicCalls& calls = Dynamic();
    ResolverResult* results = nullptr;
    if (calls.getaddrinfo(name, nullptr, nullptr, &results) != 0 || !results) return false;
    bool found = false;
    for (ResolverResult* result = results; result; result = result->next) {
        if (result->family != kFamilyIPv6 || !result->address ||
            result->addressLength < sizeof(IPv6Form))
            continue;
        IPv6Form form;
        std::memcpy(&form, result->address, sizeof form);
        std::memcpy(out, form.address, 16);
        found = true;
        if (!takeLast) break;
    }
    calls.freeaddrinfo(results);
    return found;
}
