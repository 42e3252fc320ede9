// quorvantel-meeting-categories: one of eight meeting purposes, with up to four
// passage references as evidence.
#pragma once

#include <optional>

#include "analysis/frame/analysis_helper.h"
#include "analysis/frame/request.h"

namespace quorvantel::analysis::categories {

inline constexpr const char* kPromptHeader = "Classify this quoted JSON transcript and cite its reference IDs:\n";
inline constexpr int kMaximumResponseTokens = 256;
inline constexpr const char* kProviderID = "apple-foundation-models";

const HelperConstants& categoriesConstants();
const RequestRules& categoriesRequestRules();

class MeetingCategoriesHelper final : public AnalysisHelper {
public:
    const HelperConstants& constants() const override { return categoriesConstants(); }
    json::Object baseKeys() const override;
    void readRequest(ByteSource& input) override;
    Failure invalidRequest(const std::exception& error) const override;
    Outcome analyze(SystemLanguageModel& model) override;
    std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) const override;

private:
    std::optional<Request> request_;
};

}  // namespace quorvantel::analysis::categories
