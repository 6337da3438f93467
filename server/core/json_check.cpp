#include "server/core/json_check.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>

namespace qira::server {
namespace {

constexpr int kMaxDepth = 64;

// The length of the UTF-8 sequence at the start of `text`, or 0 when it is
// not a valid one (overlong forms, surrogates and values past U+10FFFF too).
std::size_t Utf8Length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

class Checker {
public:
    explicit Checker(std::string_view text) : text_(text) {}

    bool WholeObject() {
        SkipBlanks();
        if (Peek() != '{' || !Value(0)) return false;
        SkipBlanks();
        return at_ == text_.size();
    }

private:
    char Peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++at_;
        return true;
    }
    void SkipBlanks() {
        while (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r') ++at_;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool Digits() {
        const std::size_t start = at_;
        while (Peek() >= '0' && Peek() <= '9') ++at_;
        return at_ > start;
    }

    bool Value(int depth) {
        SkipBlanks();
        switch (Peek()) {
            case '{':
                return depth < kMaxDepth && Members(depth + 1);
            case '[':
                return depth < kMaxDepth && Elements(depth + 1);
            case '"':
                return String();
            case 't':
                return Word("true");
            case 'f':
                return Word("false");
            case 'n':
                return Word("null");
            default:
                return Number();
        }
    }

    bool Members(int depth) {
        Take('{');
        SkipBlanks();
        if (Take('}')) return true;
        do {
            SkipBlanks();
            if (!String()) return false;
            SkipBlanks();
            if (!Take(':') || !Value(depth)) return false;
            SkipBlanks();
        } while (Take(','));
        return Take('}');
    }

    bool Elements(int depth) {
        Take('[');
        SkipBlanks();
        if (Take(']')) return true;
        do {
            if (!Value(depth)) return false;
            SkipBlanks();
        } while (Take(','));
        return Take(']');
    }

    bool String() {
        if (!Take('"')) return false;
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) return false;
            if (c == '\\') {
                if (!Escape()) return false;
                continue;
            }
            const std::size_t length = Utf8Length(text_.substr(at_));
            if (length == 0) return false;
            at_ += length;
        }
        return false;
    }

    // After the backslash: one of the short escapes, or \uXXXX, where a
    // high surrogate must be followed by an escaped low one.
    bool Escape() {
        ++at_;
        const char kind = Peek();
        if (kind == '\0') return false;
        ++at_;
        if (kind != 'u') return std::string_view("\"\\/bfnrt").find(kind) != std::string_view::npos;
        const auto unit = HexUnit();
        if (!unit || (*unit >= 0xDC00 && *unit <= 0xDFFF)) return false;
        if (*unit < 0xD800 || *unit > 0xDBFF) return true;
        if (!Take('\\') || !Take('u')) return false;
        const auto low = HexUnit();
        return low && *low >= 0xDC00 && *low <= 0xDFFF;
    }

    std::optional<unsigned> HexUnit() {
        unsigned value = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char h = Peek();
            const unsigned digit = h >= '0' && h <= '9'   ? static_cast<unsigned>(h - '0')
                                   : h >= 'a' && h <= 'f' ? static_cast<unsigned>(h - 'a' + 10)
                                   : h >= 'A' && h <= 'F' ? static_cast<unsigned>(h - 'A' + 10)
                                                          : 16u;
            if (digit == 16) return std::nullopt;
            value = value * 16 + digit;
        }
        return value;
    }

    // A number as the grammar has it, and one a reader can hold: 1e999 is
    // refused, since readers of the export (nlohmann's parser) refuse it.
    bool Number() {
        const std::size_t start = at_;
        if (!NumberText()) return false;
        return std::isfinite(
            std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr));
    }

    bool NumberText() {
        Take('-');
        if (Take('0')) {
            if (Peek() >= '0' && Peek() <= '9') return false;
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

bool IsJsonObject(std::string_view text) {
    return Checker(text).WholeObject();
}

}  // namespace qira::server
