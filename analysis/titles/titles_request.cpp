#include "analysis/titles/titles_request.h"

#include "analysis/frame/analysis_errors.h"

namespace quorvantel::analysis::titles {

const RequestRules& titlesRequestRules() {
    static const RequestRules rules = [] {
        RequestRules r;
        r.keySets = {{1, {"schemaVersion", "locale", "phase", "segments"}}};
        r.minimumSegments = 1;
        r.maximumSegments = 128;
        r.textRule = TextRule::nonEmptyAfterTrimming;
        r.referenceRule = ReferenceRule::identifier;
        return r;
    }();
    return rules;
}

namespace {

Phase decodePhase(const json::Value& value) {
    if (!value.isString()) throw RequestDecodingError("phase is not a string");
    if (value.asString() == "extract") return Phase::extract;
    if (value.asString() == "synthesize") return Phase::synthesize;
    throw RequestDecodingError("phase is none of its values");
}

TitlesRequest finish(std::string_view bytes, ByteSource* input) {
    TitlesRequest out;
    const ExtrasCheck extras = [&](const json::Value& object, const Request&) {
        out.phase = decodePhase(*object.find("phase"));
    };
    out.request = input != nullptr ? readRequest(*input, titlesRequestRules(), extras)
                                   : validateRequest(bytes, titlesRequestRules(), extras);
    return out;
}

}  // namespace

TitlesRequest readTitlesRequest(ByteSource& input) { return finish({}, &input); }

TitlesRequest validateTitlesRequest(std::string_view bytes) { return finish(bytes, nullptr); }

}  // namespace quorvantel::analysis::titles
