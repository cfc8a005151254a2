#include "runtime/cp1251.h"

#include <cstdint>

// Characters of the bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order.
static const char16_t kHighHalf[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

static char16_t CharOfByte(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return kHighHalf[byte - 0x80];
    return static_cast<char16_t>(0x0410 + (byte - 0xC0));
}

static char ByteOfChar(char32_t c) {
    if (c < 0x80) return static_cast<char>(c);
    if (c >= 0x0410 && c <= 0x044F) return static_cast<char>(0xC0 + (c - 0x0410));
    for (int i = 0; i < 64; ++i)
        if (kHighHalf[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

std::u16string Cp1251ToUtf16(std::string_view text) {
    std::u16string chars;
    chars.reserve(text.size());
    for (char byte : text) {
        if (!byte) break;
        chars.push_back(CharOfByte(static_cast<unsigned char>(byte)));
    }
    return chars;
}

Text Utf16ToCp1251(std::u16string_view chars) {
    Text text;
    text.reserve(chars.size());
    for (size_t i = 0; i < chars.size(); ++i) {
        char32_t c = chars[i];
        if (c == 0) break;
        // A surrogate pair is one character, and never one of this code page.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < chars.size() && chars[i + 1] >= 0xDC00 &&
            chars[i + 1] <= 0xDFFF)
            ++i;
        text.push_back(c >= 0xD800 && c <= 0xDFFF ? '?' : ByteOfChar(c));
    }
    return text;
}

std::string Cp1251ToUtf8(std::string_view text) {
    std::string utf8;
    utf8.reserve(text.size() * 2);
    for (char byte : text) {
        if (!byte) break;
        char16_t c = CharOfByte(static_cast<unsigned char>(byte));
        if (c < 0x80) {
            utf8.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            utf8.push_back(static_cast<char>(0xC0 | (c >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            utf8.push_back(static_cast<char>(0xE0 | (c >> 12)));
            utf8.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            utf8.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return utf8;
}

Text Utf8ToCp1251(std::string_view utf8) {
    Text text;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char lead = static_cast<unsigned char>(utf8[i]);
        if (lead == 0) break;
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        char32_t c = extra == 0   ? lead
                     : extra == 1 ? lead & 0x1F
                     : extra == 2 ? lead & 0x0F
                                  : lead & 0x07;
        bool valid = extra >= 0 && i + extra < utf8.size();
        for (int k = 1; valid && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            else
                c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            text.push_back('?');
            ++i;
            continue;
        }
        i += extra + 1;
        text.push_back(ByteOfChar(c));
    }
    return text;
}
