#include "analysis/frame/request.h"

#include <algorithm>
#include <set>

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/text_rules.h"

namespace quorvantel::analysis {

namespace {

const json::Value& member(const json::Value& object, const char* key) {
    const json::Value* value = object.find(key);
    if (value == nullptr) throw RequestDecodingError(std::string("missing member ") + key);
    return *value;
}

const std::string& typedString(const json::Value& value, const char* what) {
    if (!value.isString()) throw RequestDecodingError(std::string(what) + " is not a string");
    return value.asString();
}

// The second, typed reading of the request.
Request decodeTyped(const json::Value& object) {
    Request request;
    const json::Value& schema = member(object, "schemaVersion");
    if (schema.kind() != json::Kind::integer) throw RequestDecodingError("schemaVersion is not an integer");
    request.schemaVersion = schema.asInt();
    request.locale = typedString(member(object, "locale"), "locale");
    const json::Value& segments = member(object, "segments");
    if (!segments.isArray()) throw RequestDecodingError("segments is not an array");
    for (const json::Value& entry : segments.asArray()) {
        if (!entry.isObject()) throw RequestDecodingError("a segment is not an object");
        request.segments.push_back({typedString(member(entry, "reference"), "reference"),
                                    typedString(member(entry, "text"), "text")});
    }
    return request;
}

bool textAccepted(const std::string& text, TextRule rule) {
    switch (rule) {
        case TextRule::nonEmpty: return !text.empty();
        case TextRule::nonEmptyAfterTrimming: return !trimWhiteSpace(text).empty();
        case TextRule::any: return true;
    }
    return false;
}

bool referenceAccepted(const std::string& reference, ReferenceRule rule) {
    switch (rule) {
        case ReferenceRule::identifier: return isIdentifierReference(reference);
        case ReferenceRule::alphanumeric: return isAlphanumericReference(reference);
    }
    return false;
}

}  // namespace

bool hasExactKeys(const json::Value& object, const std::vector<std::string>& keys) {
    if (!object.isObject() || object.asObject().size() != keys.size()) return false;
    std::set<std::string_view> seen;
    for (const auto& [key, value] : object.asObject()) {
        // A key written twice leaves it unclear which value is meant.
        if (!seen.insert(key).second) return false;
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) return false;
    }
    return true;
}

Request readRequest(ByteSource& input, const RequestRules& rules, const ExtrasCheck& extras) {
    return validateRequest(readAtMost(input, kMaximumRequestBytes), rules, extras);
}

Request validateRequest(std::string_view bytes, const RequestRules& rules, const ExtrasCheck& extras) {
    if (bytes.size() > kMaximumRequestBytes) throw InputError();
    const json::Value object = json::parse(bytes);
    if (!object.isObject()) throw InputError();

    // The schema number picks the key set where there is more than one.
    std::int64_t schema = rules.keySets.begin()->first;
    if (rules.schemaChosenFirst) {
        const json::Value* version = object.find("schemaVersion");
        if (version == nullptr || version->kind() != json::Kind::integer) throw InputError();
        schema = version->asInt();
        if (rules.keySets.count(schema) == 0) throw InputError();
    }
    if (!hasExactKeys(object, rules.keySets.at(schema))) throw InputError();

    const json::Value& segments = *object.find("segments");
    if (!segments.isArray()) throw InputError();
    const std::size_t count = segments.asArray().size();
    if (count < rules.minimumSegments || count > rules.maximumSegments) throw InputError();
    for (const json::Value& entry : segments.asArray()) {
        if (!hasExactKeys(entry, {"reference", "text"})) throw InputError();
    }

    Request request = decodeTyped(object);
    if (rules.schemaChosenFirst ? request.schemaVersion != schema : rules.keySets.count(request.schemaVersion) == 0) {
        throw InputError();
    }
    if (extras) extras(object, request);
    if (request.locale != kRequestLocale) throw InputError();

    std::set<std::string_view> references;
    for (const Segment& segment : request.segments) references.insert(segment.reference);
    if (references.size() != request.segments.size()) throw InputError();

    for (const Segment& segment : request.segments) {
        if (!textAccepted(segment.text, rules.textRule)) throw InputError();
        if (!referenceAccepted(segment.reference, rules.referenceRule)) throw InputError();
    }
    return request;
}

}  // namespace quorvantel::analysis
