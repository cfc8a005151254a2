// The peer's command line: what it accepts and the one line it gives for
// what it does not.
#include "tools/peer/peer_options.h"

#include <gtest/gtest.h>

namespace {

PeerOptions Parse(std::vector<std::string> arguments) {
    PeerOptions options;
    std::string error;
    EXPECT_TRUE(ParsePeerOptions(arguments, &options, &error)) << error;
    return options;
}

std::string Refusal(std::vector<std::string> arguments) {
    PeerOptions options;
    std::string error;
    EXPECT_FALSE(ParsePeerOptions(arguments, &options, &error));
    EXPECT_EQ(error.find('\n'), std::string::npos) << "one line: " << error;
    return error;
}

TEST(PeerOptions, NothingGivenListensOnPort2048OfAllInterfaces) {
    PeerOptions options = Parse({});
    EXPECT_TRUE(options.listen);
    EXPECT_EQ(options.port, 2048);
    EXPECT_EQ(options.bindAddress, "");
    EXPECT_EQ(options.send, PeerSend::None);
    EXPECT_EQ(options.answer, PeerAnswer::None);
    EXPECT_FALSE(options.json);
}

TEST(PeerOptions, SendingAloneDoesNotListenUnlessAsked) {
    PeerOptions options = Parse({"--send", "hi", "--to", "127.0.0.2", "--to-port", "3000"});
    EXPECT_FALSE(options.listen);
    EXPECT_EQ(options.send, PeerSend::Frame);
    EXPECT_EQ(options.sendBytes, "hi");
    EXPECT_EQ(options.to, "127.0.0.2");
    EXPECT_EQ(options.toPort, 3000);
    EXPECT_TRUE(Parse({"--raw", "hi", "--listen"}).listen);
}

TEST(PeerOptions, BindTakesADottedAddress) {
    EXPECT_EQ(Parse({"--bind", "127.0.0.1"}).bindAddress, "127.0.0.1");
    EXPECT_EQ(Parse({"-b", "0.0.0.0", "-p", "0"}).port, 0);
}

TEST(PeerOptions, ValuesMayFollowAnEqualsSign) {
    PeerOptions options = Parse({"--port=7000", "--answer=ok", "--count=3", "--rate=5"});
    EXPECT_EQ(options.port, 7000);
    EXPECT_EQ(options.answer, PeerAnswer::Fixed);
    EXPECT_EQ(options.answerBytes, "ok");
    EXPECT_EQ(options.count, 3);
    EXPECT_EQ(options.rate, 5);
}

TEST(PeerOptions, TextIsSentAsWindows1251WithEscapes) {
    EXPECT_EQ(Parse({"--send", "Привет\\n\\r"}).sendBytes, "\xCF\xF0\xE8\xE2\xE5\xF2\n\r");
    EXPECT_EQ(Parse({"--raw", "a\\tb\\\\c\\x41\\0"}).sendBytes, std::string("a\tb\\cA\0", 7));
}

TEST(PeerOptions, HexMayBeSeparatedOrNot) {
    EXPECT_EQ(Parse({"--raw-hex", "10 07 00:5a-50,ff"}).sendBytes,
              std::string("\x10\x07\x00\x5a\x50\xff", 6));
    EXPECT_EQ(Parse({"--raw-hex", "1007005A"}).sendBytes, std::string("\x10\x07\x00\x5a", 4));
    EXPECT_EQ(Parse({"--send-hex", ""}).sendBytes, "");
}

TEST(PeerOptions, LengthRepeatsTheBytesToExactlyThatMany) {
    PeerOptions options = Parse({"--raw", "abc", "--length", "8"});
    EXPECT_EQ(options.sendBytes, "abcabcab");
    EXPECT_EQ(Parse({"--raw-hex", "41", "--length", "65507"}).sendBytes.size(), 65507u);
    EXPECT_EQ(Parse({"--send", "x", "--length", "65502"}).sendBytes.size(), 65502u);
    EXPECT_EQ(Parse({"--raw", "abc", "--length", "0"}).sendBytes, "");
}

TEST(PeerOptions, DatagramsLargerThanIPv4CarriesAreRefused) {
    EXPECT_NE(Refusal({"--send", "x", "--length", "65503"}).find("65507"), std::string::npos);
    EXPECT_NE(Refusal({"--raw", "x", "--length", "65508"}).find("65507"), std::string::npos);
}

TEST(PeerOptions, BadNumbersNameTheOptionAndTheRange) {
    std::string error = Refusal({"--port", "abc"});
    EXPECT_NE(error.find("--port"), std::string::npos);
    EXPECT_NE(error.find("65535"), std::string::npos);
    Refusal({"--port", "65536"});
    Refusal({"--port", "-1"});
    Refusal({"--to-port", "0"});
    Refusal({"--count", "0"});
    Refusal({"--rate", "0"});
    Refusal({"--max", "12x"});
    Refusal({"--timeout", ""});
    Refusal({"--port", "99999999999999999999"});
}

TEST(PeerOptions, MistakesGetOneClearLine) {
    EXPECT_NE(Refusal({"--bogus"}).find("--bogus"), std::string::npos);
    EXPECT_NE(Refusal({"stray"}).find("stray"), std::string::npos);
    EXPECT_NE(Refusal({"--port"}).find("needs a value"), std::string::npos);
    Refusal({"--send", "a", "--raw", "b"});
    Refusal({"--echo", "--answer", "x"});
    Refusal({"--length", "5"});              // nothing to repeat
    Refusal({"--raw", "", "--length", "5"}); // an empty text cannot be repeated
    Refusal({"--json=yes"});
    Refusal({"--bind", "localhost"}); // a dotted address only
    Refusal({"--to", ""});
    Refusal({"--raw-hex", "123"});
    Refusal({"--raw-hex", "zz"});
    Refusal({"--send", "bad \\q escape"});
    Refusal({"--send", "trailing \\"});
    Refusal({"--send", "\\x4"});
    Refusal({"--send", "日本"}); // not in Windows-1251
}

TEST(PeerOptions, HelpWinsOverEverythingElse) {
    PeerOptions options;
    std::string error;
    EXPECT_TRUE(ParsePeerOptions({"--port", "1", "--help", "--bogus"}, &options, &error));
    EXPECT_TRUE(options.help);
    EXPECT_NE(std::string(PeerUsage()).find("--json"), std::string::npos);
}

} // namespace
