// quorvantel-meeting-chapters: chronological chapter starts with headings for a
// stretch of transcript, optionally continuing the chapter before it.
#pragma once

#include <optional>
#include <string>

#include "analysis/chapters/chapters_request.h"
#include "analysis/frame/analysis_helper.h"

namespace quorvantel::analysis::chapters {

inline constexpr const char* kSchema1Header =
    "Analyze these quoted JSON transcript passages and select their reference IDs:\n";
inline constexpr const char* kContextHeader = "CONTEXT_ONLY (not new input; no selectable references):\n";
inline constexpr const char* kNewPassagesHeader = "\nNEW_PASSAGES (the only selectable references):\n";
inline constexpr int kMaximumResponseTokens = 640;

const HelperConstants& chaptersConstants();

// The prompt of the request: the schema-1 header and the passages, or, with schema
// 2, the context header, the context JSON (or null), the new-passages header and the
// passages.
std::string chaptersPrompt(const ChaptersRequest& request);

class MeetingChaptersHelper final : public AnalysisHelper {
public:
    const HelperConstants& constants() const override { return chaptersConstants(); }
    json::Object baseKeys() const override;
    void readRequest(ByteSource& input) override;
    Failure invalidRequest(const std::exception& error) const override;
    Outcome analyze(SystemLanguageModel& model) override;
    std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) const override;

private:
    std::optional<ChaptersRequest> request_;
};

}  // namespace quorvantel::analysis::chapters
