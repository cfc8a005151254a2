// What the peer prints about datagrams, checked against frames that the
// program's own BuildFrame makes.
#include "tools/peer/peer_report.h"

#include <gtest/gtest.h>

#include "runtime/memory.h"
#include "runtime/socket.h"
#include "tests/support/program_heap_fixture.h"

namespace {

class PeerReport : public ProgramHeapTest {
  protected:
    void SetUp() override {
        ProgramHeapTest::SetUp();
        MemoryInit();
        ResetFrameBuilder();
    }
    void TearDown() override {
        MemoryEnd();
        ProgramHeapTest::TearDown();
    }
    static std::string Built(const Text& message) {
        auto* frame = static_cast<const char*>(BuildFrame(message));
        std::string bytes(frame, message.size() + 5);
        MemoryFree(FrameBuffer);
        return bytes;
    }
    static ReceivedDatagram Received(const std::string& bytes, int32_t previousNonce = -1) {
        return ReceivedDatagram{SocketParseIPv4("127.0.0.1"), 40000, bytes,
                                CheckFrame(bytes.data(), bytes.size(), previousNonce)};
    }
};

TEST_F(PeerReport, BuiltFramesAreReportedWellFormed) {
    std::string frame = Built("\xCF\xF0\xE8\xE2\xE5\xF2\n\r");
    std::string json = DatagramReport(Received(frame), true);
    EXPECT_NE(json.find("\"frame\":true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"from\":\"127.0.0.1\",\"port\":40000,\"length\":13"), std::string::npos);
    EXPECT_NE(json.find("\"text\":\"Привет\\n\\r\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"hex\":\"cff0e8e2e5f20a0d\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"nonce\":" + std::to_string(LastNonce)), std::string::npos);
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(json.find('\n'), json.size() - 1); // one line

    std::string human = DatagramReport(Received(frame), false);
    EXPECT_NE(human.find("127.0.0.1:40000  13 bytes  header 10 08 00"), std::string::npos) << human;
    EXPECT_NE(human.find("well-formed, nonce " + std::to_string(LastNonce)), std::string::npos);
    EXPECT_NE(human.find("text: \"Привет\\n\\r\""), std::string::npos) << human;
    EXPECT_NE(human.find("hex:  CF F0 E8 E2 E5 F2 0A 0D"), std::string::npos) << human;
}

TEST_F(PeerReport, RepeatedNonceAndBrokenHeadersAreNamed) {
    std::string frame = Built("abc");
    int nonce = static_cast<unsigned char>(frame[3]);
    std::string repeated = DatagramReport(Received(frame, nonce), false);
    EXPECT_NE(repeated.find("NOT well-formed"), std::string::npos);
    EXPECT_NE(repeated.find("repeats"), std::string::npos) << repeated;

    std::string broken = frame;
    broken[0] = 0x11;
    broken[4] = 0;
    std::string human = DatagramReport(Received(broken), false);
    EXPECT_NE(human.find("byte 0 is 0x11, not 0x10"), std::string::npos) << human;
    EXPECT_NE(human.find("byte 4 is 0x00"), std::string::npos) << human;
    std::string json = DatagramReport(Received(broken), true);
    EXPECT_NE(json.find("\"frame\":false"), std::string::npos);
    EXPECT_NE(json.find("\"marker\":false"), std::string::npos);
    EXPECT_NE(json.find("\"flag\":false"), std::string::npos);
    EXPECT_NE(json.find("\"length_byte\":true"), std::string::npos);

    std::string shortOne = DatagramReport(Received("ab"), false);
    EXPECT_NE(shortOne.find("only 2 bytes"), std::string::npos) << shortOne;
    EXPECT_NE(DatagramReport(Received(""), true).find("\"nonce\":-1"), std::string::npos);
}

TEST_F(PeerReport, ZeroBytesShowInTheTextButNotInWhatTheProgramShows) {
    std::string datagram("\x10\x03\x00\x01\x10"
                         "A\0B",
                         8);
    std::string json = DatagramReport(Received(datagram), true);
    EXPECT_NE(json.find("\"text\":\"A\\u0000B\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"shown\":\"A\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"payload_zero\":true"), std::string::npos);
    std::string human = DatagramReport(Received(datagram), false);
    EXPECT_NE(human.find("text: \"A\\0B\""), std::string::npos) << human;
    EXPECT_NE(human.find("zero byte"), std::string::npos);
}

TEST(PeerText, ControlBytesAreEscapedForPeopleAndForJson) {
    EXPECT_EQ(EscapedText(std::string("a\x01\x7f\"\\\x98z", 7)), "a\\x01\\x7F\\\"\\\\\\x98z");
    EXPECT_EQ(EscapedText("\xC0\xDF\xFF"), "АЯя");
    EXPECT_EQ(JsonText(std::string("\x01\"\\\xC0", 4)), "\"\\u0001\\\"\\\\А\"");
    EXPECT_EQ(JsonString("q7700 \"peer\""), "\"q7700 \\\"peer\\\"\"");
    EXPECT_EQ(HexText(std::string("\x00\xAB", 2), true), "00 AB");
    EXPECT_EQ(HexText(std::string("\x00\xAB", 2), false), "00ab");
    EXPECT_EQ(AddressText(SocketParseIPv4("192.168.0.10")), "192.168.0.10");
}

TEST(PeerText, EventLinesAreSingleJsonObjects) {
    for (const std::string& line :
         {ListeningReport("0.0.0.0", 2048, true), SentReport("127.0.0.1", 2048, "x", false, true),
          AnsweredReport("127.0.0.1", 2048, std::string("\x10\x00\x00\x05\x10", 5), true),
          ErrorReport("port 2048 is in use", true), DoneReport(1, 2, true)}) {
        EXPECT_EQ(line.front(), '{') << line;
        EXPECT_EQ(line.substr(line.size() - 2), "}\n") << line;
        EXPECT_EQ(line.find('\n'), line.size() - 1) << line;
    }
    EXPECT_NE(
        AnsweredReport("h", 1, std::string("\x10\x00\x00\x05\x10", 5), true).find("\"nonce\":5"),
        std::string::npos);
}

} // namespace
