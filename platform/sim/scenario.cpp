#include "platform/sim/scenario.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace quorvantel::sim {

bool simulationRequested() {
    const char* path = std::getenv(kScenarioVariable);
    return path != nullptr && *path != '\0';
}

json::Value readScenario() {
    const char* path = std::getenv(kScenarioVariable);
    if (path == nullptr || *path == '\0') return json::Value(json::Object{});
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw ScenarioError(std::string("cannot read ") + path + ": " + std::strerror(errno));
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw ScenarioError(std::string("cannot read ") + path);
    json::Value scenario;
    try {
        scenario = json::parseAny(text.str());
    } catch (const json::ParseError& error) {
        throw ScenarioError(std::string("cannot parse ") + path + ": " + error.what());
    }
    if (!scenario.isObject()) throw ScenarioError("the scenario must be a JSON object");
    return scenario;
}

Section::Section(const json::Value* object, std::string path)
    : object_(object), path_(std::move(path)) {}

const json::Value* Section::member(std::string_view key) const {
    return object_ ? object_->find(key) : nullptr;
}

bool Section::isNull(std::string_view key) const {
    const json::Value* v = member(key);
    return v != nullptr && v->isNull();
}

std::string Section::pathOf(std::string_view key) const {
    return path_.empty() ? std::string(key) : path_ + "." + std::string(key);
}

void Section::wrongType(std::string_view key, std::string_view expected) const {
    throw ScenarioError(pathOf(key) + " must be " + std::string(expected));
}

Section Section::section(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return Section(nullptr, pathOf(key));
    if (!v->isObject()) wrongType(key, "an object");
    return Section(v, pathOf(key));
}

std::optional<bool> Section::boolean(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return std::nullopt;
    if (!v->isBool()) wrongType(key, "a boolean");
    return v->asBool();
}

std::optional<double> Section::number(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return std::nullopt;
    if (!v->isNumber()) wrongType(key, "a number");
    return v->asDouble();
}

std::optional<std::int64_t> Section::integer(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return std::nullopt;
    if (v->kind() == json::Kind::integer) return v->asInt();
    if (v->kind() == json::Kind::number) {
        const double d = v->asDouble();
        if (d == static_cast<double>(static_cast<std::int64_t>(d))) return static_cast<std::int64_t>(d);
    }
    wrongType(key, "an integer");
}

std::optional<std::string> Section::string(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return std::nullopt;
    if (!v->isString()) wrongType(key, "a string");
    return v->asString();
}

const json::Array* Section::array(std::string_view key) const {
    const json::Value* v = member(key);
    if (v == nullptr) return nullptr;
    if (!v->isArray()) wrongType(key, "an array");
    return &v->asArray();
}

void exitWithScenarioError(std::string_view reason) {
    std::string line = "quorvantel simulation: ";
    line.append(reason);
    line += '\n';
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, line.data(), line.size());
    std::_Exit(kScenarioExitStatus);
}

}  // namespace quorvantel::sim
