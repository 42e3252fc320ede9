// The helper's command line: the command is told by the number of arguments and their
// exact words (case-sensitive, no abbreviations, no "--option=value" forms), and a
// bundle identifier is validated before the command does any other work.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvantel::capture {

inline constexpr const char* kUsageMessage =
    "Usage: quorvantel-capture list | record --bundle-id <id> | record --all-system | meeting-metadata --bundle-id "
    "<id> | selftest | display-status";
inline constexpr const char* kInvalidBundleIdentifierMessage = "Invalid application bundle identifier.";

// A bundle identifier holds 1 to this many UTF-16 code units.
inline constexpr std::size_t kMaximumBundleIdentifierLength = 255;
// The only characters meeting-metadata accepts in an identifier.
inline constexpr std::string_view kMetadataBundleIdentifierAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-";

enum class CommandKind { list, recordApplication, recordAllSystem, meetingMetadata, selftest, displayStatus };

struct Command {
    CommandKind kind;
    std::string bundleId;  // recordApplication and meetingMetadata only
};

// The command of the arguments after the program name; raises the usage failure or
// the invalid-identifier failure.
Command parseCommand(const std::vector<std::string>& arguments);

// The length of text in UTF-16 code units, with each ill-formed UTF-8 sequence
// counted as the one replacement character it is read as.
std::size_t utf16Length(std::string_view text);

}  // namespace quorvantel::capture
