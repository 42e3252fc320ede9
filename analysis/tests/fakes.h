// Fakes of the platform for the unit tests: a scripted model that records what it
// was asked, a system of a chosen version, byte sources and sinks over strings, and
// a clock that advances by a fixed step.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/frame/analysis_errors.h"
#include "analysis/frame/byte_source.h"
#include "platform/foundation-models/language_model.h"
#include "platform/foundation/process_info.h"

namespace quorvantel::analysis::testing {

struct Generation {
    std::string instructions;
    std::string prompt;
    std::string schemaName;
    bool includeSchemaInPrompt = false;
    GenerationOptions options;
};

// What the fake model answers and what it saw.
struct ModelScript {
    LanguageModelAvailability availability;
    bool supportsLocale = true;
    GeneratedContent answer;
    std::optional<LanguageModelPlatformError> error;
    std::vector<Generation> generations;
    std::vector<std::string> localesAsked;
    int modelsMade = 0;
};

class FakeModel final : public SystemLanguageModel {
public:
    explicit FakeModel(ModelScript& script) : script_(script) {}
    LanguageModelAvailability availability() const override { return script_.availability; }
    bool supportsLocale(const std::string& identifier) const override {
        script_.localesAsked.push_back(identifier);
        return script_.supportsLocale;
    }
    std::unique_ptr<LanguageModelSession> makeSession(const std::string& instructions) override;

private:
    ModelScript& script_;
};

class FakeProvider final : public LanguageModelProvider {
public:
    explicit FakeProvider(ModelScript& script) : script_(script) {}
    std::unique_ptr<SystemLanguageModel> makeModel(LanguageModelUseCase, LanguageModelGuardrails) override {
        ++script_.modelsMade;
        return std::make_unique<FakeModel>(script_);
    }

private:
    ModelScript& script_;
};

class FakeProcessInfo final : public ProcessInfo {
public:
    explicit FakeProcessInfo(OperatingSystemVersion version = {26, 0, 0}, std::string text = "macOS 26.0 test build")
        : version_(version), text_(std::move(text)) {}
    OperatingSystemVersion operatingSystemVersion() const override { return version_; }
    std::string operatingSystemVersionString() const override { return text_; }

private:
    OperatingSystemVersion version_;
    std::string text_;
};

// Hands out the text in pieces of at most `chunk` bytes, and records how much was
// asked for; fails with ReadError once `failAfter` bytes have been given.
class StringSource final : public ByteSource {
public:
    explicit StringSource(std::string text, std::size_t chunk = SIZE_MAX,
                          std::optional<std::size_t> failAfter = std::nullopt)
        : text_(std::move(text)), chunk_(chunk), failAfter_(failAfter) {}

    std::size_t read(char* buffer, std::size_t maximum) override {
        ++reads;
        requested += maximum;
        if (failAfter_ && given_ >= *failAfter_) throw ReadError("cannot read standard input: Input/output error");
        const std::size_t n = std::min<std::size_t>({maximum, chunk_, text_.size() - given_});
        text_.copy(buffer, n, given_);
        given_ += n;
        return n;
    }

    int reads = 0;
    std::size_t requested = 0;

private:
    std::string text_;
    std::size_t chunk_;
    std::optional<std::size_t> failAfter_;
    std::size_t given_ = 0;
};

class StringSink final : public OutputSink {
public:
    explicit StringSink(bool fails = false) : fails_(fails) {}
    bool write(std::string_view bytes) override {
        ++writes;
        if (fails_) return false;
        text.append(bytes);
        return true;
    }
    std::string text;
    int writes = 0;

private:
    bool fails_;
};

// Starts at 1 s and moves on by `stepNanoseconds` at every reading.
struct SteppingClock {
    std::uint64_t now = 1'000'000'000;
    std::uint64_t stepNanoseconds = 1'500'000;
    int readings = 0;
    std::uint64_t operator()() {
        ++readings;
        const std::uint64_t value = now;
        now += stepNanoseconds;
        return value;
    }
};

}  // namespace quorvantel::analysis::testing
