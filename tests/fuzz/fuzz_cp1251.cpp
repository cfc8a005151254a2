// The Windows-1251 conversions against an independent reference: glibc's
// iconv and its CP1251 table. Once per run, every byte both ways, every
// UTF-16 unit alone, and every surrogate pair; for each input, its bytes
// read as Windows-1251, as UTF-16 units and as UTF-8. Characters that the
// code page cannot hold, and input that begins no character where iconv
// stops (a lone surrogate, a truncated or overlong UTF-8 sequence), come
// out as one "?" each; a U+0000 ends the text.
//
// One entry differs on purpose: the byte 0x98, which has no character in
// Windows-1251 and which iconv refuses, is U+0098 both ways, as Windows
// maps it, so that every byte survives a round trip through the controls
// (the received box shows any byte a device sends).
#include <iconv.h>

#include <algorithm>
#include <string>

#include "runtime/cp1251.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

constexpr char32_t kNoCharacter = 0x98;

// One character of input by iconv from the encoding: its code and length,
// or length 0 where no character begins.
struct Decoded {
    char32_t c;
    size_t length;
};
Decoded DecodeOne(iconv_t from, const std::string& in, size_t at) {
    char32_t c = 0;
    char *source = const_cast<char*>(in.data() + at), *target = reinterpret_cast<char*>(&c);
    // No character takes more than 4 bytes; the window keeps each call short.
    const size_t window = std::min<size_t>(in.size() - at, 4);
    size_t left = window, room = sizeof c;
    iconv(from, nullptr, nullptr, nullptr, nullptr);
    iconv(from, &source, &left, &target, &room); // stops after one character: no more room
    return {c, room == 0 ? window - left : 0};
}

// A character's Windows-1251 byte by iconv, or "?".
char ByteOf(char32_t c) {
    static iconv_t to = iconv_open("CP1251", "UTF-32LE");
    if (c == kNoCharacter) return '\x98';
    char byte = '?', *target = &byte, *source = reinterpret_cast<char*>(&c);
    size_t left = sizeof c, room = 1;
    iconv(to, nullptr, nullptr, nullptr, nullptr);
    return iconv(to, &source, &left, &target, &room) == static_cast<size_t>(-1) ? '?' : byte;
}

// What the program should make of input in an encoding iconv reads.
Text Expected(iconv_t from, const std::string& in, size_t unit) {
    Text text;
    for (size_t at = 0; at + unit <= in.size();) {
        Decoded d = DecodeOne(from, in, at);
        if (d.length && d.c == 0) break;
        text += d.length ? ByteOf(d.c) : '?';
        at += d.length ? d.length : unit;
    }
    return text;
}

iconv_t gFromUtf8, gFromUtf16, gFromCp1251, gToUtf8;

std::string Utf8Of(char32_t c) {
    char out[4], *target = out, *source = reinterpret_cast<char*>(&c);
    size_t left = sizeof c, room = sizeof out;
    iconv(gToUtf8, &source, &left, &target, &room);
    return std::string(out, sizeof out - room);
}

// Characters of Windows-1251 text by iconv, in UTF-16 and in UTF-8.
void CheckText(const std::string& bytes) {
    std::u16string utf16;
    std::string utf8;
    for (unsigned char byte : bytes) {
        if (byte == 0) break;
        char32_t c = byte == 0x98 ? kNoCharacter : DecodeOne(gFromCp1251, {char(byte)}, 0).c;
        FUZZ_CHECK(c != 0);
        utf16 += static_cast<char16_t>(c);
        utf8 += Utf8Of(c);
    }
    FUZZ_CHECK(Cp1251ToUtf16(bytes) == utf16);
    FUZZ_CHECK(Cp1251ToUtf8(bytes) == utf8);
}

void CheckUtf16(const std::u16string& units) {
    std::string bytes(reinterpret_cast<const char*>(units.data()), 2 * units.size());
    FUZZ_CHECK(Utf16ToCp1251(units) == Expected(gFromUtf16, bytes, 2));
}

// Over the input itself, so that a read past its end is caught.
void CheckUtf8(std::string_view bytes) {
    FUZZ_CHECK(Utf8ToCp1251(bytes) == Expected(gFromUtf8, std::string(bytes), 1));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gFromUtf8 = iconv_open("UTF-32LE", "UTF-8");
    gFromUtf16 = iconv_open("UTF-32LE", "UTF-16LE");
    gFromCp1251 = iconv_open("UTF-32LE", "CP1251");
    gToUtf8 = iconv_open("UTF-8", "UTF-32LE");
    for (iconv_t opened : {gFromUtf8, gFromUtf16, gFromCp1251, gToUtf8})
        FUZZ_CHECK(opened != iconv_t(-1));
    // Every byte to its character and back, in UTF-16 and in UTF-8.
    for (int byte = 1; byte < 256; ++byte) {
        std::string text(1, static_cast<char>(byte));
        CheckText(text);
        FUZZ_CHECK(Utf16ToCp1251(Cp1251ToUtf16(text)) == text);
    }
    // Every unit alone, in UTF-16 and (surrogates aside) in UTF-8.
    for (char32_t unit = 1; unit < 0x10000; ++unit) {
        CheckUtf16(std::u16string(1, static_cast<char16_t>(unit)));
        if (unit < 0xD800 || unit >= 0xE000)
            FUZZ_CHECK(Utf8ToCp1251(Utf8Of(unit)) == Text(1, ByteOf(unit)));
    }
    // Every surrogate pair: one character each, and none of the code page.
    std::u16string pairs;
    for (char16_t high = 0xD800; high < 0xDC00; ++high)
        for (char16_t low = 0xDC00; low < 0xE000; ++low)
            pairs += {high, low};
    CheckUtf16(pairs);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckText(bytes);
    CheckUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    CheckUtf16(units);
    return 0;
}
