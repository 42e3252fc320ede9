#include "platform/foundation-models/generation_schema.h"

namespace quorvantel {

GenerationSchema GenerationSchema::object(std::string name, std::string description,
                                          std::vector<GenerationProperty> properties) {
    GenerationSchema schema;
    schema.kind = Kind::object;
    schema.name = std::move(name);
    schema.description = std::move(description);
    schema.properties = std::move(properties);
    return schema;
}

GenerationSchema GenerationSchema::string() {
    GenerationSchema schema;
    schema.kind = Kind::string;
    return schema;
}

GenerationSchema GenerationSchema::constantString(std::string value) {
    GenerationSchema schema = string();
    schema.constant = std::move(value);
    return schema;
}

GenerationSchema GenerationSchema::stringAnyOf(std::vector<std::string> values) {
    GenerationSchema schema = string();
    schema.anyOf = std::move(values);
    return schema;
}

GenerationSchema GenerationSchema::boolean() {
    GenerationSchema schema;
    schema.kind = Kind::boolean;
    return schema;
}

GenerationSchema GenerationSchema::array(GenerationSchema element, std::optional<int> minimumCount,
                                         std::optional<int> maximumCount) {
    GenerationSchema schema;
    schema.kind = Kind::array;
    schema.element.push_back(std::move(element));
    schema.minimumCount = minimumCount;
    schema.maximumCount = maximumCount;
    return schema;
}

GenerationSchema GenerationSchema::choice(std::string name, std::string description,
                                          std::vector<GenerationSchema> cases) {
    GenerationSchema schema;
    schema.kind = Kind::choice;
    schema.name = std::move(name);
    schema.description = std::move(description);
    schema.cases = std::move(cases);
    return schema;
}

GenerationSchema GenerationSchema::choiceCase(const std::string& caseName,
                                              const std::string& description,
                                              const GenerationSchema* payload) {
    std::vector<GenerationProperty> members;
    members.push_back({"type", "", constantString(caseName)});
    if (payload != nullptr) members.push_back({"value", "", *payload});
    return object(caseName, description, std::move(members));
}

const GenerationProperty* GenerationSchema::property(const std::string& propertyName) const {
    for (const GenerationProperty& p : properties) {
        if (p.name == propertyName) return &p;
    }
    return nullptr;
}

namespace {

json::Value jsonSchema(const GenerationSchema& schema, const std::string& description) {
    json::Object out;
    if (!schema.name.empty()) out.emplace_back("title", schema.name);
    // A property's own description wins over its type's, as the model sees it there.
    const std::string& text = description.empty() ? schema.description : description;
    if (!text.empty()) out.emplace_back("description", text);
    switch (schema.kind) {
        case GenerationSchema::Kind::object: {
            out.emplace_back("type", "object");
            json::Object properties;
            json::Array order;
            for (const GenerationProperty& p : schema.properties) {
                properties.emplace_back(p.name, jsonSchema(p.schema, p.description));
                order.emplace_back(p.name);
            }
            out.emplace_back("properties", std::move(properties));
            out.emplace_back("required", order);
            out.emplace_back("x-order", order);
            out.emplace_back("additionalProperties", false);
            break;
        }
        case GenerationSchema::Kind::string: {
            out.emplace_back("type", "string");
            if (schema.constant) out.emplace_back("const", *schema.constant);
            if (!schema.anyOf.empty()) {
                json::Array values(schema.anyOf.begin(), schema.anyOf.end());
                out.emplace_back("enum", std::move(values));
            }
            break;
        }
        case GenerationSchema::Kind::boolean: out.emplace_back("type", "boolean"); break;
        case GenerationSchema::Kind::array: {
            out.emplace_back("type", "array");
            out.emplace_back("items", jsonSchema(schema.element.at(0), ""));
            if (schema.minimumCount) out.emplace_back("minItems", *schema.minimumCount);
            if (schema.maximumCount) out.emplace_back("maxItems", *schema.maximumCount);
            break;
        }
        case GenerationSchema::Kind::choice: {
            json::Array cases;
            for (const GenerationSchema& c : schema.cases) cases.push_back(jsonSchema(c, ""));
            out.emplace_back("anyOf", std::move(cases));
            break;
        }
    }
    return json::Value(std::move(out));
}

std::optional<std::string> violation(const GenerationSchema& schema, const json::Value& value,
                                     const std::string& path) {
    const auto here = [&] { return path.empty() ? std::string("(answer)") : path; };
    switch (schema.kind) {
        case GenerationSchema::Kind::object: {
            if (!value.isObject()) return here();
            if (value.asObject().size() != schema.properties.size()) return here();
            for (const GenerationProperty& p : schema.properties) {
                const std::string at = path.empty() ? p.name : path + "." + p.name;
                const json::Value* member = value.find(p.name);
                if (member == nullptr) return at;
                if (auto bad = violation(p.schema, *member, at)) return bad;
            }
            return std::nullopt;
        }
        case GenerationSchema::Kind::string: {
            if (!value.isString()) return here();
            if (schema.constant && value.asString() != *schema.constant) return here();
            if (!schema.anyOf.empty()) {
                bool listed = false;
                for (const std::string& v : schema.anyOf) listed = listed || v == value.asString();
                if (!listed) return here();
            }
            return std::nullopt;
        }
        case GenerationSchema::Kind::boolean:
            if (!value.isBool()) return here();
            return std::nullopt;
        case GenerationSchema::Kind::array: {
            if (!value.isArray()) return here();
            const auto count = static_cast<long>(value.asArray().size());
            if (schema.minimumCount && count < *schema.minimumCount) return here();
            if (schema.maximumCount && count > *schema.maximumCount) return here();
            for (std::size_t i = 0; i < value.asArray().size(); ++i) {
                if (auto bad = violation(schema.element.at(0), value.asArray()[i],
                                         here() + "[" + std::to_string(i) + "]")) {
                    return bad;
                }
            }
            return std::nullopt;
        }
        case GenerationSchema::Kind::choice: {
            for (const GenerationSchema& c : schema.cases) {
                if (!violation(c, value, path)) return std::nullopt;
            }
            return here();
        }
    }
    return here();
}

}  // namespace

json::Value toJSONSchema(const GenerationSchema& schema) { return jsonSchema(schema, ""); }

std::optional<std::string> schemaViolation(const GenerationSchema& schema, const json::Value& value) {
    return violation(schema, value, "");
}

}  // namespace quorvantel
