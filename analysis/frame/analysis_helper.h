// What each of the four analysis helpers gives the shared run: its constants, its
// request reading, its analysis, and how its failures become codes.
#pragma once

#include <exception>
#include <optional>
#include <string>

#include "analysis/frame/availability.h"
#include "analysis/frame/byte_source.h"
#include "analysis/frame/envelope.h"
#include "platform/foundation-models/language_model.h"
#include "platform/foundation/json.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::analysis {

struct HelperConstants {
    std::string actionFlag;
    std::string usageMessage;
    std::string oldSystemMessage;
    std::string promptVersion;
    int maximumResponseTokens = 0;
    AvailabilityMessages availabilityMessages;
    // The message of every failure after the clock has started, but the invalid
    // request's.
    std::string generationFailureMessage;
    // Chapters reads its request before it looks at the model, and starts its clock
    // only after; the others look at the model first.
    bool readsRequestBeforeAvailability = false;
    // The doctor report's list of request schemas, for the helper that has several.
    std::optional<json::Array> supportedRequestSchemas;
};

// One helper for one run; it keeps the request it has read.
class AnalysisHelper {
public:
    virtual ~AnalysisHelper() = default;
    virtual const HelperConstants& constants() const = 0;
    // The envelope's constant keys (schemaVersion, providerId, processingLocation and
    // the helper's task, useCase and grounding) as they stand now.
    virtual json::Object baseKeys() const = 0;
    // Reads and validates the request; raises what readRequest raises.
    virtual void readRequest(ByteSource& input) = 0;
    // The failure for an error raised by readRequest.
    virtual Failure invalidRequest(const std::exception& error) const = 0;
    // Builds the prompt, generates and checks the answer: the outcome ("complete" or
    // "abstained"). Raises on any failure.
    virtual Outcome analyze(SystemLanguageModel& model) = 0;
    // The code for an error raised by analyze().
    virtual std::string generationFailureCode(const std::exception& error, const ProcessInfo& processInfo) const = 0;
};

// The envelope keys every helper has.
json::Object commonBaseKeys(std::int64_t schemaVersion);

}  // namespace quorvantel::analysis
