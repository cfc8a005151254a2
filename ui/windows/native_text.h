#pragma once
// Texts cross into the system as UTF-16 and the W functions, so that the
// program's Windows-1251 texts show the same whatever the ANSI code page.
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

// A procedure of a library loaded at run time, typed; null when absent.
template <typename Procedure> Procedure LibraryProcedure(HMODULE library, const char* name) {
    // Through void (*)(): the one function type that converts without a
    // cast-function-type warning.
    return reinterpret_cast<Procedure>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}
