#include "analysis/tests/fakes.h"

namespace quorvantel::analysis::testing {

namespace {

class FakeSession final : public LanguageModelSession {
public:
    FakeSession(ModelScript& script, std::string instructions)
        : script_(script), instructions_(std::move(instructions)) {}

    GeneratedContent respond(const std::string& prompt, const GenerationSchema& schema, bool includeSchemaInPrompt,
                             const GenerationOptions& options) override {
        script_.generations.push_back({instructions_, prompt, schema.name, includeSchemaInPrompt, options});
        if (script_.error) throw *script_.error;
        return script_.answer;
    }

private:
    ModelScript& script_;
    std::string instructions_;
};

}  // namespace

std::unique_ptr<LanguageModelSession> FakeModel::makeSession(const std::string& instructions) {
    return std::make_unique<FakeSession>(script_, instructions);
}

}  // namespace quorvantel::analysis::testing
