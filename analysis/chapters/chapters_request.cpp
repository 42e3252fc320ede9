#include "analysis/chapters/chapters_request.h"

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/text_rules.h"

namespace quorvantel::analysis::chapters {

const RequestRules& chaptersRequestRules() {
    static const RequestRules rules = [] {
        RequestRules r;
        r.keySets = {{1, {"schemaVersion", "locale", "segments"}},
                     {2, {"schemaVersion", "locale", "segments", "context"}}};
        r.schemaChosenFirst = true;
        r.minimumSegments = 1;
        r.maximumSegments = 128;
        r.textRule = TextRule::nonEmpty;
        r.referenceRule = ReferenceRule::identifier;
        return r;
    }();
    return rules;
}

bool isValidHeading(std::string_view heading) {
    if (trimWhiteSpace(heading).empty()) return false;
    if (heading.size() > kMaximumHeadingBytes) return false;
    if (wordCount(heading) > kMaximumHeadingWords) return false;
    if (findsMatch(kForbiddenHeadingCharacters, heading)) return false;
    if (heading.find(kForbiddenHeadingSequence) != std::string_view::npos) return false;
    return true;
}

namespace {

std::optional<PriorContext> readContext(const json::Value& value) {
    if (value.isNull()) return std::nullopt;
    if (!hasExactKeys(value, {"text", "previousHeading"})) throw InputError();
    const json::Value& text = *value.find("text");
    if (!text.isString()) throw InputError();
    const std::size_t bytes = text.asString().size();
    if (bytes < kMinimumContextTextBytes || bytes > kMaximumContextTextBytes) throw InputError();
    PriorContext context{text.asString(), std::nullopt};
    const json::Value& heading = *value.find("previousHeading");
    if (heading.isNull()) return context;
    if (!heading.isString() || !isValidHeading(heading.asString())) throw InputError();
    context.previousHeading = heading.asString();
    return context;
}

ChaptersRequest finish(std::string_view bytes, ByteSource* input) {
    ChaptersRequest out;
    const ExtrasCheck extras = [&](const json::Value& object, const Request& request) {
        if (request.schemaVersion == 2) out.context = readContext(*object.find("context"));
    };
    out.request = input != nullptr ? readRequest(*input, chaptersRequestRules(), extras)
                                   : validateRequest(bytes, chaptersRequestRules(), extras);
    return out;
}

}  // namespace

ChaptersRequest readChaptersRequest(ByteSource& input) { return finish({}, &input); }

ChaptersRequest validateChaptersRequest(std::string_view bytes) { return finish(bytes, nullptr); }

}  // namespace quorvantel::analysis::chapters
