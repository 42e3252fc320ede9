// The four helpers side by side, so that the rules they share are tested with one
// table of cases for all of them.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/frame/analysis_helper.h"
#include "platform/foundation/json.h"

namespace quorvantel::analysis::testing {

enum HelperIndex { kChapters = 0, kTitles = 1, kTopics = 2, kCategories = 3 };

struct HelperUnderTest {
    HelperIndex index;
    std::string name;        // "chapters"
    std::string executable;  // "quorvantel-meeting-chapters"
    std::function<std::unique_ptr<AnalysisHelper>()> make;
    // The request members besides schemaVersion, locale and segments.
    json::Object extras;
    // The helper's code and message for an invalid request.
    std::string invalidCode;
    std::string invalidMessage;
};

const std::vector<HelperUnderTest>& allHelpers();

// A per-helper expectation, in the order chapters, titles, topics, categories.
using PerHelper = std::array<bool, 4>;

json::Value segment(const std::string& reference, const std::string& text);
// {"a": "Budget ..."}, {"b": ...}: a short valid transcript.
json::Array sampleSegments();

// A request of the helper with these segments and otherwise valid members.
json::Object requestObject(const HelperUnderTest& helper, json::Array segments);
std::string requestText(const HelperUnderTest& helper, json::Array segments);
std::string requestText(const json::Object& object);

// Null when the helper accepts the bytes; otherwise the error it raised.
std::exception_ptr readError(const HelperUnderTest& helper, const std::string& bytes);

}  // namespace quorvantel::analysis::testing
