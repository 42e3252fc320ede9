// The request every analysis helper reads: transcript passages with their
// references, in US English, and the rules that decide whether it is valid.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/frame/byte_source.h"
#include "platform/foundation/json.h"

namespace quorvantel::analysis {

// The largest request any helper reads, in bytes of UTF-8.
inline constexpr std::size_t kMaximumRequestBytes = 4000;
inline constexpr const char* kRequestLocale = "en-US";

struct Segment {
    std::string reference;
    std::string text;
};

struct Request {
    std::int64_t schemaVersion = 0;
    std::string locale;
    std::vector<Segment> segments;
};

enum class TextRule { nonEmpty, nonEmptyAfterTrimming, any };
enum class ReferenceRule { identifier, alphanumeric };

struct RequestRules {
    // The schema numbers a request may carry, and the exact top-level keys of each.
    std::map<std::int64_t, std::vector<std::string>> keySets;
    // Whether the schema number chooses the key set and so is checked before
    // anything else (chapters); otherwise it is checked on the typed value.
    bool schemaChosenFirst = false;
    std::size_t minimumSegments = 1;
    std::size_t maximumSegments = 128;
    TextRule textRule = TextRule::nonEmpty;
    ReferenceRule referenceRule = ReferenceRule::identifier;
};

// Validates the helper's own members once the common ones are read: gets the
// request object and the typed request, raises InputError or RequestDecodingError.
using ExtrasCheck = std::function<void(const json::Value& object, const Request& request)>;

// Reads at most kMaximumRequestBytes + 1 bytes and validates them. Raises ReadError
// when the input cannot be read, json::ParseError when the bytes are not JSON,
// RequestDecodingError when a member has the wrong type, and InputError for every
// other broken rule.
Request readRequest(ByteSource& input, const RequestRules& rules, const ExtrasCheck& extras = {});

// The same validation of bytes already read.
Request validateRequest(std::string_view bytes, const RequestRules& rules, const ExtrasCheck& extras = {});

// Whether the object's keys are exactly these, each once.
bool hasExactKeys(const json::Value& object, const std::vector<std::string>& keys);

}  // namespace quorvantel::analysis
