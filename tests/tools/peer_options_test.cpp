// The peer's command line: what it accepts, the bytes it sends, and the one
// line it gives for what it does not accept.
#include "tools/peer/peer_options.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using Arguments = std::vector<std::string>;

// The arguments of a command line split at blanks.
Arguments Words(const std::string& line) {
    std::istringstream in(line);
    Arguments words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

PeerOptions Parse(const Arguments& arguments) {
    PeerOptions options;
    std::string error;
    EXPECT_TRUE(ParsePeerOptions(arguments, &options, &error)) << error;
    return options;
}

// The options the program's own tests do not run it with (peer_process_test).
TEST(PeerOptions, DefaultsShortNamesAndValuesAfterAnEqualsSign) {
    PeerOptions none = Parse({});
    EXPECT_TRUE(none.listen && !none.json && !none.help && none.port == 2048);
    EXPECT_TRUE(none.send == PeerSend::None && none.answer == PeerAnswer::None);
    PeerOptions some = Parse(Words("--send hi --to-port=3000 -b 127.0.0.1 -p 0 --answer=ok"));
    EXPECT_FALSE(some.listen); // sending alone does not listen
    EXPECT_TRUE(some.toPort == 3000 && some.bindAddress == "127.0.0.1" && some.port == 0);
    EXPECT_TRUE(some.answer == PeerAnswer::Fixed && some.answerBytes == "ok");
    EXPECT_TRUE(Parse(Words("--raw hi --listen")).listen);
    EXPECT_TRUE(Parse(Words("--port 1 --help --bogus")).help); // help wins over the rest
    EXPECT_NE(std::string(PeerUsage()).find("--json"), std::string::npos);
}

// Texts go out as Windows-1251 with escapes; hex may be separated or not;
// --length repeats the bytes to exactly that many, up to what IPv4 carries.
TEST(PeerOptions, BytesToSend) {
    const std::pair<Arguments, std::string> kCases[] = {
        {{"--send", "Привет\\n\\r"}, "\xCF\xF0\xE8\xE2\xE5\xF2\n\r"},
        {{"--raw", "a\\tb\\\\c\\x41\\0"}, std::string("a\tb\\cA\0", 7)},
        {{"--raw-hex", "10 07 00:5a-50,ff"}, std::string("\x10\x07\x00\x5a\x50\xff", 6)},
        {{"--send-hex", "1007005A"}, std::string("\x10\x07\x00\x5a", 4)},
        {{"--raw", "abc", "--length", "8"}, "abcabcab"},
        {{"--raw-hex", "41", "--length", "65507"}, std::string(65507, 'A')},
        {{"--send", "x", "--length", "65502"}, std::string(65502, 'x')}};
    for (const auto& [arguments, bytes] : kCases) {
        SCOPED_TRACE(arguments[1]);
        EXPECT_EQ(Parse(arguments).sendBytes, bytes);
    }
}

// Each refusal is one line and names what is wrong. A case is the
// arguments, split at blanks, then "=>" and a part of the refusal.
TEST(PeerOptions, RefusalsAreOneLineNamingTheFault) {
    const std::string kCases[] = {"--send x --length 65503 => at most 65507",
                                  "--port 65536 => --port needs a number from 0 to 65535",
                                  "--max - => --max",
                                  "--count 1x => --count",
                                  "--timeout 9999999999999 => --timeout",
                                  "--bogus => unknown option --bogus",
                                  "stray => \"stray\"",
                                  "--port => needs a value",
                                  "--send a --raw b => only one",
                                  "--echo --answer x => only one",
                                  "--length 5 => something to send",
                                  "--raw= --length 5 => empty",
                                  "--json=yes => takes no value",
                                  "--bind 1.2.3.256 => dotted",
                                  "--to= => needs an address",
                                  "--raw-hex 1:2 => two digits",
                                  "--raw-hex zz => 'z'",
                                  "--send \\q => unknown escape \\q",
                                  "--send x\\ => lone",
                                  "--send \\x4 => \\x needs",
                                  "--send 日本 => Windows-1251",
                                  "--answer-hex " + std::string(2 * 65503, '1') + " => 65502"};
    for (const std::string& c : kCases) {
        SCOPED_TRACE(c.substr(0, 60));
        PeerOptions options;
        std::string error;
        EXPECT_FALSE(ParsePeerOptions(Words(c.substr(0, c.find(" => "))), &options, &error));
        EXPECT_NE(error.find(c.substr(c.find(" => ") + 4)), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

} // namespace
