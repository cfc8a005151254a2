// What the peer prints about a datagram and its other events, for people
// and as JSON.
#include "tools/peer/peer_report.h"

#include <gtest/gtest.h>

#include "runtime/socket.h"

namespace {

// A frame with nonce 7 and the message "abc", and datagrams made from it.
const std::string kFrame("\x10\x03\x00\x07\x10"
                         "abc",
                         8);
std::string With(size_t at, char byte) {
    std::string bytes = kFrame;
    bytes[at] = byte;
    return bytes;
}

struct ReportCase {
    std::string bytes;
    int32_t previousNonce;
    bool json;
    const char* part;
};

TEST(PeerReport, DatagramReportsNameWhatTheCheckFound) {
    const std::string cyrillic("\x10\x08\x00\xC8\xD0\xCF\xF0\xE8\xE2\xE5\xF2\n\r", 13);
    const std::string zero("\x10\x03\x00\x01\x10"
                           "A\0B",
                           8);
    const ReportCase kCases[] = {
        {cyrillic, -1, true,
         "\"from\":\"127.0.0.1\",\"port\":40000,\"length\":13,\"header\":\"100800c8d0\","
         "\"frame\":true,\"nonce\":200"},
        {cyrillic, -1, true,
         "\"text\":\"Привет\\n\\r\",\"shown\":\"Привет\\n\\r\",\"hex\":\"cff0e8e2e5f20a0d\"}"},
        {cyrillic, -1, false,
         "127.0.0.1:40000  13 bytes  header 10 08 00 C8 D0\n    frame: well-formed, nonce 200\n"
         "    text: \"Привет\\n\\r\"\n    hex:  CF F0 E8 E2 E5 F2 0A 0D\n"},
        {kFrame, 7, false, "NOT well-formed (nonce 7 repeats this sender's previous one)"},
        {With(0, 0x11), -1, false, "byte 0 is 0x11, not 0x10"},
        {With(1, 9), -1, false, "byte 1 is 9, the message has 3 bytes"},
        {With(2, 1), -1, false, "byte 2 is 0x01, not 0"},
        {With(4, 0), -1, false, "byte 4 is 0x00, nonce 7 needs 0x10"},
        {With(4, 0), -1, true,
         "\"marker\":true,\"length_byte\":true,\"reserved\":true,\"flag\":false"},
        {"ab", -1, false, "only 2 bytes, a frame has at least 5"},
        {"", -1, true, "\"header\":\"\",\"frame\":false,\"nonce\":-1"},
        {"", -1, false, "header (none)"},
        {zero, -1, true, "\"payload_zero\":true,\"text\":\"A\\u0000B\",\"shown\":\"A\""},
        {zero, -1, false, "; the message holds a zero byte\n    text: \"A\\0B\""},
        {kFrame + std::string(200, 'z'), -1, false, "zzz\" ... (75 more)\n"}};
    for (const ReportCase& c : kCases) {
        SCOPED_TRACE(c.part);
        ReceivedDatagram datagram{SocketParseIPv4("127.0.0.1"), 40000, c.bytes,
                                  CheckFrame(c.bytes.data(), c.bytes.size(), c.previousNonce)};
        std::string report = DatagramReport(datagram, c.json);
        EXPECT_NE(report.find(c.part), std::string::npos) << report;
        EXPECT_EQ(report.back(), '\n');
        EXPECT_TRUE(!c.json || report.find('\n') == report.size() - 1) << report; // one line
    }
}

// Control bytes are escaped for people and for JSON; what the peer program
// prints as it runs is checked by its own tests, these lines only here.
TEST(PeerReport, EscapesAndEventLines) {
    const std::pair<std::string, std::string> kCases[] = {
        {EscapedText(std::string("a\x01\x7f\"\\\x98\t\0z", 9)), "a\\x01\\x7F\\\"\\\\\\x98\\t\\0z"},
        {EscapedText("\xC0\xDF\xFF"), "АЯя"},
        {JsonText(std::string("\x01\x7f\"\\\xC0\t", 6)), "\"\\u0001\\u007f\\\"\\\\А\\t\""},
        {ListeningReport("0.0.0.0", 2048, false), "listening on 0.0.0.0:2048 (UDP)\n"},
        {AnsweredReport("h", 1, kFrame, false), "answered 8 bytes to h:1 (frame, nonce 7)\n"},
        {SentReport("h", 1, "xy", false, false), "sent 2 bytes to h:1 (raw)\n"},
        {ErrorReport("a \"b\"", true), "{\"event\":\"error\",\"message\":\"a \\\"b\\\"\"}\n"}};
    for (const auto& [text, expected] : kCases)
        EXPECT_EQ(text, expected);
}

} // namespace
