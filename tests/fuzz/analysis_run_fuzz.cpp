// The whole run of an analysis helper over a fake model: whatever the request and
// whatever the model answers or raises, the run exits 0 after exactly one result line.
//
// Input: one byte choosing the helper and what the model does, then the request, a
// NUL byte, and the model's answer as JSON text (or the error's case name).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/frame/helper_runner.h"
#include "analysis/tests/fakes.h"
#include "analysis/tests/helpers_under_test.h"
#include "platform/foundation/json.h"
#include "tests/fuzz/fuzz_check.h"

using namespace quorvantel;
using namespace quorvantel::analysis;
using namespace quorvantel::analysis::testing;

namespace {

const char* actionFlag(HelperIndex index) {
    return index == kTitles ? "--suggest" : index == kCategories ? "--classify" : "--analyze";
}

constexpr LanguageModelPlatformError::Type kErrorTypes[] = {
    LanguageModelPlatformError::Type::languageModelError,
    LanguageModelPlatformError::Type::systemLanguageModelError,
    LanguageModelPlatformError::Type::languageModelSessionError,
    LanguageModelPlatformError::Type::generatedContentParsingError,
    LanguageModelPlatformError::Type::generationError,
    LanguageModelPlatformError::Type::other,
};

bool isResultStatus(const std::string& status) {
    return status == "complete" || status == "abstained" || status == "failed" || status == "unavailable" ||
           status == "available";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::uint8_t choice = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = rest.find('\0');
    const std::string request(rest.substr(0, split));
    const std::string answer(split == std::string_view::npos ? std::string_view() : rest.substr(split + 1));

    const HelperUnderTest& under = allHelpers()[choice & 3];
    ModelScript script;
    // Bits 0-1 choose the helper; bits 2-4 say whether the model answers (0), raises
    // an error of one of the types (1-6) or is unavailable (7); bit 5 asks for the
    // doctor report instead; bits 6-7 set how many bytes each read of the request gets.
    const unsigned mode = (choice >> 2) & 7;
    if (mode == 0) {
        try {
            script.answer = json::parseAny(answer);
        } catch (const json::ParseError&) {
            script.answer = json::Value(answer);
        }
    } else if (mode <= 6) {
        script.error.emplace(kErrorTypes[mode - 1], answer);
    } else {
        script.availability = LanguageModelAvailability::unavailable(LanguageModelAvailability::Reason::other, answer);
    }
    const std::vector<std::string> arguments = {(choice & 0x20) ? kDoctorFlag : actionFlag(under.index)};

    const auto helper = under.make();
    FakeProvider provider(script);
    FakeProcessInfo info;
    StringSource source(request, 1 + (choice >> 6) * 997);
    StringSink sink;
    SteppingClock clock;
    HelperPlatform platform{info, provider, source, sink, std::ref(clock)};
    const int status = runHelper(*helper, arguments, platform);

    fuzzCheck(status == 0, "the run does not exit 0", sink.text);
    fuzzCheck(!sink.text.empty() && sink.text.back() == '\n' &&
                  sink.text.find('\n') == sink.text.size() - 1,
              "the run does not write exactly one line", sink.text);
    json::Value line;
    try {
        line = json::parse(std::string_view(sink.text).substr(0, sink.text.size() - 1));
    } catch (const json::ParseError& error) {
        fuzzFailure("the result line is not JSON", sink.text + error.what());
    }
    const json::Value* resultStatus = line.find("status");
    fuzzCheck(line.isObject() && resultStatus && resultStatus->isString() && isResultStatus(resultStatus->asString()),
              "the result line has no status of a result", sink.text);
    return 0;
}
