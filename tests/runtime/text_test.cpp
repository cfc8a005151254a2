#include "runtime/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

TEST(ParseInteger, FollowsThePanelRules) {
    EXPECT_EQ(ParseInteger("2048"), 2048);
    EXPECT_EQ(ParseInteger(" \t-12"), -12);
    EXPECT_EQ(ParseInteger("+7"), 7);
    EXPECT_EQ(ParseInteger("- 5"), 0); // no blank after the sign
    EXPECT_EQ(ParseInteger("12abc"), 12);
    EXPECT_EQ(ParseInteger("abc"), 0);
    EXPECT_EQ(ParseInteger(""), 0);
    EXPECT_EQ(ParseInteger(TextFromC(nullptr)), 0);
    EXPECT_EQ(ParseInteger("$1F"), 31);
    EXPECT_EQ(ParseInteger("$1f"), 31);
    EXPECT_EQ(ParseInteger("-$10"), -16);
    EXPECT_EQ(ParseInteger("%101"), 5);
    EXPECT_EQ(ParseInteger("%102"), 2);
    EXPECT_EQ(ParseInteger("0x1F"), 0);
    EXPECT_EQ(ParseInteger("$"), 0);
    EXPECT_EQ(ParseInteger("%"), 0);
    EXPECT_EQ(ParseInteger("--5"), 0); // one sign only
    EXPECT_EQ(ParseInteger("\n5"), 0); // only blanks and tabs are skipped
    EXPECT_EQ(ParseInteger("12 34"), 12);
}

TEST(ParseInteger, WrapsModulo2To64) {
    EXPECT_EQ(ParseInteger("18446744073709551616"), 0); // 2^64
    int64_t value = ParseInteger("4294969344");         // 2^32 + 2048
    EXPECT_EQ(static_cast<int32_t>(static_cast<uint32_t>(value)), 2048);
    EXPECT_EQ(ParseInteger("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseInteger("9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(ParseInteger("$FFFFFFFFFFFFFFFF"), -1);
}

TEST(IntegerToText, WritesPlainDecimal) {
    EXPECT_EQ(IntegerToText(0), "0");
    EXPECT_EQ(IntegerToText(2048), "2048");
    EXPECT_EQ(IntegerToText(-1), "-1");
    EXPECT_EQ(IntegerToText(2147483648LL), "2147483648");
    EXPECT_EQ(IntegerToText(-2147483648LL), "-2147483648");
    EXPECT_EQ(IntegerToText(std::numeric_limits<int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(IntegerToText(std::numeric_limits<int64_t>::max()), "9223372036854775807");
}

TEST(IntegerToText, RoundTripsThroughParseInteger) {
    for (int64_t value : {int64_t{1}, int64_t{-65536}, int64_t{1} << 40, -(int64_t{1} << 53) - 7,
                          std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(ParseInteger(IntegerToText(value)), value);
}

TEST(CharFromCode, KeepsTheLowEightBits) {
    EXPECT_EQ(CharFromCode(65), "A");
    EXPECT_EQ(CharFromCode(10), "\n");
    EXPECT_EQ(CharFromCode(300), "\x2C");
    EXPECT_EQ(CharFromCode(-1), "\xFF");
    EXPECT_EQ(TextLength(CharFromCode(0)), 0);
    EXPECT_EQ(TextLength(CharFromCode(256)), 0);
    EXPECT_EQ("ab" + CharFromCode(512) + "c", "abc");
}

TEST(SubText, CountsFromOneAndClampsToTheText) {
    const Text start = "\xCF\xF3\xF1\xEA"; // "Пуск" in Windows-1251
    EXPECT_EQ(SubText(start, 2, 1), "\xF3");
    EXPECT_EQ(SubText(start, 5, 1), "");
    EXPECT_EQ(SubText(start, 0, 2), "\xCF\xF3");
    EXPECT_EQ(SubText(start, -3, 2), "\xCF\xF3");
    EXPECT_EQ(SubText(start, 1, -1), "");
    EXPECT_EQ(SubText(start, 3, 100), "\xF1\xEA");
    EXPECT_EQ(SubText("", 1, 1), "");
}

TEST(FirstCharCode, IsUnsigned) {
    EXPECT_EQ(FirstCharCode("\xCF"), 207); // "П"
    EXPECT_EQ(FirstCharCode("A"), 65);
    EXPECT_EQ(FirstCharCode(""), 0);
}

TEST(TextFromBytes, EndsAtTheFirstZeroOrTheCount) {
    const char bytes[] = {'a', 'b', 0, 'c'};
    EXPECT_EQ(TextFromBytes(bytes, 4), "ab");
    EXPECT_EQ(TextFromBytes(bytes, 1), "a");
    EXPECT_EQ(TextFromBytes(nullptr, 4), "");
    EXPECT_EQ(TextFromC("xyz"), "xyz");
}
