#include "analysis/frame/helper_runner.h"

#include <csignal>
#include <stdexcept>
#include <unistd.h>

#include "analysis/frame/request.h"
#include "platform/foundation/clock.h"

namespace quorvantel::analysis {

json::Object commonBaseKeys(std::int64_t schemaVersion) {
    return json::Object{{"schemaVersion", schemaVersion},
                        {"providerId", kProviderId},
                        {"processingLocation", kProcessingLocation}};
}

Command parseCommand(const std::vector<std::string>& arguments, const std::string& actionFlag) {
    if (arguments.size() != 1) return Command::invalid;
    if (arguments[0] == kDoctorFlag) return Command::doctor;
    if (arguments[0] == actionFlag) return Command::action;
    return Command::invalid;
}

namespace {

class Run {
public:
    Run(AnalysisHelper& helper, HelperPlatform& platform)
        : helper_(helper), constants_(helper.constants()), platform_(platform) {}

    // Writes the outcome with durationMs 0: it ends the run before the clock started.
    int write(const Outcome& outcome) { return emit(result(helper_.baseKeys(), outcome), platform_.output); }

    // Writes the outcome with the time since the clock started.
    int writeMeasured(const Outcome& outcome) {
        const json::Object keys = helper_.baseKeys();
        const double durationMs = static_cast<double>(platform_.clock() - start_) / 1e6;
        return emit(result(keys, outcome, durationMs), platform_.output);
    }

    int runModel(bool doctor) {
        if (constants_.readsRequestBeforeAvailability && !doctor) {
            if (auto failure = readRequest()) return write(Outcome::failed(*failure));
        }
        std::unique_ptr<SystemLanguageModel> model =
            platform_.models.makeModel(LanguageModelUseCase::general, LanguageModelGuardrails::standard);
        if (auto failure = unavailability(*model, constants_.availabilityMessages)) {
            return write(Outcome::unavailable(*failure));
        }
        if (doctor) return write(doctorReport());

        start_ = platform_.clock();
        if (!constants_.readsRequestBeforeAvailability) {
            if (auto failure = readRequest()) return writeMeasured(Outcome::failed(*failure));
        }
        Outcome outcome;
        try {
            outcome = helper_.analyze(*model);
        } catch (const std::exception& error) {
            return writeMeasured(generationFailure(error));
        } catch (...) {
            return writeMeasured(generationFailure(std::runtime_error("an error of no known type")));
        }
        return writeMeasured(outcome);
    }

private:
    std::optional<Failure> readRequest() {
        try {
            helper_.readRequest(platform_.input);
            return std::nullopt;
        } catch (const std::exception& error) {
            return helper_.invalidRequest(error);
        }
    }

    Outcome generationFailure(const std::exception& error) {
        return Outcome::failed(
            {helper_.generationFailureCode(error, platform_.processInfo), constants_.generationFailureMessage});
    }

    Outcome doctorReport() const {
        Outcome report{"available",
                       json::Object{{"promptVersion", constants_.promptVersion},
                                    {"maximumRequestBytes", static_cast<long long>(kMaximumRequestBytes)},
                                    {"maximumResponseTokens", constants_.maximumResponseTokens},
                                    {"modelVersion", nullptr},
                                    {"osVersion", platform_.processInfo.operatingSystemVersionString()}}};
        if (constants_.supportedRequestSchemas) {
            report.keys.emplace_back("supportedRequestSchemas", *constants_.supportedRequestSchemas);
        }
        return report;
    }

    AnalysisHelper& helper_;
    const HelperConstants& constants_;
    HelperPlatform& platform_;
    std::uint64_t start_ = 0;
};

}  // namespace

int runHelper(AnalysisHelper& helper, const std::vector<std::string>& arguments, HelperPlatform& platform) {
    const HelperConstants& constants = helper.constants();
    Run run(helper, platform);
    const Command command = parseCommand(arguments, constants.actionFlag);
    if (command == Command::invalid) {
        return run.write(Outcome::failed({"invalid_command", constants.usageMessage}));
    }
    if (!platform.processInfo.isOperatingSystemAtLeast(kMinimumSystemVersion)) {
        return run.write(Outcome::unavailable({"unsupported_os", constants.oldSystemMessage}));
    }
    return run.runModel(command == Command::doctor);
}

int helperMain(AnalysisHelper& helper, int argc, char** argv, const ProcessInfo& processInfo,
               LanguageModelProvider& models) {
    // A host that has closed our output must see exit status 1, not a signal.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    FileDescriptorSource input(STDIN_FILENO);
    FileDescriptorSink output(STDOUT_FILENO);
    HelperPlatform platform{processInfo, models, input, output, monotonicNanoseconds};
    return runHelper(helper, arguments, platform);
}

}  // namespace quorvantel::analysis
