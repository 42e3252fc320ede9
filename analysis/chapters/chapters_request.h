// The chapters request: the common request, and under schema 2 the prior context
// (a preceding excerpt and the previous chapter's heading).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "analysis/frame/request.h"

namespace quorvantel::analysis::chapters {

// The preceding excerpt, in bytes of UTF-8.
inline constexpr std::size_t kMinimumContextTextBytes = 1;
inline constexpr std::size_t kMaximumContextTextBytes = 480;
// The previous heading, as the answer schema asks headings to be.
inline constexpr std::size_t kMaximumHeadingBytes = 96;
inline constexpr std::size_t kMaximumHeadingWords = 8;
// Characters a heading never holds: controls and format characters, and markup
// and bracket characters that would let a heading pose as something else.
inline constexpr const char* kForbiddenHeadingCharacters = "[\\p{Cc}\\p{Cf}<>`{}\\[\\]]";
inline constexpr const char* kForbiddenHeadingSequence = "://";

struct PriorContext {
    std::string text;
    std::optional<std::string> previousHeading;
};

struct ChaptersRequest {
    Request request;
    // Always absent under schema 1; absent under schema 2 when the JSON value is null.
    std::optional<PriorContext> context;
};

const RequestRules& chaptersRequestRules();

// Whether a non-null previous heading passes the heading rules, in order.
bool isValidHeading(std::string_view heading);

// Reads and validates the request; raises what analysis::readRequest raises.
ChaptersRequest readChaptersRequest(ByteSource& input);
ChaptersRequest validateChaptersRequest(std::string_view bytes);

}  // namespace quorvantel::analysis::chapters
