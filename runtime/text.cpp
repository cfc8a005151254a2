#include "runtime/text.h"

#include <cstring>

Text TextFromBytes(const void* bytes, size_t count) {
    if (!bytes) return Text();
    const char* chars = static_cast<const char*>(bytes);
    const void* zero = std::memchr(chars, 0, count);
    return Text(chars, zero ? static_cast<const char*>(zero) - chars : count);
}

Text TextFromC(const char* chars) {
    return chars ? Text(chars) : Text();
}

int32_t TextLength(const Text& text) {
    return static_cast<int32_t>(text.size());
}

Text SubText(const Text& text, int32_t start, int32_t length) {
    if (length <= 0) return Text();
    size_t from = start > 1 ? static_cast<size_t>(start) - 1 : 0;
    if (from >= text.size()) return Text();
    return text.substr(from, static_cast<size_t>(length));
}

int32_t FirstCharCode(const Text& text) {
    return text.empty() ? 0 : static_cast<unsigned char>(text[0]);
}

Text CharFromCode(int32_t code) {
    char byte = static_cast<char>(code & 0xFF);
    return byte ? Text(1, byte) : Text();
}

static int DigitValue(char c, unsigned base) {
    unsigned value;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else
        return -1;
    return value < base ? static_cast<int>(value) : -1;
}

int64_t ParseInteger(const Text& text) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '-') {
        negative = true;
        ++p;
    } else if (*p == '+') {
        ++p;
    }
    unsigned base = 10;
    if (*p == '$') {
        base = 16;
        ++p;
    } else if (*p == '%') {
        base = 2;
        ++p;
    }
    uint64_t value = 0; // unsigned: the accumulation wraps modulo 2^64 by design
    for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p)
        value = value * base + digit;
    if (negative) value = 0 - value;
    return static_cast<int64_t>(value);
}

Text IntegerToText(int64_t value) {
    if (value == 0) return "0";
    // The magnitude as unsigned, so that -2^63 is written in full.
    uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    while (magnitude) {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    if (value < 0) *--p = '-';
    return Text(p, end);
}
