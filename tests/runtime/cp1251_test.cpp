#include "runtime/cp1251.h"

#include <gtest/gtest.h>

TEST(Cp1251, RussianTextsConvertBothWays) {
    // "Порт: " as the panel holds it, and as UTF-16.
    const Text port = "\xCF\xEE\xF0\xF2: ";
    EXPECT_EQ(Cp1251ToUtf16(port), u"Порт: ");
    EXPECT_EQ(Utf16ToCp1251(u"Порт: "), port);
    EXPECT_EQ(Cp1251ToUtf8(port), "Порт: ");
    EXPECT_EQ(Utf8ToCp1251("Порт: "), port);
    EXPECT_EQ(Cp1251ToUtf16("\xA8\xB8\xB9"), u"Ёё№");
}

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    for (int byte = 1; byte < 256; ++byte) {
        Text text(1, static_cast<char>(byte));
        std::u16string wide = Cp1251ToUtf16(text);
        ASSERT_EQ(wide.size(), 1u);
        EXPECT_EQ(Utf16ToCp1251(wide), text) << byte;
        EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(text)), text) << byte;
    }
    EXPECT_EQ(Cp1251ToUtf16("\x98"), std::u16string(1, u'\x98'));
}

TEST(Cp1251, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(Utf16ToCp1251(u"a\u00E9b"), "a?b"); // é is not in the code page
    EXPECT_EQ(Utf16ToCp1251(u"\U0001F600"), "?"); // one character, one mark
    EXPECT_EQ(Utf8ToCp1251("x\xFFy"), "x?y");     // malformed UTF-8
    EXPECT_EQ(Utf8ToCp1251("x\xD0y"), "x?y");     // a lead byte without its continuation
    EXPECT_EQ(Utf16ToCp1251(std::u16string(u"ab\0cd", 5)), "ab");
}
