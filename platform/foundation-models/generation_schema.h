// A generation schema: the shape an answer of the on-device model must take, as
// plain data. Each answer type builds one, once; the model is guided by it, and the
// stand-in records it as JSON Schema.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/json.h"

namespace quorvantel {

struct GenerationProperty;

struct GenerationSchema {
    enum class Kind { object, string, boolean, array, choice };

    Kind kind = Kind::object;
    // The type's name ("Chapters", "ChapterBoundary"); empty for anonymous values.
    std::string name;
    // Given to the model with the type; empty when the type has none.
    std::string description;

    // object: the properties in the order the model writes them.
    std::vector<GenerationProperty> properties;
    // string: a constant the value must equal, or the values it must be one of.
    std::optional<std::string> constant;
    std::vector<std::string> anyOf;
    // array: the element schema (exactly one) and the element-count guides.
    std::vector<GenerationSchema> element;
    std::optional<int> minimumCount;
    std::optional<int> maximumCount;
    // choice: the object shapes of its cases; the model writes exactly one of them.
    std::vector<GenerationSchema> cases;

    static GenerationSchema object(std::string name, std::string description,
                                   std::vector<GenerationProperty> properties);
    static GenerationSchema string();
    static GenerationSchema constantString(std::string value);
    static GenerationSchema stringAnyOf(std::vector<std::string> values);
    static GenerationSchema boolean();
    static GenerationSchema array(GenerationSchema element, std::optional<int> minimumCount,
                                  std::optional<int> maximumCount);
    static GenerationSchema choice(std::string name, std::string description,
                                   std::vector<GenerationSchema> cases);
    // One case of a two-case choice, written as an object whose first member "type"
    // is the constant case name and, when the case carries one, whose "value" member
    // is its payload.
    static GenerationSchema choiceCase(const std::string& caseName, const std::string& description,
                                       const GenerationSchema* payload);

    // The property of an object schema with that name, or nullptr.
    const GenerationProperty* property(const std::string& propertyName) const;
};

struct GenerationProperty {
    std::string name;
    std::string description;
    GenerationSchema schema;
};

// The schema as JSON Schema: "type", "title", "description", "properties" with
// "required" and "x-order" (the property order), "const" and "enum" guides, "items"
// with "minItems" and "maxItems", and "anyOf" for a choice.
json::Value toJSONSchema(const GenerationSchema& schema);

// Nothing when the value has the schema's shape and meets its guides; otherwise the
// path of the first member that does not ("value.chapters[2].heading").
std::optional<std::string> schemaViolation(const GenerationSchema& schema, const json::Value& value);

}  // namespace quorvantel
