// POSIX side of the sockets layer (the host build): BSD sockets.
#include "runtime/socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {
// Stands in for WSAStartup's count, so that sockets need a start here too.
std::atomic<int32_t> gStarts{0};
std::atomic<bool> gFailNextStart{false};
// Our own reasons, kept apart from errno values.
thread_local SocketError gOwnError = SocketErrorNone;

int Descriptor(SocketHandle socket) {
    return static_cast<int>(socket - 1);
}
SocketHandle HandleOf(int descriptor) {
    return static_cast<SocketHandle>(descriptor) + 1;
}

void Fail(SocketError reason) {
    gOwnError = reason;
}
void ClearOwnError() {
    gOwnError = SocketErrorNone;
}

socklen_t AddressLength(const SocketAddress* address) {
    sa_family_t family;
    std::memcpy(&family, address->bytes, sizeof family);
    return family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}
} // namespace

SocketError SocketLastError() {
    if (gOwnError != SocketErrorNone) return gOwnError;
    switch (errno) {
    case 0:
        return SocketErrorNone;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
        return SocketErrorWouldBlock;
    case EINPROGRESS:
    case EALREADY:
        return SocketErrorInProgress;
    case ECONNABORTED:
        return SocketErrorConnectionAborted;
    case ECONNRESET:
    case EPIPE:
        return SocketErrorConnectionReset;
    case ENOTCONN:
        return SocketErrorNotConnected;
    case ESHUTDOWN:
        return SocketErrorShutdown;
    case EMSGSIZE:
        return SocketErrorMessageTooLong;
    case EADDRINUSE:
        return SocketErrorAddressInUse;
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
    static_assert(sizeof(sockaddr_in6) <= sizeof(SocketAddress::bytes));
    std::memset(out, 0, sizeof *out);
    sockaddr_in6 form{};
    form.sin6_family = AF_INET6;
    form.sin6_port = htons(port);
    std::memcpy(&form.sin6_addr, address, 16);
    std::memcpy(out->bytes, &form, sizeof form);
}

// There is no start-up step: sockets can be used when one can be made.
bool SocketsStart() {
    if (gFailNextStart.exchange(false)) return false;
    int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return false;
    ::close(probe);
    gStarts.fetch_add(1);
    return true;
}

void SocketsStop() {
    int32_t starts = gStarts.load();
    while (starts > 0 && !gStarts.compare_exchange_weak(starts, starts - 1)) {
    }
}

void SocketsFailNextStart() {
    gFailNextStart = true;
}

bool SocketResolverLoad(const char* /*library: the C library has the resolver*/) {
    return true;
}
void SocketResolverUnload() {}
bool SocketResolverAvailable() {
    return true;
}

SocketHandle SocketCreate(bool ipv6, int32_t kind) {
    if (gStarts.load() <= 0) {
        Fail(SocketErrorNotStarted);
        return NoSocket;
    }
    if (kind != SocketStream && kind != SocketDatagram) {
        Fail(SocketErrorOther);
        return NoSocket;
    }
    int type = kind == SocketStream ? SOCK_STREAM : SOCK_DGRAM;
    int descriptor = ::socket(ipv6 ? AF_INET6 : AF_INET, type | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        ClearOwnError();
        return NoSocket;
    }
    return HandleOf(descriptor);
}

void SocketClose(SocketHandle socket) {
    if (socket != NoSocket) ::close(Descriptor(socket));
}

bool SocketSetNonBlocking(SocketHandle socket, bool nonBlocking) {
    ClearOwnError();
    int flags = ::fcntl(Descriptor(socket), F_GETFL);
    if (flags < 0) return false;
    flags = nonBlocking ? flags | O_NONBLOCK : flags & ~O_NONBLOCK;
    return ::fcntl(Descriptor(socket), F_SETFL, flags) == 0;
}

int32_t SocketBytesWaiting(SocketHandle socket) {
    ClearOwnError();
    int count = 0;
    if (::ioctl(Descriptor(socket), FIONREAD, &count) != 0) return -1;
    return count;
}

bool SocketBind(SocketHandle socket, const SocketAddress* address) {
    ClearOwnError();
    int type = 0;
    socklen_t length = sizeof type;
    // Windows lets a listening socket take a port whose earlier connections
    // are still in TIME_WAIT; here that needs SO_REUSEADDR, which on Linux
    // still refuses a port that another socket is bound to.
    if (::getsockopt(Descriptor(socket), SOL_SOCKET, SO_TYPE, &type, &length) == 0 &&
        type == SOCK_STREAM) {
        int on = 1;
        ::setsockopt(Descriptor(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    return ::bind(Descriptor(socket), reinterpret_cast<const sockaddr*>(address->bytes),
                  AddressLength(address)) == 0;
}

bool SocketListen(SocketHandle socket, int32_t backlog) {
    ClearOwnError();
    return ::listen(Descriptor(socket), backlog) == 0;
}

SocketHandle SocketAccept(SocketHandle socket) {
    ClearOwnError();
    int descriptor = ::accept(Descriptor(socket), nullptr, nullptr);
    if (descriptor < 0) return NoSocket;
    ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
    return HandleOf(descriptor);
}

bool SocketConnect(SocketHandle socket, const SocketAddress* address) {
    ClearOwnError();
    return ::connect(Descriptor(socket), reinterpret_cast<const sockaddr*>(address->bytes),
                     AddressLength(address)) == 0;
}

// Waits up to timeoutMs (a negative time not at all) for the events; poll's
// result, with what happened in *happened.
static int PollOne(SocketHandle socket, short events, int32_t timeoutMs, short* happened) {
    ClearOwnError();
    pollfd entry{Descriptor(socket), events, 0};
    int ready;
    do
        ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    while (ready < 0 && errno == EINTR);
    *happened = entry.revents;
    return ready;
}

// A refused connect makes the socket writable here (on Windows it shows in
// the exception set instead), so writability counts only with no error.
bool SocketWaitConnected(SocketHandle socket, int32_t timeoutMs) {
    short happened = 0;
    if (PollOne(socket, POLLOUT, timeoutMs, &happened) <= 0 || !(happened & POLLOUT)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(Descriptor(socket), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return false;
    if (error != 0) errno = error;
    return error == 0;
}

int32_t SocketWaitReadable(SocketHandle socket, int32_t timeoutMs) {
    short happened = 0;
    int ready = PollOne(socket, POLLIN, timeoutMs, &happened);
    if (ready < 0) return -1;
    return ready > 0 ? 1 : 0;
}

int32_t SocketLocalPort(SocketHandle socket) {
    ClearOwnError();
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(Descriptor(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    return -1;
}

// recvmsg reports a datagram cut to the buffer with MSG_TRUNC, so an
// oversized one is dropped here as Winsock drops it with WSAEMSGSIZE.
int32_t SocketReceiveFrom(SocketHandle socket, void* buffer, int32_t size, uint32_t* address,
                          uint16_t* port) {
    ClearOwnError();
    if (size < 0) {
        Fail(SocketErrorOther);
        return -1;
    }
    sockaddr_storage sender{};
    iovec part{buffer, static_cast<size_t>(size)};
    msghdr message{};
    message.msg_name = &sender;
    message.msg_namelen = sizeof sender;
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    ssize_t count = ::recvmsg(Descriptor(socket), &message, 0);
    if (count < 0) return -1;
    if (message.msg_flags & MSG_TRUNC) {
        Fail(SocketErrorMessageTooLong);
        return -1;
    }
    if (sender.ss_family != AF_INET) {
        Fail(SocketErrorOther);
        return -1;
    }
    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(&sender);
    if (address) *address = ipv4->sin_addr.s_addr;
    if (port) *port = ntohs(ipv4->sin_port);
    return static_cast<int32_t>(count);
}

int32_t SocketReceive(SocketHandle socket, void* buffer, int32_t size, bool peek) {
    ClearOwnError();
    if (size < 0) {
        Fail(SocketErrorOther);
        return -1;
    }
    ssize_t count;
    do
        count = ::recv(Descriptor(socket), buffer, static_cast<size_t>(size), peek ? MSG_PEEK : 0);
    while (count < 0 && errno == EINTR);
    return count < 0 ? -1 : static_cast<int32_t>(count);
}

int32_t SocketSend(SocketHandle socket, const void* buffer, int32_t length) {
    ClearOwnError();
    if (length < 0) {
        Fail(SocketErrorOther);
        return -1;
    }
    ssize_t count = ::send(Descriptor(socket), buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    return count < 0 ? -1 : static_cast<int32_t>(count);
}

int32_t SocketSendTo(SocketHandle socket, const void* buffer, int32_t length, uint32_t address,
                     uint16_t port) {
    ClearOwnError();
    if (length < 0) {
        Fail(SocketErrorOther);
        return -1;
    }
    SocketAddress destination;
    SocketAddressIPv4(&destination, address, port);
    ssize_t count =
        ::sendto(Descriptor(socket), buffer, static_cast<size_t>(length), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(destination.bytes), sizeof(sockaddr_in));
    return count < 0 ? -1 : static_cast<int32_t>(count);
}

uint32_t SocketParseIPv4(const char* text) {
    return text ? ::inet_addr(text) : NoAddress;
}

// getaddrinfo rather than gethostbyname: the same answer, and safe to call
// from several threads.
uint32_t SocketLookupIPv4(const char* name) {
    if (!name) return NoAddress;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* results = nullptr;
    if (::getaddrinfo(name, nullptr, &hints, &results) != 0 || !results) return NoAddress;
    uint32_t address = NoAddress;
    for (addrinfo* result = results; result; result = result->ai_next) {
        if (result->ai_family == AF_INET && result->ai_addr) {
            address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeaddrinfo(results);
    return address;
}

bool SocketResolveIPv6(const char* name, bool takeLast, uint8_t out[16]) {
    if (!name) return false;
    addrinfo* results = nullptr;
    if (::getaddrinfo(name, nullptr, nullptr, &results) != 0 || !results) return false;
    bool found = false;
    for (addrinfo* result = results; result; result = result->ai_next) {
        if (result->ai_family != AF_INET6 || !result->ai_addr) continue;
        std::memcpy(out, &reinterpret_cast<const sockaddr_in6*>(result->ai_addr)->sin6_addr, 16);
        found = true;
        if (!takeLast) break;
    }
    ::freeaddrinfo(results);
    return found;
}
