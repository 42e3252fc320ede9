// The speech helper's command line: one command, then name/value option pairs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorvantel::speech {

enum class Command { probe, prepare, run, file, selftest };

inline constexpr const char* kUsageMessage =
    "Usage: quorvantel-speech probe|prepare|run [--locale en-US], file --path <48kHz.wav>, or selftest";
inline constexpr const char* kUnknownArgumentMessage = "Unknown speech command argument.";
inline constexpr const char* kMissingArgumentMessage = "Missing speech command argument.";
inline constexpr const char* kInvalidLocaleMessage = "Invalid speech locale identifier.";
inline constexpr const char* kDefaultLocale = "en-US";
inline constexpr std::size_t kMaximumLocaleBytes = 64;

struct CommandLine {
    Command command = Command::run;
    std::string locale = kDefaultLocale;
    std::optional<std::string> path;
};

// The arguments without the program name; raises SpeechFailure with the usage or
// argument message. The locale is checked for every command.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

// At most 64 bytes, two to eight letters, then groups of "-" or "_" and two to eight
// letters or digits.
bool isValidLocaleIdentifier(const std::string& identifier);

}  // namespace quorvantel::speech
