// quorvantel-meeting-titles: one meeting title with evidence references, for one part
// of a transcript (extract) or for a whole meeting from its parts' titles
// (synthesize); or an abstention.
#pragma once

#include <optional>

#include "analysis/frame/analysis_helper.h"
#include "analysis/titles/titles_request.h"

namespace quorvantel::analysis::titles {

inline constexpr const char* kPromptHeader = "Read this quoted JSON input and cite its reference IDs:\n";
inline constexpr int kMaximumResponseTokens = 256;

const HelperConstants& titlesConstants();

class MeetingTitlesHelper final : public AnalysisHelper {
public:
    const HelperConstants& constants() const override { return titlesConstants(); }
    json::Object baseKeys() const override;
    void readRequest(ByteSource& input) override;
    Failure invalidRequest(const std::exception& error) const override;
    Outcome analyze(SystemLanguageModel& model) override;
    std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) const override;

private:
    std::optional<TitlesRequest> request_;
};

}  // namespace quorvantel::analysis::titles
