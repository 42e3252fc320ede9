// JSON values, the one line writer every helper uses, and strict parsing.
//
// The writer fixes what the protocols need and no library offers together: compact
// output, "/" written as "\/", integers kept as integers, finite doubles written so
// that they read back to the same bits, and keys either sorted at every level or
// kept in insertion order.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace quorvantel::json {

class Value;
using Array = std::vector<Value>;
// Insertion order is kept; the writer sorts when asked to.
using Object = std::vector<std::pair<std::string, Value>>;

enum class Kind { null, boolean, integer, unsignedInteger, number, string, array, object };

class Value {
public:
    Value() : data_(nullptr) {}
    Value(std::nullptr_t) : data_(nullptr) {}
    Value(bool b) : data_(b) {}
    Value(int v) : data_(static_cast<std::int64_t>(v)) {}
    Value(long v) : data_(static_cast<std::int64_t>(v)) {}
    Value(long long v) : data_(static_cast<std::int64_t>(v)) {}
    Value(unsigned v) : data_(static_cast<std::int64_t>(v)) {}
    // Values above INT64_MAX stay unsigned so that they are written exactly.
    Value(unsigned long v) { setUnsigned(v); }
    Value(unsigned long long v) { setUnsigned(v); }
    Value(double d) : data_(d) {}
    Value(const char* s) : data_(std::string(s)) {}
    Value(std::string s) : data_(std::move(s)) {}
    Value(std::string_view s) : data_(std::string(s)) {}
    Value(Array a) : data_(std::move(a)) {}
    Value(Object o) : data_(std::move(o)) {}

    Kind kind() const { return static_cast<Kind>(data_.index()); }
    bool isNull() const { return kind() == Kind::null; }
    bool isBool() const { return kind() == Kind::boolean; }
    // Any JSON number: integer, unsigned integer or double.
    bool isNumber() const {
        return kind() == Kind::integer || kind() == Kind::unsignedInteger || kind() == Kind::number;
    }
    bool isInteger() const { return kind() == Kind::integer || kind() == Kind::unsignedInteger; }
    bool isString() const { return kind() == Kind::string; }
    bool isArray() const { return kind() == Kind::array; }
    bool isObject() const { return kind() == Kind::object; }

    bool asBool() const { return std::get<bool>(data_); }
    std::int64_t asInt() const { return std::get<std::int64_t>(data_); }
    std::uint64_t asUnsigned() const { return std::get<std::uint64_t>(data_); }
    // The number's value as a double, whichever representation it has.
    double asDouble() const;
    const std::string& asString() const { return std::get<std::string>(data_); }
    const Array& asArray() const { return std::get<Array>(data_); }
    Array& asArray() { return std::get<Array>(data_); }
    const Object& asObject() const { return std::get<Object>(data_); }
    Object& asObject() { return std::get<Object>(data_); }

    // The member of an object with that key (the last one when a key repeats), or
    // nullptr when absent or when this is not an object.
    const Value* find(std::string_view key) const;

    bool operator==(const Value& other) const { return data_ == other.data_; }

private:
    void setUnsigned(unsigned long long v) {
        if (v <= static_cast<unsigned long long>(INT64_MAX)) {
            data_ = static_cast<std::int64_t>(v);
        } else {
            data_ = static_cast<std::uint64_t>(v);
        }
    }
    std::variant<std::nullptr_t, bool, std::int64_t, std::uint64_t, double, std::string, Array,
                 Object>
        data_;
};

// Raised for a value that has no JSON text: a non-finite number or a string that is
// not UTF-8.
class WriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class KeyOrder { sorted, insertion };

// Compact JSON text of the value, without a line feed.
std::string write(const Value& value, KeyOrder order);

// Appends the JSON string literal of text (quotes included) to out.
void writeString(std::string& out, std::string_view text);

// Raised with the parser's own description of why the text is not JSON.
class ParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses one JSON text whose top level is an object or an array. Numbers keep the
// distinction between integers and doubles; duplicate keys are kept in order.
Value parse(std::string_view text);

// Like parse, but accepts any JSON value at the top level.
Value parseAny(std::string_view text);

}  // namespace quorvantel::json
