// What the peer prints about a datagram and its other events, for people
// and as JSON. How the message's bytes are escaped in both, and that the
// JSON report is one line, is the model of tests/fuzz/fuzz_frame.cpp, whose
// seeds hold every kind of byte.
#include "tools/peer/peer_report.h"

#include <gtest/gtest.h>

#include "runtime/socket.h"

namespace {

using namespace std::string_literals;

struct ReportCase {
    std::string bytes;
    int32_t previousNonce;
    std::string people, json; // parts of the two reports
};

TEST(PeerReport, DatagramReportsNameWhatTheCheckFound) {
    const ReportCase kCases[] = {
        {"\x10\x08\x00\xC8\xD0\xCF\xF0\xE8\xE2\xE5\xF2\n\r"s, -1,
         "127.0.0.1:40000  13 bytes  header 10 08 00 C8 D0\n    frame: well-formed, nonce 200\n"
         "    text: \"Привет\\n\\r\"\n    hex:  CF F0 E8 E2 E5 F2 0A 0D\n",
         "{\"event\":\"datagram\",\"from\":\"127.0.0.1\",\"port\":40000,\"length\":13,"
         "\"header\":\"100800c8d0\",\"frame\":true,\"nonce\":200,\"checks\":{\"length_ok\":true,"
         "\"marker\":true,\"length_byte\":true,\"reserved\":true,\"flag\":true,\"nonce_fresh\":"
         "true},\"payload_zero\":false,\"text\":\"Привет\\n\\r\",\"shown\":\"Привет\\n\\r\","
         "\"hex\":\"cff0e8e2e5f20a0d\"}\n"},
        // A frame of nonce 7 and the message "abc" with faults.
        {"\x11\x03\x01\x07\x10"s + "abc", 7,
         "NOT well-formed (byte 0 is 0x11, not 0x10; byte 2 is 0x01, not 0; nonce 7 repeats "
         "this sender's previous one)\n",
         "\"marker\":false,\"length_byte\":true,\"reserved\":false,\"flag\":true,"
         "\"nonce_fresh\":false}"},
        {"\x10\x09\x00\x07\x00"s + "abc", -1,
         "(byte 1 is 9, the message has 3 bytes; byte 4 is 0x00, nonce 7 needs 0x10)\n",
         "\"marker\":true,\"length_byte\":false,\"reserved\":true,\"flag\":false,"
         "\"nonce_fresh\":true}"},
        {"ab", -1, "NOT well-formed (only 2 bytes, a frame has at least 5)\n",
         "\"header\":\"6162\",\"frame\":false,\"nonce\":-1,\"checks\":{\"length_ok\":false"},
        {"\x10\x03\x00\x01\x10"s + "A\0B"s, -1, "nonce 1; the message holds a zero byte\n",
         "\"payload_zero\":true"},
        {"\x10\xCB\x00\x07\x10"s + std::string(203, 'z'), -1, "zzz\" ... (75 more)\n    hex:  7A",
         "\"length\":208"}};
    for (const ReportCase& c : kCases) {
        SCOPED_TRACE(c.people);
        ReceivedDatagram datagram{SocketParseIPv4("127.0.0.1"), 40000, c.bytes,
                                  CheckFrame(c.bytes.data(), c.bytes.size(), c.previousNonce)};
        std::string people = DatagramReport(datagram, false), json = DatagramReport(datagram, true);
        EXPECT_NE(people.find(c.people), std::string::npos) << people;
        EXPECT_NE(json.find(c.json), std::string::npos) << json;
    }
}

// The other events, as the peer program's own tests do not see them.
TEST(PeerReport, EventLines) {
    EXPECT_EQ(ListeningReport("0.0.0.0", 2048, false), "listening on 0.0.0.0:2048 (UDP)\n");
    EXPECT_EQ(AnsweredReport("h", 1, "\x10\x00\x00\x07\x10"s, false),
              "answered 5 bytes to h:1 (frame, nonce 7)\n");
    EXPECT_EQ(SentReport("h", 1, "xy", false, false), "sent 2 bytes to h:1 (raw)\n");
    EXPECT_EQ(ErrorReport("a \"b\"", true), "{\"event\":\"error\",\"message\":\"a \\\"b\\\"\"}\n");
}

} // namespace
