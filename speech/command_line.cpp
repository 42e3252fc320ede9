#include "speech/command_line.h"

#include "speech/speech_failure.h"

namespace quorvantel::speech {
namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr std::size_t kMinimumGroupLength = 2;
constexpr std::size_t kMaximumGroupLength = 8;

}  // namespace

bool isValidLocaleIdentifier(const std::string& identifier) {
    if (identifier.size() > kMaximumLocaleBytes) return false;
    std::size_t i = 0;
    bool first = true;
    while (true) {
        const std::size_t groupStart = i;
        while (i < identifier.size() && (isLetter(identifier[i]) || (!first && isDigit(identifier[i])))) ++i;
        const std::size_t length = i - groupStart;
        if (length < kMinimumGroupLength || length > kMaximumGroupLength) return false;
        if (i == identifier.size()) return true;
        if (identifier[i] != '-' && identifier[i] != '_') return false;
        ++i;
        first = false;
    }
}

CommandLine parseCommandLine(const std::vector<std::string>& arguments) {
    if (arguments.empty()) throw SpeechFailure(kUsageMessage);
    CommandLine result;
    const std::string& name = arguments[0];
    if (name == "probe") result.command = Command::probe;
    else if (name == "prepare") result.command = Command::prepare;
    else if (name == "run") result.command = Command::run;
    else if (name == "file") result.command = Command::file;
    else if (name == "selftest") result.command = Command::selftest;
    else throw SpeechFailure(kUsageMessage);

    for (std::size_t i = 1; i < arguments.size(); i += 2) {
        if (i + 1 >= arguments.size()) throw SpeechFailure(kMissingArgumentMessage);
        const std::string& option = arguments[i];
        const std::string& value = arguments[i + 1];
        if (option == "--locale") result.locale = value;
        else if (option == "--path") result.path = value;
        else throw SpeechFailure(kUnknownArgumentMessage);
    }
    if (!isValidLocaleIdentifier(result.locale)) throw SpeechFailure(kInvalidLocaleMessage);
    return result;
}

}  // namespace quorvantel::speech
