// Reading the model's generated content into a helper's answer type. Anything that
// does not fit raises AnswerDecodingError.
#pragma once

#include <string>
#include <vector>

#include "platform/foundation/json.h"

namespace quorvantel::analysis {

const json::Value& answerMember(const json::Value& object, const char* key);
std::string answerString(const json::Value& object, const char* key);
bool answerBool(const json::Value& object, const char* key);
const json::Array& answerArray(const json::Value& object, const char* key);
std::vector<std::string> answerStrings(const json::Value& object, const char* key);

// The case a two-case choice was written as: its "type" member, which must be one of
// the case names.
std::string answerCase(const json::Value& content, const std::vector<std::string>& caseNames);

}  // namespace quorvantel::analysis
