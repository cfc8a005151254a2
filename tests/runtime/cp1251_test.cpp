#include "runtime/cp1251.h"

#include <gtest/gtest.h>

// Every byte has a character of its own and comes back from it, through
// UTF-16 and through UTF-8; the Russian letters and signs are where the code
// page has them, and 0x98 is U+0098 as on Windows.
TEST(Cp1251, EveryByteConvertsToItsCharacterAndBack) {
    const Text port = "\xCF\xEE\xF0\xF2: "; // "Порт: " as the panel holds it
    EXPECT_EQ(Cp1251ToUtf16(port), u"Порт: ");
    EXPECT_EQ(Cp1251ToUtf8(port), "Порт: ");
    EXPECT_EQ(Cp1251ToUtf16("\xA8\xB8\xB9\x98"), u"Ёё№\x98");
    for (int byte = 1; byte < 256; ++byte) {
        Text text(1, static_cast<char>(byte));
        std::u16string wide = Cp1251ToUtf16(text);
        ASSERT_EQ(wide.size(), 1u);
        EXPECT_EQ(Utf16ToCp1251(wide), text) << byte;
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(text)), text) << byte;
    }
}

TEST(Cp1251, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf16ToCp1251(u"a\u00E9b"), "a?b"); // é is not in the code page
    EXPECT_EQ(Utf16ToCp1251(u"\U0001F600"), "?"); // one character, one mark
    EXPECT_EQ(Utf8ToCp1251("x\xFFy"), "x?y");     // malformed UTF-8
    EXPECT_EQ(Utf8ToCp1251("x\xD0y"), "x?y");     // a lead byte without its continuation
    EXPECT_EQ(Utf16ToCp1251(std::u16string(u"ab\0cd", 5)), "ab");
}
