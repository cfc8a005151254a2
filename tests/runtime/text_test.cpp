// Texts. ParseInteger, IntegerToText and SubText each have a model that the
// fuzz targets check them against (tests/fuzz), on their seeds in every
// test run; here is what those leave out.
#include "runtime/text.h"

#include <gtest/gtest.h>

// A code becomes one character, its low 8 bits; the terminators the panel
// sends with a message depend on it (300 is a comma).
TEST(Text, CharactersFromCodesAndFromBytes) {
    EXPECT_EQ(CharFromCode(65) + CharFromCode(300) + CharFromCode(-1), "A,\xFF");
    EXPECT_EQ("ab" + CharFromCode(0) + CharFromCode(256) + CharFromCode(512) + "c", "abc");
    const char bytes[] = {'a', 'b', 0, 'c'};
    EXPECT_EQ(TextFromBytes(bytes, 4), "ab");
    EXPECT_EQ(TextFromBytes(bytes, 1), "a");
    EXPECT_EQ(TextFromBytes(nullptr, 4) + TextFromC(nullptr), "");
}
