#include "analysis/frame/envelope.h"

namespace quorvantel::analysis {

Outcome Outcome::failed(const Failure& failure) {
    return {"failed", json::Object{{"code", failure.code}, {"message", failure.message}}};
}

Outcome Outcome::unavailable(const Failure& failure) {
    return {"unavailable", json::Object{{"code", failure.code}, {"message", failure.message}}};
}

namespace {

void put(json::Object& object, const std::string& key, json::Value value) {
    for (auto& member : object) {
        if (member.first == key) {
            member.second = std::move(value);
            return;
        }
    }
    object.emplace_back(key, std::move(value));
}

}  // namespace

json::Value result(const json::Object& baseKeys, const Outcome& outcome, double durationMs) {
    json::Object envelope = baseKeys;
    put(envelope, "status", outcome.status);
    put(envelope, "durationMs", durationMs);
    for (const auto& [key, value] : outcome.keys) put(envelope, key, value);
    return json::Value(std::move(envelope));
}

int emit(const json::Value& envelope, OutputSink& output) {
    std::string line;
    try {
        line = json::write(envelope, json::KeyOrder::sorted);
    } catch (const json::WriteError&) {
        return kExitUnwritable;
    }
    line += '\n';
    return output.write(line) ? kExitWritten : kExitUnwritable;
}

}  // namespace quorvantel::analysis
