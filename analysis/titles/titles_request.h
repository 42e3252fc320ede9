// The titles request: the common request and its phase.
#pragma once

#include <string_view>

#include "analysis/frame/request.h"

namespace quorvantel::analysis::titles {

// extract: one bounded part of a transcript; synthesize: the title candidates of
// all parts of one meeting.
enum class Phase { extract, synthesize };

struct TitlesRequest {
    Request request;
    Phase phase = Phase::extract;
};

const RequestRules& titlesRequestRules();

// Reads and validates the request; a phase other than "extract" and "synthesize" is
// a RequestDecodingError.
TitlesRequest readTitlesRequest(ByteSource& input);
TitlesRequest validateTitlesRequest(std::string_view bytes);

}  // namespace quorvantel::analysis::titles
