#include "analysis/frame/answer_decoding.h"

#include <algorithm>

#include "analysis/frame/analysis_errors.h"

namespace quorvantel::analysis {

const json::Value& answerMember(const json::Value& object, const char* key) {
    if (!object.isObject()) throw AnswerDecodingError(std::string("the answer holding ") + key + " is not an object");
    const json::Value* value = object.find(key);
    if (value == nullptr) throw AnswerDecodingError(std::string("the answer has no ") + key);
    return *value;
}

std::string answerString(const json::Value& object, const char* key) {
    const json::Value& value = answerMember(object, key);
    if (!value.isString()) throw AnswerDecodingError(std::string(key) + " is not a string");
    return value.asString();
}

bool answerBool(const json::Value& object, const char* key) {
    const json::Value& value = answerMember(object, key);
    if (!value.isBool()) throw AnswerDecodingError(std::string(key) + " is not a boolean");
    return value.asBool();
}

const json::Array& answerArray(const json::Value& object, const char* key) {
    const json::Value& value = answerMember(object, key);
    if (!value.isArray()) throw AnswerDecodingError(std::string(key) + " is not an array");
    return value.asArray();
}

std::vector<std::string> answerStrings(const json::Value& object, const char* key) {
    std::vector<std::string> out;
    for (const json::Value& entry : answerArray(object, key)) {
        if (!entry.isString()) throw AnswerDecodingError(std::string(key) + " holds a value that is not a string");
        out.push_back(entry.asString());
    }
    return out;
}

std::string answerCase(const json::Value& content, const std::vector<std::string>& caseNames) {
    std::string type = answerString(content, "type");
    if (std::find(caseNames.begin(), caseNames.end(), type) == caseNames.end()) {
        throw AnswerDecodingError("the answer's type is none of its cases");
    }
    return type;
}

}  // namespace quorvantel::analysis
