// The run every analysis helper shares: the command line, the system-version gate,
// the availability check, the doctor report, the request, the generation and the one
// result line, in that order.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analysis/frame/analysis_helper.h"
#include "analysis/frame/byte_source.h"
#include "platform/foundation-models/language_model.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::analysis {

// The oldest system with the on-device model.
inline constexpr OperatingSystemVersion kMinimumSystemVersion{26, 0, 0};
inline constexpr const char* kDoctorFlag = "--doctor";

struct HelperPlatform {
    const ProcessInfo& processInfo;
    LanguageModelProvider& models;
    ByteSource& input;
    OutputSink& output;
    // Monotonic nanoseconds, for durationMs.
    std::function<std::uint64_t()> clock;
};

enum class Command { doctor, action, invalid };

// The arguments after the program name: exactly "--doctor" or exactly the action flag.
Command parseCommand(const std::vector<std::string>& arguments, const std::string& actionFlag);

// The whole run; the process's exit status.
int runHelper(AnalysisHelper& helper, const std::vector<std::string>& arguments, HelperPlatform& platform);

// The whole run over the standard streams and the monotonic clock, for main().
int helperMain(AnalysisHelper& helper, int argc, char** argv, const ProcessInfo& processInfo,
               LanguageModelProvider& models);

}  // namespace quorvantel::analysis
