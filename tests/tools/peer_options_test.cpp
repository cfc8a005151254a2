// The peer's command line: what it accepts, the bytes it sends, and the one
// line it gives for what it does not accept.
#include "tools/peer/peer_options.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;

PeerOptions Parse(const Arguments& arguments) {
    PeerOptions options;
    std::string error;
    EXPECT_TRUE(ParsePeerOptions(arguments, &options, &error)) << error;
    return options;
}

TEST(PeerOptions, DefaultsAndEveryValueInBothSpellings) {
    PeerOptions none = Parse({});
    EXPECT_TRUE(none.listen && !none.json && !none.help);
    EXPECT_EQ(none.port, 2048);
    EXPECT_EQ(none.send, PeerSend::None);
    EXPECT_EQ(none.answer, PeerAnswer::None);
    PeerOptions all = Parse({"--send",
                             "hi",
                             "--to",
                             "h",
                             "--to-port=3000",
                             "-b",
                             "127.0.0.1",
                             "-p",
                             "0",
                             "--answer=ok",
                             "--answer-port",
                             "9",
                             "--count=3",
                             "--rate",
                             "5",
                             "--max",
                             "4",
                             "--timeout=0",
                             "--fresh-port",
                             "--json"});
    EXPECT_FALSE(all.listen); // sending alone does not listen
    EXPECT_EQ(all.send, PeerSend::Frame);
    EXPECT_EQ(all.to, "h");
    EXPECT_EQ(all.toPort, 3000);
    EXPECT_EQ(all.bindAddress, "127.0.0.1");
    EXPECT_EQ(all.port, 0);
    EXPECT_EQ(all.answer, PeerAnswer::Fixed);
    EXPECT_EQ(all.answerBytes, "ok");
    EXPECT_EQ(all.answerPort, 9);
    EXPECT_EQ(all.count + all.rate + all.maxDatagrams + all.timeoutMs, 3 + 5 + 4 + 0);
    EXPECT_TRUE(all.freshPort && all.json);
    EXPECT_TRUE(Parse({"--raw", "hi", "--listen"}).listen);
    EXPECT_EQ(Parse({"--echo"}).answer, PeerAnswer::Echo);
    EXPECT_TRUE(Parse({"--port", "1", "--help", "--bogus"}).help); // help wins over the rest
    EXPECT_NE(std::string(PeerUsage()).find("--json"), std::string::npos);
}

// Texts go out as Windows-1251 with escapes; hex may be separated or not;
// --length repeats the bytes to exactly that many.
TEST(PeerOptions, BytesToSend) {
    const std::pair<Arguments, std::string> kCases[] = {
        {{"--send", "Привет\\n\\r"}, "\xCF\xF0\xE8\xE2\xE5\xF2\n\r"},
        {{"--raw", "a\\tb\\\\c\\x41\\0"}, std::string("a\tb\\cA\0", 7)},
        {{"--raw-hex", "10 07 00:5a-50,ff"}, std::string("\x10\x07\x00\x5a\x50\xff", 6)},
        {{"--send-hex", "1007005A"}, std::string("\x10\x07\x00\x5a", 4)},
        {{"--send-hex", ""}, ""},
        {{"--raw", "abc", "--length", "8"}, "abcabcab"},
        {{"--raw", "abc", "--length", "0"}, ""},
        {{"--raw-hex", "41", "--length", "65507"}, std::string(65507, 'A')},
        {{"--send", "x", "--length", "65502"}, std::string(65502, 'x')},
    };
    for (const auto& [arguments, bytes] : kCases) {
        SCOPED_TRACE(arguments[1]);
        EXPECT_EQ(Parse(arguments).sendBytes, bytes);
    }
}

// Each refusal is one line and names what is wrong.
TEST(PeerOptions, RefusalsAreOneLineNamingTheFault) {
    const std::pair<Arguments, const char*> kCases[] = {
        {{"--send", "x", "--length", "65503"}, "65507"},
        {{"--raw", "x", "--length", "65508"}, ""},
        {{"--port", "abc"}, "--port needs a number from 0 to 65535"},
        {{"--port", "65536"}, ""},
        {{"--port", "-1"}, ""},
        {{"--to-port", "0"}, ""},
        {{"--count", "0"}, ""},
        {{"--rate", "0"}, ""},
        {{"--max", "12x"}, ""},
        {{"--timeout", ""}, ""},
        {{"--port", "99999999999999999999"}, ""},
        {{"--bogus"}, "--bogus"},
        {{"stray"}, "stray"},
        {{"--port"}, "needs a value"},
        {{"--send", "a", "--raw", "b"}, "only one"},
        {{"--echo", "--answer", "x"}, "only one"},
        {{"--length", "5"}, "something to send"},
        {{"--raw", "", "--length", "5"}, "empty"},
        {{"--json=yes"}, "no value"},
        {{"--bind", "localhost"}, "dotted"},
        {{"--bind", "1.2.3.256"}, ""},
        {{"--to", ""}, ""},
        {{"--raw-hex", "123"}, "two digits"},
        {{"--raw-hex", "1 2"}, ""},
        {{"--raw-hex", "zz"}, "'z'"},
        {{"--send", "\\q"}, "\\q"},
        {{"--send", "trailing \\"}, "lone"},
        {{"--send", "\\x4"}, "\\x"},
        {{"--send", "日本"}, "1251"},
        {{"--answer-hex", std::string(2 * 65503, '1')}, "65502"},
    };
    for (const auto& [arguments, part] : kCases) {
        SCOPED_TRACE(arguments[0] + " " + (arguments.size() > 1 ? arguments[1] : ""));
        PeerOptions options;
        std::string error;
        EXPECT_FALSE(ParsePeerOptions(arguments, &options, &error));
        EXPECT_NE(error.find(part), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

} // namespace
