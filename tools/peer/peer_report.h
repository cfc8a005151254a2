#pragma once
// What q7700-peer prints: a few lines per event for people, or one JSON
// object per line for scripts (--json). Texts on the wire are
// Windows-1251; everything printed is UTF-8.
#include <cstdint>
#include <string>

#include "app/frame.h"

// "a.b.c.d" of an IPv4 address in network order.
std::string AddressText(uint32_t address);
// The bytes as hexadecimal: "10 07 00" for people, "100700" for JSON.
std::string HexText(const std::string& bytes, bool spaced);
// Windows-1251 bytes as UTF-8 with control bytes escaped (\n \r \t \0
// \xHH), and \ and " escaped, for people.
std::string EscapedText(const std::string& bytes);
// A JSON string literal (quotes included) of UTF-8 text, and of
// Windows-1251 bytes (zero bytes included).
std::string JsonString(const std::string& utf8);
std::string JsonText(const std::string& bytes);

// One received datagram.
struct ReceivedDatagram {
    uint32_t address;
    uint16_t port;
    std::string bytes;
    FrameCheck check;
};
// Its report, ending in a newline.
std::string DatagramReport(const ReceivedDatagram& datagram, bool json);

// The other events.
std::string ListeningReport(const std::string& address, int32_t port, bool json);
std::string SentReport(const std::string& to, int32_t port, const std::string& datagram, bool frame,
                       bool json);
std::string AnsweredReport(const std::string& to, int32_t port, const std::string& datagram,
                           bool json);
std::string ErrorReport(const std::string& message, bool json);
std::string DoneReport(int64_t received, int64_t sent, bool json);
