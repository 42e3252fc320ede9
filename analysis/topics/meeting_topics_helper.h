// quorvantel-meeting-topics: one to three topic labels, each with the passage
// references that support it.
#pragma once

#include <optional>

#include "analysis/frame/analysis_helper.h"
#include "analysis/frame/request.h"

namespace quorvantel::analysis::topics {

inline constexpr const char* kPromptHeader =
    "Analyze these quoted JSON transcript passages and select their reference IDs:\n";
inline constexpr int kMaximumResponseTokens = 512;
// The envelope's schema number, which is not the request's.
inline constexpr int kResultSchemaVersion = 3;

const HelperConstants& topicsConstants();
const RequestRules& topicsRequestRules();

// invalid_input for a request that broke a rule or had a member of the wrong type;
// generation_failed for everything else, including bytes that are not JSON.
std::string topicsFailureCode(const std::exception& error);

class MeetingTopicsHelper final : public AnalysisHelper {
public:
    const HelperConstants& constants() const override { return topicsConstants(); }
    json::Object baseKeys() const override;
    void readRequest(ByteSource& input) override;
    Failure invalidRequest(const std::exception& error) const override;
    Outcome analyze(SystemLanguageModel& model) override;
    std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) const override;

private:
    std::optional<Request> request_;
};

}  // namespace quorvantel::analysis::topics
