// JSON and base64 round trips. Whatever the parser accepts, the writer writes, and
// that text reads back to the same value; any finite double the writer writes reads
// back to the same number; base64 decodes what it encodes, and decodes nothing but
// what encoding gives again.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/base64.h"
#include "platform/foundation/json.h"
#include "tests/fuzz/fuzz_check.h"

namespace json = quorvantel::json;
namespace base64 = quorvantel::base64;

namespace {

// Equal as JSON values: numbers by their value, whichever representation the parser
// chose ("1.0" becomes an integer once written as "1").
bool sameValue(const json::Value& a, const json::Value& b) {
    if (a.isNumber() && b.isNumber()) {
        if (a.isInteger() && b.isInteger()) return a == b;
        return a.asDouble() == b.asDouble();
    }
    if (a.kind() != b.kind()) return false;
    if (a.isArray()) {
        const json::Array& x = a.asArray();
        const json::Array& y = b.asArray();
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (!sameValue(x[i], y[i])) return false;
        }
        return true;
    }
    if (a.isObject()) {
        const json::Object& x = a.asObject();
        const json::Object& y = b.asObject();
        if (x.size() != y.size()) return false;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (x[i].first != y[i].first || !sameValue(x[i].second, y[i].second)) return false;
        }
        return true;
    }
    return a == b;
}

void parsedTextRoundTrips(std::string_view text) {
    json::Value value;
    try {
        value = json::parseAny(text);
    } catch (const json::ParseError&) {
        return;
    }
    // Parsed strings are UTF-8 and parsed numbers finite: the writer has text for all.
    const std::string written = json::write(value, json::KeyOrder::insertion);
    json::Value back;
    try {
        back = json::parseAny(written);
    } catch (const json::ParseError& error) {
        fuzzFailure("the parser refuses what the writer wrote", written + ": " + error.what());
    }
    fuzzCheck(sameValue(value, back), "a written value reads back different", written);
    fuzzCheck(json::write(back, json::KeyOrder::insertion) == written, "writing is not stable", written);
    // Sorting keys changes their order only.
    const std::string sorted = json::write(value, json::KeyOrder::sorted);
    fuzzCheck(sorted.size() == written.size(), "sorted keys change the text's length", sorted);
    json::parseAny(sorted);
}

void doublesRoundTrip(const std::uint8_t* data, std::size_t size) {
    json::Array numbers;
    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double d;
        std::memcpy(&d, data + at, sizeof d);
        if (std::isfinite(d)) numbers.emplace_back(d);
    }
    if (numbers.empty()) return;
    const std::string written = json::write(json::Value(numbers), json::KeyOrder::sorted);
    json::Value back;
    try {
        back = json::parse(written);
    } catch (const json::ParseError& error) {
        fuzzFailure("the parser refuses a written double", written + ": " + error.what());
    }
    const json::Array& read = back.asArray();
    fuzzCheck(read.size() == numbers.size(), "written doubles read back as another count", written);
    for (std::size_t i = 0; i < read.size(); ++i) {
        // The same bits: a negative zero keeps its sign.
        fuzzCheck(read[i].isNumber(), "a written double reads back as no number", written);
        const double expected = numbers[i].asDouble();
        const double got = read[i].asDouble();
        fuzzCheck(std::memcmp(&got, &expected, sizeof got) == 0, "a written double reads back as another number",
                  written);
    }
}

void base64RoundTrips(const std::uint8_t* data, std::size_t size) {
    const std::string encoded = base64::encode(data, size);
    const auto decoded = base64::decodeCanonical(encoded);
    fuzzCheck(decoded && decoded->size() == size && std::equal(decoded->begin(), decoded->end(), data),
              "base64 does not decode what it encoded", encoded);

    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto bytes = base64::decodeCanonical(text);
    if (bytes) {
        fuzzCheck(base64::encode(*bytes) == text, "base64 decoded a text that encoding does not give",
                  std::string(text));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parsedTextRoundTrips(std::string_view(reinterpret_cast<const char*>(data), size));
    doublesRoundTrip(data, size);
    base64RoundTrips(data, size);
    return 0;
}
