#include "platform/foundation/json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <simdjson.h>

namespace quorvantel::json {

double Value::asDouble() const {
    switch (kind()) {
        case Kind::integer: return static_cast<double>(std::get<std::int64_t>(data_));
        case Kind::unsignedInteger: return static_cast<double>(std::get<std::uint64_t>(data_));
        default: return std::get<double>(data_);
    }
}

const Value* Value::find(std::string_view key) const {
    if (!isObject()) return nullptr;
    const Object& members = asObject();
    for (auto it = members.rbegin(); it != members.rend(); ++it) {
        if (it->first == key) return &it->second;
    }
    return nullptr;
}

namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not well formed
// (overlong forms, surrogates and values past U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length;
    std::uint32_t code;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) return 0;
    if (code >= 0xD800 && code <= 0xDFFF) return 0;
    if (code > 0x10FFFF) return 0;
    return length;
}

// Integer digits the parser reads as a 64-bit integer lie in [-2^63, 2^64).
constexpr double kFirstDoublePastUnsigned = 18446744073709551616.0;
constexpr double kLowestSigned = -9223372036854775808.0;

void writeNumber(std::string& out, double d) {
    if (!std::isfinite(d)) throw WriteError("Invalid number value (NaN or infinity) in JSON write");
    // The shortest text that reads back to the same double.
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    // A whole number may come out as bare integer digits ("18446744073709551616"); past
    // the 64-bit integers the parser takes those for an integer it cannot hold and
    // refuses the text, so such a value is written with an exponent instead.
    const bool bareDigits = std::find_if(buffer, result.ptr, [](char c) {
                                return c == '.' || c == 'e';
                            }) == result.ptr;
    if (bareDigits && (d >= kFirstDoublePastUnsigned || d < kLowestSigned)) {
        result = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::scientific);
    }
    // "-0" reads back as the integer 0 and loses its sign; "-0.0" stays a double.
    if (d == 0 && std::signbit(d)) {
        out += "-0.0";
        return;
    }
    out.append(buffer, result.ptr);
}

template <typename Integer>
void writeInteger(std::string& out, Integer v) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    out.append(buffer, result.ptr);
}

void writeValue(std::string& out, const Value& value, KeyOrder order) {
    switch (value.kind()) {
        case Kind::null: out += "null"; return;
        case Kind::boolean: out += value.asBool() ? "true" : "false"; return;
        case Kind::integer: writeInteger(out, value.asInt()); return;
        case Kind::unsignedInteger: writeInteger(out, value.asUnsigned()); return;
        case Kind::number: writeNumber(out, value.asDouble()); return;
        case Kind::string: writeString(out, value.asString()); return;
        case Kind::array: {
            out += '[';
            bool first = true;
            for (const Value& element : value.asArray()) {
                if (!first) out += ',';
                first = false;
                writeValue(out, element, order);
            }
            out += ']';
            return;
        }
        case Kind::object: {
            const Object& members = value.asObject();
            std::vector<const std::pair<std::string, Value>*> ordered;
            ordered.reserve(members.size());
            for (const auto& member : members) ordered.push_back(&member);
            if (order == KeyOrder::sorted) {
                std::stable_sort(ordered.begin(), ordered.end(),
                                 [](const auto* a, const auto* b) { return a->first < b->first; });
            }
            out += '{';
            bool first = true;
            for (const auto* member : ordered) {
                if (!first) out += ',';
                first = false;
                writeString(out, member->first);
                out += ':';
                writeValue(out, member->second, order);
            }
            out += '}';
            return;
        }
    }
}

Value convert(simdjson::dom::element element) {
    using simdjson::dom::element_type;
    switch (element.type()) {
        case element_type::NULL_VALUE: return Value(nullptr);
        case element_type::BOOL: return Value(bool(element.get_bool().value_unsafe()));
        case element_type::INT64:
            return Value(static_cast<long long>(element.get_int64().value_unsafe()));
        case element_type::UINT64:
            return Value(static_cast<unsigned long long>(element.get_uint64().value_unsafe()));
        case element_type::DOUBLE: return Value(element.get_double().value_unsafe());
        case element_type::STRING: return Value(std::string(element.get_string().value_unsafe()));
        case element_type::ARRAY: {
            Array array;
            simdjson::dom::array children;
            if (element.get_array().get(children) != simdjson::SUCCESS) return Value(Array{});
            for (simdjson::dom::element child : children) {
                array.push_back(convert(child));
            }
            return Value(std::move(array));
        }
        case element_type::OBJECT: {
            Object object;
            simdjson::dom::object members;
            if (element.get_object().get(members) != simdjson::SUCCESS) return Value(Object{});
            for (simdjson::dom::key_value_pair member : members) {
                object.emplace_back(std::string(member.key), convert(member.value));
            }
            return Value(std::move(object));
        }
    }
    return Value(nullptr);
}

Value parseWith(std::string_view text, bool containersOnly) {
    simdjson::dom::parser parser;
    simdjson::padded_string padded(text);
    simdjson::dom::element root;
    auto error = parser.parse(padded).get(root);
    if (error) throw ParseError(simdjson::error_message(error));
    if (containersOnly && !root.is_object() && !root.is_array()) {
        throw ParseError("JSON text did not start with array or object.");
    }
    return convert(root);
}

}  // namespace

void writeString(std::string& out, std::string_view text) {
    static constexpr char hex[] = "0123456789abcdef";
    out += '"';
    std::size_t i = 0;
    while (i < text.size()) {
        // Runs of characters written as they are go out in one append.
        std::size_t plain = i;
        while (plain < text.size()) {
            const unsigned char p = static_cast<unsigned char>(text[plain]);
            if (p < 0x20 || p >= 0x80 || p == '"' || p == '\\' || p == '/') break;
            ++plain;
        }
        if (plain > i) {
            out.append(text.data() + i, plain - i);
            i = plain;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const std::size_t length = utf8SequenceLength(text, i);
            if (length == 0) throw WriteError("Invalid UTF-8 text in JSON write");
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '/': out += "\\/"; break;
            case '\b': out += "\\b"; break;
            case '\f': out += "\\f"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += hex[c >> 4];
                    out += hex[c & 0xF];
                } else {
                    out += static_cast<char>(c);
                }
        }
        ++i;
    }
    out += '"';
}

std::string write(const Value& value, KeyOrder order) {
    std::string out;
    writeValue(out, value, order);
    return out;
}

Value parse(std::string_view text) { return parseWith(text, true); }

Value parseAny(std::string_view text) { return parseWith(text, false); }

}  // namespace quorvantel::json
