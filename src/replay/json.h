#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// A small JSON reader for the hand log: one document per line, values kept as
// a tree. Numbers are kept as doubles, which hold every whole number the log
// writes (tiles, chairs, points, ids) exactly.
namespace qira::replay {

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue, std::less<>>;

    JsonValue() = default;  // null
    explicit JsonValue(bool value) : value_(value) {}
    explicit JsonValue(double value) : value_(value) {}
    explicit JsonValue(std::string value) : value_(std::move(value)) {}
    explicit JsonValue(Array value) : value_(std::make_shared<Array>(std::move(value))) {}
    explicit JsonValue(Object value) : value_(std::make_shared<Object>(std::move(value))) {}

    bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsNumber() const { return std::holds_alternative<double>(value_); }
    bool IsString() const { return std::holds_alternative<std::string>(value_); }
    bool IsArray() const { return std::holds_alternative<std::shared_ptr<Array>>(value_); }
    bool IsObject() const { return std::holds_alternative<std::shared_ptr<Object>>(value_); }

    // The value as a whole number, or nothing when it is not one.
    std::optional<std::int64_t> Integer() const;
    const std::string* String() const { return std::get_if<std::string>(&value_); }
    std::optional<bool> Bool() const {
        if (const bool* value = std::get_if<bool>(&value_)) return *value;
        return std::nullopt;
    }
    const Array* AsArray() const;
    const Object* AsObject() const;
    // The member `key` of an object, or nullptr (also when this is no object).
    const JsonValue* Find(std::string_view key) const;

private:
    std::variant<std::monostate, bool, double, std::string, std::shared_ptr<Array>,
                 std::shared_ptr<Object>>
        value_;
};

struct JsonResult {
    std::optional<JsonValue> value;
    std::string error;  // where and why the text is not JSON
};

// Parses one whole document; text after it other than blanks is an error.
JsonResult ParseJson(std::string_view text);

}  // namespace qira::replay
