#include "capture/command_line.h"

#include <unicode/ustring.h>

#include "capture/capture_failure.h"

namespace quorvantel::capture {
namespace {

void validateLength(const std::string& id) {
    const std::size_t length = utf16Length(id);
    if (length < 1 || length > kMaximumBundleIdentifierLength) fail(kInvalidBundleIdentifierMessage);
}

}  // namespace

std::size_t utf16Length(std::string_view text) {
    if (text.empty()) return 0;
    // Preflight: with no room ICU only counts what the conversion would produce.
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(nullptr, 0, &length, text.data(), static_cast<int32_t>(text.size()), 0xFFFD, nullptr,
                         &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return text.size();
    return static_cast<std::size_t>(length);
}

Command parseCommand(const std::vector<std::string>& arguments) {
    switch (arguments.size()) {
        case 3:
            if (arguments[1] != "--bundle-id") break;
            if (arguments[0] == "record") {
                validateLength(arguments[2]);
                return {CommandKind::recordApplication, arguments[2]};
            }
            if (arguments[0] == "meeting-metadata") {
                validateLength(arguments[2]);
                if (arguments[2].find_first_not_of(kMetadataBundleIdentifierAlphabet) != std::string::npos) {
                    fail(kInvalidBundleIdentifierMessage);
                }
                return {CommandKind::meetingMetadata, arguments[2]};
            }
            break;
        case 2:
            if (arguments[0] == "record" && arguments[1] == "--all-system") return {CommandKind::recordAllSystem, {}};
            break;
        case 1:
            if (arguments[0] == "list") return {CommandKind::list, {}};
            if (arguments[0] == "selftest") return {CommandKind::selftest, {}};
            if (arguments[0] == "display-status") return {CommandKind::displayStatus, {}};
            break;
        default:
            break;
    }
    fail(kUsageMessage);
}

}  // namespace quorvantel::capture
