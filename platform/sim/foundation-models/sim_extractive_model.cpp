#include "platform/sim/foundation-models/sim_extractive_model.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/sim/foundation-models/sim_passage_words.h"

namespace quorvantel::sim {

namespace {

// What a heading, title and label may hold, as the answer descriptions ask.
constexpr std::size_t kHeadingWords = 3;
constexpr std::size_t kHeadingMaximumWords = 8;
constexpr std::size_t kHeadingMaximumBytes = 96;
constexpr std::size_t kTitleWords = 3;
constexpr std::size_t kTitleMaximumBytes = 120;
constexpr std::size_t kLabelWords = 2;
constexpr std::size_t kLabelMaximumBytes = 64;
// Used where a schema gives no element bound of its own.
constexpr std::size_t kDefaultMaximumElements = 4;

// Keyword evidence of each meeting purpose; a phrase is matched on consecutive words.
struct CategoryKeywords {
    const char* category;
    std::vector<std::vector<std::string>> phrases;
};

std::vector<std::vector<std::string>> phrases(std::initializer_list<const char*> texts) {
    std::vector<std::vector<std::string>> out;
    for (const char* text : texts) out.push_back(passageWords(text));
    return out;
}

const std::vector<CategoryKeywords>& categoryKeywords() {
    static const std::vector<CategoryKeywords> table = {
        {"planning", phrases({"plan", "plans", "planning", "schedule", "scheduling", "roadmap", "timeline",
                              "deadline", "deadlines", "milestone", "milestones", "next steps", "allocate",
                              "resources", "budget", "assign", "prioritize", "priorities", "arrange",
                              "organize", "book the", "by friday", "by monday", "next month"})},
        {"status_update", phrases({"status", "progress", "completed", "finished", "blocker", "blockers",
                                   "blocked", "shipped", "merged", "on track", "behind schedule", "remaining",
                                   "percent done", "wrapped up", "still working"})},
        {"customer_discussion", phrases({"customer", "customers", "client", "clients", "pricing", "price",
                                         "contract", "renewal", "subscription", "support ticket", "ticket",
                                         "purchase", "quote", "invoice", "demo", "your account",
                                         "your requirements", "our product", "our service"})},
        {"retrospective", phrases({"retrospective", "retro", "went well", "went wrong", "improve",
                                   "improvement", "lessons", "learned", "looking back", "last sprint",
                                   "next time", "postmortem", "post mortem"})},
        {"brainstorming", phrases({"idea", "ideas", "brainstorm", "brainstorming", "what if", "alternatively",
                                   "alternative", "options", "imagine", "suggestion", "suggestions", "explore",
                                   "concept", "how about"})},
        {"interview", phrases({"interview", "interviewing", "candidate", "tell me about", "your experience",
                               "your background", "resume", "the role", "position", "hiring",
                               "walk me through", "why did you", "describe a time"})},
    };
    return table;
}

bool containsPhrase(const std::vector<std::string>& words, const std::vector<std::string>& phrase) {
    if (phrase.empty() || phrase.size() > words.size()) return false;
    for (std::size_t i = 0; i + phrase.size() <= words.size(); ++i) {
        if (std::equal(phrase.begin(), phrase.end(), words.begin() + static_cast<long>(i))) return true;
    }
    return false;
}

std::size_t boundOf(const GenerationSchema* schema) {
    if (schema != nullptr && schema->maximumCount && *schema->maximumCount > 0) {
        return static_cast<std::size_t>(*schema->maximumCount);
    }
    return kDefaultMaximumElements;
}

// A run of passages about one subject.
struct Group {
    std::vector<std::size_t> members;
    std::map<std::string, int> vocabulary;
};

class Reader {
public:
    explicit Reader(PromptReading reading) : reading_(std::move(reading)) {
        for (const PromptPassage& passage : reading_.passages) {
            words_.push_back(passageWords(passage.text));
            std::vector<std::string> salient;
            for (const std::string& word : words_.back()) {
                if (!isSalientWord(word)) continue;
                salient.push_back(word);
                if (firstSeen_.emplace(word, order_.size()).second) order_.push_back(word);
            }
            salient_.push_back(std::move(salient));
        }
    }

    // Nothing but greetings, hesitation, audio checks or filler (or nothing at all).
    bool filler() const { return order_.empty(); }

    GeneratedContent fill(const GenerationSchema& schema) {
        switch (schema.kind) {
            case GenerationSchema::Kind::choice: return fillChoice(schema);
            case GenerationSchema::Kind::object: return fillObject(schema);
            default: return fillPlain(schema);
        }
    }

private:
    GeneratedContent fillChoice(const GenerationSchema& schema) {
        const GenerationSchema* empty = nullptr;
        const GenerationSchema* payload = nullptr;
        for (const GenerationSchema& c : schema.cases) {
            if (c.property("value") != nullptr) {
                if (payload == nullptr) payload = &c;
            } else if (empty == nullptr) {
                empty = &c;
            }
        }
        const GenerationSchema* chosen = (filler() && empty != nullptr) || payload == nullptr ? empty : payload;
        if (chosen == nullptr) return json::Value(nullptr);
        return fillObject(*chosen);
    }

    GeneratedContent fillObject(const GenerationSchema& schema) {
        json::Object out;
        for (const GenerationProperty& p : schema.properties) out.emplace_back(p.name, fillProperty(p));
        return json::Value(std::move(out));
    }

    GeneratedContent fillProperty(const GenerationProperty& property) {
        const GenerationSchema& schema = property.schema;
        if (property.name == "type" && schema.constant) return *schema.constant;
        if (property.name == "chapters" && schema.kind == GenerationSchema::Kind::array) return chapters(schema);
        if (property.name == "continuesPrevious" && schema.kind == GenerationSchema::Kind::boolean) {
            return continuesPrevious();
        }
        if (property.name == "title" && schema.kind == GenerationSchema::Kind::string) return title();
        if (property.name == "evidenceReferences" && schema.kind == GenerationSchema::Kind::array) {
            return category_ ? categoryEvidence(boundOf(&schema)) : titleEvidence(boundOf(&schema));
        }
        if (property.name == "tags" && schema.kind == GenerationSchema::Kind::array) return tags(schema);
        if (property.name == "category" && schema.kind == GenerationSchema::Kind::string) {
            return chooseCategory(schema.anyOf);
        }
        return fill(schema);
    }

    GeneratedContent fillPlain(const GenerationSchema& schema) {
        switch (schema.kind) {
            case GenerationSchema::Kind::string:
                if (schema.constant) return *schema.constant;
                if (!schema.anyOf.empty()) return schema.anyOf.front();
                return "";
            case GenerationSchema::Kind::boolean: return false;
            case GenerationSchema::Kind::array: {
                json::Array out;
                for (int k = 0; k < schema.minimumCount.value_or(0); ++k) out.push_back(fill(schema.element.at(0)));
                return json::Value(std::move(out));
            }
            default: return fill(schema);
        }
    }

    // The group's words, most frequent first, earlier first among equals.
    std::vector<std::string> rankedWords(const std::map<std::string, int>& counts) const {
        std::vector<std::string> words;
        for (const auto& [word, count] : counts) words.push_back(word);
        std::sort(words.begin(), words.end(), [&](const std::string& a, const std::string& b) {
            if (counts.at(a) != counts.at(b)) return counts.at(a) > counts.at(b);
            return firstSeen_.at(a) < firstSeen_.at(b);
        });
        return words;
    }

    // The top words, put back in the order they were first said.
    std::vector<std::string> topWords(const std::map<std::string, int>& counts, std::size_t n) const {
        std::vector<std::string> words = rankedWords(counts);
        if (words.size() > n) words.resize(n);
        std::sort(words.begin(), words.end(),
                  [&](const std::string& a, const std::string& b) { return firstSeen_.at(a) < firstSeen_.at(b); });
        return words;
    }

    // Splits the passages where the subject changes: a passage that shares no subject
    // word with the running group, and is not followed by one that does, starts the
    // next group.
    std::vector<Group> groups(std::size_t maximum) const {
        std::vector<Group> out;
        const std::size_t n = reading_.passages.size();
        if (n == 0) return out;
        out.emplace_back();
        const auto shares = [](const std::vector<std::string>& words, const std::map<std::string, int>& vocabulary) {
            for (const std::string& w : words) {
                if (vocabulary.count(w) != 0) return true;
            }
            return false;
        };
        for (std::size_t i = 0; i < n; ++i) {
            Group& current = out.back();
            const bool boundary = i > 0 && out.size() < maximum && !current.vocabulary.empty() &&
                                  !salient_[i].empty() && !shares(salient_[i], current.vocabulary) &&
                                  (i + 1 == n || !shares(salient_[i + 1], current.vocabulary));
            if (boundary) out.emplace_back();
            Group& group = out.back();
            group.members.push_back(i);
            for (const std::string& w : salient_[i]) ++group.vocabulary[w];
        }
        return out;
    }

    json::Value chapters(const GenerationSchema& schema) {
        const GenerationSchema& element = schema.element.at(0);
        json::Array out;
        const std::vector<Group> found = groups(boundOf(&schema));
        for (std::size_t g = 0; g < found.size(); ++g) {
            std::string heading = joinWithin(topWords(found[g].vocabulary, kHeadingWords), kHeadingMaximumWords,
                                             kHeadingMaximumBytes);
            heading = capitalized(heading);
            if (g == 0 && continues()) heading = trimmedPreviousHeading();
            json::Object chapter;
            for (const GenerationProperty& p : element.properties) {
                if (p.name == "heading") {
                    chapter.emplace_back(p.name, heading);
                } else if (p.name == "startReference") {
                    chapter.emplace_back(p.name, reading_.passages[found[g].members.front()].reference);
                } else {
                    chapter.emplace_back(p.name, fill(p.schema));
                }
            }
            out.push_back(json::Value(std::move(chapter)));
        }
        return json::Value(std::move(out));
    }

    std::string trimmedPreviousHeading() const {
        const std::string& text = *reading_.context->previousHeading;
        const std::vector<std::string> words = [&] {
            std::vector<std::string> out;
            std::string current;
            for (char c : text) {
                if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                    if (!current.empty()) out.push_back(current);
                    current.clear();
                } else {
                    current += c;
                }
            }
            if (!current.empty()) out.push_back(current);
            return out;
        }();
        return joinWithin(words, kHeadingMaximumWords, kHeadingMaximumBytes);
    }

    // The first new passage with subject words continues the previous chapter when it
    // shares one with the previous heading or the excerpt before it.
    bool continues() const {
        if (!reading_.context || !reading_.context->previousHeading) return false;
        std::set<std::string> before;
        for (std::string& w : salientWords(*reading_.context->previousHeading)) before.insert(std::move(w));
        for (std::string& w : salientWords(reading_.context->text)) before.insert(std::move(w));
        for (const std::vector<std::string>& words : salient_) {
            if (words.empty()) continue;
            for (const std::string& w : words) {
                if (before.count(w) != 0) return true;
            }
            return false;
        }
        return false;
    }

    json::Value continuesPrevious() const { return continues(); }

    std::map<std::string, int> allCounts() const {
        // Ranked by how many passages name the word, then by how often it is said.
        std::map<std::string, int> counts;
        for (const std::vector<std::string>& words : salient_) {
            std::set<std::string> distinct(words.begin(), words.end());
            for (const std::string& w : distinct) counts[w] += 1000;
            for (const std::string& w : words) counts[w] += 1;
        }
        return counts;
    }

    json::Value title() {
        std::vector<std::string> words = topWords(allCounts(), kTitleWords);
        titleWords_ = std::set<std::string>(words.begin(), words.end());
        for (std::string& w : words) w = capitalized(w);
        return joinWithin(words, kTitleWords, kTitleMaximumBytes);
    }

    // Up to `maximum` passages of the candidates that hold the most of the words,
    // given back in input order.
    json::Value strongest(const std::vector<std::size_t>& candidates, const std::set<std::string>& words,
                          std::size_t maximum) const {
        std::vector<std::pair<int, std::size_t>> scored;
        for (std::size_t i : candidates) {
            int hits = 0;
            for (const std::string& w : words_[i]) hits += words.count(w) != 0 ? 1 : 0;
            if (hits > 0) scored.emplace_back(hits, i);
        }
        std::stable_sort(scored.begin(), scored.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        if (scored.size() > maximum) scored.resize(maximum);
        std::vector<std::size_t> chosen;
        for (const auto& [hits, i] : scored) chosen.push_back(i);
        std::sort(chosen.begin(), chosen.end());
        json::Array out;
        for (std::size_t i : chosen) out.emplace_back(reading_.passages[i].reference);
        return json::Value(std::move(out));
    }

    std::vector<std::size_t> allPassages() const {
        std::vector<std::size_t> all(reading_.passages.size());
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
        return all;
    }

    json::Value titleEvidence(std::size_t maximum) const {
        return strongest(allPassages(), titleWords_, maximum);
    }

    json::Value tags(const GenerationSchema& schema) {
        const GenerationSchema& element = schema.element.at(0);
        const GenerationProperty* referencesProperty = element.property("references");
        const std::size_t maximumReferences = boundOf(referencesProperty ? &referencesProperty->schema : nullptr);
        struct Tag {
            std::string label;
            std::vector<std::string> references;
        };
        std::vector<Tag> found;
        for (const Group& group : groups(boundOf(&schema))) {
            if (group.vocabulary.empty()) continue;
            const std::vector<std::string> words = topWords(group.vocabulary, kLabelWords);
            const std::string label = joinWithin(words, kLabelWords, kLabelMaximumBytes);
            const json::Value references =
                strongest(group.members, std::set<std::string>(words.begin(), words.end()), maximumReferences);
            auto same = std::find_if(found.begin(), found.end(), [&](const Tag& t) { return t.label == label; });
            if (same == found.end()) {
                found.push_back({label, {}});
                same = found.end() - 1;
            }
            for (const json::Value& r : references.asArray()) {
                if (same->references.size() < maximumReferences &&
                    std::find(same->references.begin(), same->references.end(), r.asString()) ==
                        same->references.end()) {
                    same->references.push_back(r.asString());
                }
            }
        }
        json::Array out;
        for (const Tag& tag : found) {
            json::Object topic;
            for (const GenerationProperty& p : element.properties) {
                if (p.name == "label") {
                    topic.emplace_back(p.name, tag.label);
                } else if (p.name == "references") {
                    topic.emplace_back(p.name, json::Array(tag.references.begin(), tag.references.end()));
                } else {
                    topic.emplace_back(p.name, fill(p.schema));
                }
            }
            out.push_back(json::Value(std::move(topic)));
        }
        return json::Value(std::move(out));
    }

    std::vector<std::size_t> passagesWithEvidence(const std::string& category) const {
        std::vector<std::size_t> out;
        for (const CategoryKeywords& entry : categoryKeywords()) {
            if (category != entry.category) continue;
            for (std::size_t i = 0; i < words_.size(); ++i) {
                for (const auto& phrase : entry.phrases) {
                    if (containsPhrase(words_[i], phrase)) {
                        out.push_back(i);
                        break;
                    }
                }
            }
        }
        return out;
    }

    // The purpose with keyword evidence in the most passages; two purposes within
    // one passage of each other, each with at least two, are "mixed"; no evidence
    // (or filler alone) is "unclear".
    json::Value chooseCategory(const std::vector<std::string>& offered) {
        const auto isOffered = [&](const std::string& c) {
            return std::find(offered.begin(), offered.end(), c) != offered.end();
        };
        std::vector<std::pair<std::string, std::vector<std::size_t>>> scored;
        if (!filler()) {
            for (const CategoryKeywords& entry : categoryKeywords()) {
                if (!isOffered(entry.category)) continue;
                std::vector<std::size_t> evidence = passagesWithEvidence(entry.category);
                if (!evidence.empty()) scored.emplace_back(entry.category, std::move(evidence));
            }
        }
        std::stable_sort(scored.begin(), scored.end(),
                         [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
        std::string category = isOffered("unclear") || offered.empty() ? "unclear" : offered.front();
        evidence_.clear();
        if (!scored.empty()) {
            category = scored[0].first;
            evidence_ = scored[0].second;
            if (scored.size() > 1 && isOffered("mixed") && scored[1].second.size() >= 2 &&
                scored[0].second.size() - scored[1].second.size() <= 1) {
                category = "mixed";
                // Both purposes cited, each by its first passages.
                evidence_.assign(scored[0].second.begin(), scored[0].second.begin() + 2);
                evidence_.insert(evidence_.end(), scored[1].second.begin(), scored[1].second.begin() + 2);
                std::sort(evidence_.begin(), evidence_.end());
                evidence_.erase(std::unique(evidence_.begin(), evidence_.end()), evidence_.end());
            }
        }
        category_ = category;
        return category;
    }

    json::Value categoryEvidence(std::size_t maximum) const {
        json::Array out;
        for (std::size_t i : evidence_) {
            if (out.size() == maximum) break;
            out.emplace_back(reading_.passages[i].reference);
        }
        return json::Value(std::move(out));
    }

    PromptReading reading_;
    std::vector<std::vector<std::string>> words_;
    std::vector<std::vector<std::string>> salient_;
    std::map<std::string, std::size_t> firstSeen_;
    std::vector<std::string> order_;
    std::set<std::string> titleWords_;
    std::optional<std::string> category_;
    std::vector<std::size_t> evidence_;
};

std::optional<std::vector<PromptPassage>> passagesOf(const json::Value& value) {
    if (!value.isArray()) return std::nullopt;
    std::vector<PromptPassage> out;
    for (const json::Value& entry : value.asArray()) {
        const json::Value* reference = entry.find("reference");
        const json::Value* text = entry.find("text");
        if (reference == nullptr || text == nullptr || !reference->isString() || !text->isString()) {
            return std::nullopt;
        }
        out.push_back({reference->asString(), text->asString()});
    }
    return out;
}

}  // namespace

PromptReading readPrompt(const std::string& prompt) {
    PromptReading reading;
    std::size_t start = 0;
    while (start <= prompt.size()) {
        std::size_t end = prompt.find('\n', start);
        if (end == std::string::npos) end = prompt.size();
        const std::string_view line(prompt.data() + start, end - start);
        // The helpers quote passages and context as compact JSON, which never holds a
        // raw line feed, so each sits on a line of its own (after its header).
        std::size_t open = line.find_first_of("[{");
        if (open != std::string_view::npos) {
            try {
                const json::Value value = json::parse(line.substr(open));
                if (auto passages = passagesOf(value)) {
                    reading.passages = std::move(*passages);
                } else if (const json::Value* heading = value.find("previousHeading")) {
                    PromptContext context;
                    if (heading->isString()) context.previousHeading = heading->asString();
                    if (const json::Value* text = value.find("text"); text && text->isString()) {
                        context.text = text->asString();
                    }
                    reading.context = std::move(context);
                }
            } catch (const json::ParseError&) {
                // Not JSON: words of a header, not data to read.
            }
        }
        start = end + 1;
    }
    return reading;
}

GeneratedContent extractiveAnswer(const std::string& prompt, const GenerationSchema& schema) {
    Reader reader(readPrompt(prompt));
    return reader.fill(schema);
}

}  // namespace quorvantel::sim
