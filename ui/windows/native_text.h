#pragma once
// Texts cross into the system as UTF-16 and the W functions, so that the
// program's Windows-1251 texts show the same whatever the ANSI code page.
#include <cstdint>
#include <string>

#include "runtime/cp1251.h"

// Owns the UTF-16 of a text for the length of a call.
class NativeText {
  public:
    explicit NativeText(const Text& text) : chars_(Cp1251ToUtf16(text)) {}
    const wchar_t* get() const { return reinterpret_cast<const wchar_t*>(chars_.c_str()); }

  private:
    std::u16string chars_;
};

// A system name made of a prefix and a decimal number (a window class, a
// property), held for the length of a call. The number is written whole, also
// where it is an address on a 64-bit build.
class NumberedName {
  public:
    NumberedName(const wchar_t* prefix, intptr_t number) {
        size_t length = 0;
        while (prefix[length] && length < kPrefixRoom) {
            text_[length] = prefix[length];
            ++length;
        }
        if (number < 0) text_[length++] = L'-';
        wchar_t digits[24];
        size_t count = 0;
        do { // digit by digit from the end; negative remainders are negated
            int digit = static_cast<int>(number % 10);
            digits[count++] = static_cast<wchar_t>(L'0' + (digit < 0 ? -digit : digit));
            number /= 10;
        } while (number != 0);
        while (count > 0)
            text_[length++] = digits[--count];
        text_[length] = L'\0';
    }
    const wchar_t* get() const { return text_; }

  private:
    static constexpr size_t kPrefixRoom = 39;
    wchar_t text_[kPrefixRoom + 1 + 20 + 1]; // prefix, sign, digits, end
};
