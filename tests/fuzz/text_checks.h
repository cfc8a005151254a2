#pragma once
// Checks of what a report prints: well-formed UTF-8, and JSON syntax (one
// value, nothing after it but white space).
#include <cstddef>
#include <cstdint>
#include <string_view>

// True when every sequence is the shortest form of a scalar value (no
// surrogates, nothing above U+10FFFF).
inline bool IsUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        auto lead = static_cast<unsigned char>(text[at]);
        size_t length = lead < 0x80       ? 1
                        : lead >> 5 == 6  ? 2
                        : lead >> 4 == 14 ? 3
                        : lead >> 3 == 30 ? 4
                                          : 0;
        if (length == 0 || at + length > text.size()) return false;
        uint32_t value = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[at + k]);
            if (next >> 6 != 2) return false;
            value = value << 6 | (next & 0x3F);
        }
        static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kShortest[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000))
            return false;
        at += length;
    }
    return true;
}

class JsonSyntax {
  public:
    explicit JsonSyntax(std::string_view text) : text_(text) {}
    bool Valid() {
        if (!Value()) return false;
        Blanks();
        return at_ == text_.size();
    }

  private:
    bool More() const { return at_ < text_.size(); }
    char Peek() const { return More() ? text_[at_] : '\0'; }
    bool Take(char c) {
        if (Peek() != c || !More()) return false;
        ++at_;
        return true;
    }
    void Blanks() {
        while (More() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r'))
            ++at_;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool Digits() {
        size_t from = at_;
        while (Peek() >= '0' && Peek() <= '9')
            ++at_;
        return at_ > from;
    }
    bool Number() {
        Take('-');
        if (!Take('0') && !(Peek() >= '1' && Peek() <= '9' && Digits())) return false;
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }
    bool String() {
        if (!Take('"')) return false;
        while (More()) {
            auto c = static_cast<unsigned char>(text_[at_++]);
            if (c == '"') return true;
            if (c < 0x20) return false; // control characters must be escaped
            if (c != '\\') continue;
            char escape = Peek();
            ++at_;
            if (escape == 'u') {
                for (int k = 0; k < 4; ++k, ++at_) {
                    char h = Peek();
                    bool hex =
                        (h >= '0' && h <= '9') || (h >= 'a' && h <= 'f') || (h >= 'A' && h <= 'F');
                    if (!More() || !hex) return false;
                }
            } else if (std::string_view("\"\\/bfnrt").find(escape) == std::string_view::npos ||
                       escape == '\0') {
                return false;
            }
        }
        return false;
    }
    template <char Open, char Close, bool Keys> bool Container() {
        if (!Take(Open)) return false;
        Blanks();
        if (Take(Close)) return true;
        for (;;) {
            Blanks();
            if (Keys) {
                if (!String()) return false;
                Blanks();
                if (!Take(':')) return false;
            }
            if (!Value()) return false;
            Blanks();
            if (Take(Close)) return true;
            if (!Take(',')) return false;
        }
    }
    bool Value() {
        if (++depth_ > 64) return false;
        Blanks();
        bool ok;
        switch (Peek()) {
        case '{':
            ok = Container<'{', '}', true>();
            break;
        case '[':
            ok = Container<'[', ']', false>();
            break;
        case '"':
            ok = String();
            break;
        case 't':
            ok = Word("true");
            break;
        case 'f':
            ok = Word("false");
            break;
        case 'n':
            ok = Word("null");
            break;
        default:
            ok = Number();
        }
        --depth_;
        return ok;
    }

    std::string_view text_;
    size_t at_ = 0;
    int depth_ = 0;
};

inline bool IsJson(std::string_view text) {
    return JsonSyntax(text).Valid();
}
