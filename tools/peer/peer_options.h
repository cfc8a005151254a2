#pragma once
// The command line of q7700-peer, the stand-in for the device: what to
// listen to, how to answer, and what to send.
#include <cstdint>
#include <string>
#include <vector>

// The largest datagram IPv4 carries, and so the largest the peer sends.
constexpr int32_t PeerMaxDatagram = 65507;

enum class PeerAnswer { None, Echo, Fixed };
enum class PeerSend { None, Frame, Raw };

struct PeerOptions {
    bool help = false;
    bool json = false;
    bool listen = true;      // false when only sending
    int32_t port = 2048;     // listening port (0: any free one)
    std::string bindAddress; // dotted IPv4 address, empty for all interfaces
    PeerAnswer answer = PeerAnswer::None;
    std::string answerBytes;   // the fixed answer's message (Windows-1251)
    int32_t answerPort = -1;   // where answers go; -1: the listening port
    int64_t maxDatagrams = -1; // stop after this many; -1: never
    int64_t timeoutMs = -1;    // stop listening after this long; -1: never
    PeerSend send = PeerSend::None;
    std::string sendBytes;        // message of a frame, or a whole raw datagram
    std::string to = "127.0.0.1"; // where sends go: dotted address or name
    int32_t toPort = 2048;
    int64_t count = 1;
    int32_t rate = 100;     // datagrams per second
    bool freshPort = false; // a new source port for every datagram
};

// Parses the arguments (without the program name; UTF-8). False with a
// one-line reason in *error when they make no sense.
bool ParsePeerOptions(const std::vector<std::string>& arguments, PeerOptions* options,
                      std::string* error);

// The text of --help.
const char* PeerUsage();

// --- Pieces that the parser and the reports share -------------------------
// A text argument as Windows-1251 bytes, with the escapes \n \r \t \0,
// \\ (a backslash) and \xHH. False with a reason for unknown escapes and characters that
// Windows-1251 cannot hold.
bool ParseTextArgument(const std::string& utf8, std::string* bytes, std::string* error);
// Pairs of hexadecimal digits; blanks, ':', '-' and ',' between bytes are
// allowed. False with a reason otherwise.
bool ParseHexArgument(const std::string& text, std::string* bytes, std::string* error);
