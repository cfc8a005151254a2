#include "runtime/cp1251.h"

#include <cstdint>

#include "runtime/cp1251_table.h"

static char ByteOfChar(char32_t c) {
    int byte = Cp1251ByteOfChar(c);
    return byte < 0 ? '?' : static_cast<char>(byte);
}

std::u16string Cp1251ToUtf16(std::string_view text) {
    std::u16string chars;
    chars.reserve(text.size());
    for (char byte : text) {
        if (!byte) break;
        chars.push_back(Cp1251CharOfByte(static_cast<unsigned char>(byte)));
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
        char16_t c = Cp1251CharOfByte(static_cast<unsigned char>(byte));
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

// Overlong forms, UTF-16 surrogates and values past U+10FFFF are malformed
// too: decoded, they would smuggle in a character (a zero among them) that
// the bytes do not plainly say.
Text Utf8ToCp1251(std::string_view utf8) {
    static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
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
        valid = valid && c >= kSmallest[extra] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
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
