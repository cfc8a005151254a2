// q7700-peer: a command-line stand-in for the Q7700-Ethernet device, on the
// program's own network library and frame format. See PeerUsage.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>

#include "app/frame.h"
#include "net/connection.h"
#include "net/network.h"
#include "runtime/memory.h"
#include "runtime/program_heap.h"
#include "runtime/socket.h"
#include "tools/peer/peer_console.h"
#include "tools/peer/peer_options.h"
#include "tools/peer/peer_report.h"

namespace {

using Clock = std::chrono::steady_clock;

// Senders whose last nonce is remembered; past this the memory starts over
// (a flood of spoofed senders must not grow the tool without end).
constexpr size_t kRememberedSenders = 4096;
// The listening socket takes any IPv4 datagram whole.
constexpr int32_t kReceiveBuffer = 65536;

struct Peer {
    explicit Peer(const PeerOptions& chosen) : options(chosen) {}
    const PeerOptions& options;
    SocketHandle listener = NoSocket;
    int32_t listenPort = 0;
    ConnectionRecord* sender = nullptr; // kept unless every datagram takes a fresh port
    std::map<uint32_t, int32_t> previousNonce;
    std::string buffer = std::string(kReceiveBuffer, '\0');
    int64_t received = 0;
    int64_t sent = 0;
    bool failed = false;
};

void Print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void PrintError(bool json, const std::string& message) {
    std::string line = ErrorReport(message, json);
    std::fputs(line.c_str(), json ? stdout : stderr);
    std::fflush(json ? stdout : stderr);
}

// A frame of the given message (the program's own format and nonce rule),
// or nothing when memory runs out.
bool MakeFrame(const std::string& message, std::string* datagram) {
    auto* frame = static_cast<const char*>(
        BuildFrameOfBytes(message.data(), static_cast<int32_t>(message.size())));
    if (!frame) return false;
    datagram->assign(frame, message.size() + FrameHeaderSize);
    MemoryFree(FrameBuffer);
    FrameBuffer = nullptr;
    return true;
}

// One datagram through a connection of the network library: the one kept,
// or a fresh one (a new source port) that is closed again at once.
bool SendDatagram(Peer& peer, ConnectionRecord* kept, const std::string& host, int32_t port,
                  const std::string& datagram) {
    ConnectionRecord* connection = kept ? kept : OpenConnection(host.c_str(), port, NetModeUdp);
    if (!connection) {
        PrintError(peer.options.json, "cannot send to " + host + ": no such address");
        return false;
    }
    int32_t result = SendData(connection, datagram.data(), static_cast<int32_t>(datagram.size()));
    if (!kept) CloseConnection(connection);
    if (result != static_cast<int32_t>(datagram.size())) {
        PrintError(peer.options.json, "sending " + std::to_string(datagram.size()) + " bytes to " +
                                          host + ":" + std::to_string(port) + " failed");
        return false;
    }
    return true;
}

bool SendNext(Peer& peer) {
    const PeerOptions& options = peer.options;
    std::string datagram = options.sendBytes;
    bool frame = options.send == PeerSend::Frame;
    if (frame && !MakeFrame(options.sendBytes, &datagram)) {
        PrintError(options.json, "no memory for the frame");
        return false;
    }
    ++peer.sent;
    if (!SendDatagram(peer, peer.sender, options.to, options.toPort, datagram)) return false;
    Print(SentReport(options.to, options.toPort, datagram, frame, options.json));
    return true;
}

void Answer(Peer& peer, const ReceivedDatagram& datagram) {
    const PeerOptions& options = peer.options;
    std::string message = options.answer == PeerAnswer::Echo
                              ? datagram.bytes.substr(FrameHeaderSize)
                              : options.answerBytes;
    std::string frame;
    if (!MakeFrame(message, &frame)) {
        PrintError(options.json, "no memory for the answer");
        return;
    }
    std::string host = AddressText(datagram.address);
    int32_t port = options.answerPort > 0 ? options.answerPort : peer.listenPort;
    if (SendDatagram(peer, nullptr, host, port, frame))
        Print(AnsweredReport(host, port, frame, options.json));
}

void ReceiveAndReport(Peer& peer) {
    ReceivedDatagram datagram{};
    int32_t length = SocketReceiveFrom(peer.listener, peer.buffer.data(), kReceiveBuffer,
                                       &datagram.address, &datagram.port);
    if (length < 0) return; // e.g. a report that an earlier send found nobody
    datagram.bytes.assign(peer.buffer.data(), static_cast<size_t>(length));
    auto known = peer.previousNonce.find(datagram.address);
    int32_t previous = known == peer.previousNonce.end() ? -1 : known->second;
    datagram.check = CheckFrame(datagram.bytes.data(), datagram.bytes.size(), previous);
    const FrameCheck& check = datagram.check;
    // A sender is a host: the program sends every frame from a new port.
    if (check.markerRight && check.lengthRight && check.reservedZero && check.flagRight) {
        if (peer.previousNonce.size() >= kRememberedSenders) peer.previousNonce.clear();
        peer.previousNonce[datagram.address] = check.nonce;
    }
    ++peer.received;
    Print(DatagramReport(datagram, peer.options.json));
    if (peer.options.answer != PeerAnswer::None && check.wellFormed) Answer(peer, datagram);
}

bool OpenListener(Peer& peer) {
    const PeerOptions& options = peer.options;
    std::string address = options.bindAddress.empty() ? "0.0.0.0" : options.bindAddress;
    peer.listener = SocketCreate(false, SocketDatagram);
    if (peer.listener == NoSocket) {
        PrintError(options.json, "cannot make a UDP socket");
        return false;
    }
    SocketAddress local;
    SocketAddressIPv4(&local, SocketParseIPv4(address.c_str()),
                      static_cast<uint16_t>(options.port));
    if (!SocketBind(peer.listener, &local)) {
        bool inUse = SocketLastError() == SocketErrorAddressInUse;
        PrintError(options.json,
                   inUse ? "port " + std::to_string(options.port) + " is in use by another program"
                         : "cannot listen on " + address + ":" + std::to_string(options.port));
        return false;
    }
    peer.listenPort = SocketLocalPort(peer.listener);
    Print(ListeningReport(address, peer.listenPort, options.json));
    return true;
}

int32_t MillisecondsUntil(Clock::time_point when, Clock::time_point now) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count();
    return static_cast<int32_t>(std::clamp<int64_t>(left + 1, 0, 500));
}

int Run(Peer& peer) {
    const PeerOptions& options = peer.options;
    if (options.listen && !OpenListener(peer)) return 1;
    bool sending = options.send != PeerSend::None;
    if (sending && !options.freshPort) {
        peer.sender = OpenConnection(options.to.c_str(), options.toPort, NetModeUdp);
        if (!peer.sender) {
            PrintError(options.json, "cannot send to " + options.to + ": no such address");
            return 1;
        }
    }
    Clock::time_point start = Clock::now();
    Clock::duration interval =
        std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(1)) / options.rate;
    Clock::time_point nextSend = start;
    Clock::time_point deadline = options.timeoutMs >= 0
                                     ? start + std::chrono::milliseconds(options.timeoutMs)
                                     : Clock::time_point::max();
    for (;;) {
        Clock::time_point now = Clock::now();
        bool moreToSend = sending && peer.sent < options.count;
        if (moreToSend && now >= nextSend) {
            if (!SendNext(peer)) peer.failed = true;
            nextSend += interval;
            continue;
        }
        bool listening =
            options.listen && (options.maxDatagrams < 0 || peer.received < options.maxDatagrams);
        if ((!listening && !moreToSend) || now >= deadline) break;
        Clock::time_point until = moreToSend ? std::min(nextSend, deadline) : deadline;
        int32_t waitMs = MillisecondsUntil(until, now);
        if (listening) {
            if (SocketWaitReadable(peer.listener, waitMs) == 1) ReceiveAndReport(peer);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
        }
    }
    Print(DoneReport(peer.received, peer.sent, options.json));
    return peer.failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    PeerConsoleInit();
    PeerOptions options;
    std::string error;
    if (!ParsePeerOptions(PeerArguments(argc, argv), &options, &error)) {
        std::fprintf(stderr, "q7700-peer: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(PeerUsage(), stdout);
        return 0;
    }
    if (!ProgramHeapCreate()) {
        PrintError(options.json, "no memory");
        return 1;
    }
    MemoryInit();
    ResetFrameBuilder();
    int status = 1;
    if (StartNetwork()) {
        Peer peer(options);
        status = Run(peer);
        SocketClose(peer.listener);
        CloseConnection(peer.sender);
    } else {
        PrintError(options.json, "the sockets layer is not available");
    }
    StopNetwork();
    MemoryEnd();
    ProgramHeapDestroy();
    return status;
}
