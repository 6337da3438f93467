#include "replay/json.h"

#include <cmath>
#include <cstdlib>

namespace qira::replay {

std::optional<std::int64_t> JsonValue::Integer() const {
    const double* number = std::get_if<double>(&value_);
    if (!number || std::trunc(*number) != *number || std::abs(*number) > 9.0e15)
        return std::nullopt;
    return static_cast<std::int64_t>(*number);
}

const JsonValue::Array* JsonValue::AsArray() const {
    const auto* array = std::get_if<std::shared_ptr<Array>>(&value_);
    return array ? array->get() : nullptr;
}

const JsonValue::Object* JsonValue::AsObject() const {
    const auto* object = std::get_if<std::shared_ptr<Object>>(&value_);
    return object ? object->get() : nullptr;
}

const JsonValue* JsonValue::Find(std::string_view key) const {
    const Object* object = AsObject();
    if (!object) return nullptr;
    const auto found = object->find(key);
    return found == object->end() ? nullptr : &found->second;
}

namespace {

// Nesting deeper than this is refused rather than followed down the stack.
constexpr int kMaxDepth = 64;

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    JsonResult Document() {
        JsonResult result;
        SkipBlanks();
        auto value = Value(0);
        SkipBlanks();
        if (value && pos_ != text_.size()) Fail("text after the value");
        if (!error_.empty()) {
            result.error = error_ + " at offset " + std::to_string(pos_);
            return result;
        }
        result.value = std::move(value);
        return result;
    }

private:
    std::optional<JsonValue> Value(int depth) {
        if (depth > kMaxDepth) return Fail("nested too deeply");
        if (pos_ >= text_.size()) return Fail("unexpected end");
        const char c = text_[pos_];
        if (c == '{') return ObjectValue(depth);
        if (c == '[') return ArrayValue(depth);
        if (c == '"') {
            auto text = StringText();
            if (!text) return std::nullopt;
            return JsonValue(std::move(*text));
        }
        if (Literal("true")) return JsonValue(true);
        if (Literal("false")) return JsonValue(false);
        if (Literal("null")) return JsonValue();
        return Number();
    }

    std::optional<JsonValue> ObjectValue(int depth) {
        ++pos_;
        JsonValue::Object members;
        SkipBlanks();
        if (Take('}')) return JsonValue(std::move(members));
        while (true) {
            SkipBlanks();
            if (pos_ >= text_.size() || text_[pos_] != '"') return Fail("expected a key");
            auto key = StringText();
            if (!key) return std::nullopt;
            SkipBlanks();
            if (!Take(':')) return Fail("expected ':'");
            SkipBlanks();
            auto value = Value(depth + 1);
            if (!value) return std::nullopt;
            members.insert_or_assign(std::move(*key), std::move(*value));
            SkipBlanks();
            if (Take('}')) return JsonValue(std::move(members));
            if (!Take(',')) return Fail("expected ',' or '}'");
        }
    }

    std::optional<JsonValue> ArrayValue(int depth) {
        ++pos_;
        JsonValue::Array items;
        SkipBlanks();
        if (Take(']')) return JsonValue(std::move(items));
        while (true) {
            SkipBlanks();
            auto value = Value(depth + 1);
            if (!value) return std::nullopt;
            items.push_back(std::move(*value));
            SkipBlanks();
            if (Take(']')) return JsonValue(std::move(items));
            if (!Take(',')) return Fail("expected ',' or ']'");
        }
    }

    std::optional<std::string> StringText() {
        ++pos_;
        std::string out;
        while (pos_ < text_.size()) {
            const char c = text_[pos_++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) return FailText("control character in text");
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (pos_ >= text_.size()) break;
            const char e = text_[pos_++];
            switch (e) {
                case '"':
                case '\\':
                case '/':
                    out.push_back(e);
                    break;
                case 'b':
                    out.push_back('\b');
                    break;
                case 'f':
                    out.push_back('\f');
                    break;
                case 'n':
                    out.push_back('\n');
                    break;
                case 'r':
                    out.push_back('\r');
                    break;
                case 't':
                    out.push_back('\t');
                    break;
                case 'u':
                    if (!Escape(out)) return std::nullopt;
                    break;
                default:
                    return FailText("unknown escape");
            }
        }
        return FailText("unterminated text");
    }

    std::optional<unsigned> Hex4() {
        if (pos_ + 4 > text_.size()) return std::nullopt;
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<unsigned>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return value;
    }

    // \uXXXX, with a surrogate pair for characters beyond the first plane.
    bool Escape(std::string& out) {
        auto unit = Hex4();
        if (!unit) return FailFlag("bad \\u escape");
        unsigned code = *unit;
        if (code >= 0xD800 && code <= 0xDBFF) {
            if (pos_ + 2 > text_.size() || text_[pos_] != '\\' || text_[pos_ + 1] != 'u')
                return FailFlag("lone surrogate");
            pos_ += 2;
            auto low = Hex4();
            if (!low || *low < 0xDC00 || *low > 0xDFFF) return FailFlag("lone surrogate");
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
        } else if (code >= 0xDC00 && code <= 0xDFFF) {
            return FailFlag("lone surrogate");
        }
        AppendUtf8(out, code);
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }

    std::optional<JsonValue> Number() {
        const std::size_t start = pos_;
        if (pos_ < text_.size() && text_[pos_] == '-') ++pos_;
        const std::size_t digits = pos_;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
        if (pos_ == digits) return Fail("expected a value");
        if (text_[digits] == '0' && pos_ - digits > 1) return Fail("leading zero");
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!Digits()) return Fail("expected digits after '.'");
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) ++pos_;
            if (!Digits()) return Fail("expected an exponent");
        }
        const std::string number(text_.substr(start, pos_ - start));
        return JsonValue(std::strtod(number.c_str(), nullptr));
    }

    bool Digits() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
        return pos_ > start;
    }
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) return false;
        pos_ += word.size();
        return true;
    }
    bool Take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }

    std::nullopt_t Fail(std::string why) {
        if (error_.empty()) error_ = std::move(why);
        return std::nullopt;
    }
    std::optional<std::string> FailText(std::string why) { return Fail(std::move(why)); }
    bool FailFlag(std::string why) {
        Fail(std::move(why));
        return false;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};

}  // namespace

JsonResult ParseJson(std::string_view text) {
    return Parser(text).Document();
}

}  // namespace qira::replay
