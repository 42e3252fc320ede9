#include "platform/sim/foundation-models/sim_passage_words.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>
#include <unordered_set>

namespace quorvantel::sim {

namespace {

void appendCodePoint(std::string& out, UChar32 c) {
    char buffer[U8_MAX_LENGTH];
    int32_t length = 0;
    UBool failed = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buffer), length, U8_MAX_LENGTH, c, failed);
    if (!failed) out.append(buffer, static_cast<std::size_t>(length));
}

// Function words and the words of greetings, hesitation, audio checks and meeting
// small talk: they say nothing about what a meeting is about.
const std::unordered_set<std::string>& nonSubjectWords() {
    static const std::unordered_set<std::string> words = {
        // grammar
        "the", "and", "but", "for", "nor", "yet", "with", "without", "from", "into", "onto", "about",
        "above", "after", "again", "against", "all", "also", "any", "are", "aren't", "around", "because",
        "been", "before", "being", "below", "between", "both", "can", "can't", "cannot", "could",
        "couldn't", "did", "didn't", "does", "doesn't", "doing", "don't", "down", "during", "each",
        "even", "ever", "every", "few", "further", "had", "hadn't", "has", "hasn't", "have", "haven't",
        "having", "her", "here", "here's", "hers", "herself", "him", "himself", "his", "how", "i'd",
        "i'll", "i'm", "i've", "into", "isn't", "it's", "its", "itself", "let", "let's", "more", "most",
        "much", "must", "my", "myself", "not", "now", "off", "once", "only", "other", "others", "our",
        "ours", "ourselves", "out", "over", "own", "same", "shall", "she", "should", "shouldn't", "since",
        "some", "still", "such", "than", "that", "that's", "their", "theirs", "them", "themselves", "then",
        "there", "there's", "these", "they", "they'd", "they'll", "they're", "they've", "this", "those",
        "through", "too", "under", "until", "upon", "very", "was", "wasn't", "way", "we'd", "we'll",
        "we're", "we've", "were", "weren't", "what", "what's", "when", "where", "which", "while", "who",
        "whom", "whose", "why", "will", "won't", "would", "wouldn't", "you", "you'd", "you'll", "you're",
        "you've", "your", "yours", "yourself", "yourselves", "one", "two", "three", "four", "five",
        "first", "second", "third", "next", "last", "new", "old", "lot", "lots", "bit", "thing",
        "things", "something", "anything", "everything", "nothing", "someone", "anyone", "everyone",
        "everybody", "somebody", "nobody", "people", "guys", "folks", "team", "kind", "sort",
        // everyday verbs that carry no subject
        "get", "gets", "got", "getting", "go", "goes", "going", "gone", "went", "make", "makes", "made",
        "making", "take", "takes", "took", "taking", "say", "says", "said", "saying", "see", "seen", "saw",
        "know", "knows", "knew", "think", "thinks", "thought", "want", "wants", "wanted", "need", "needs",
        "needed", "like", "look", "looks", "looking", "come", "comes", "came", "coming", "put", "try",
        "trying", "use", "used", "using", "give", "gave", "keep", "mean", "means", "tell", "talk",
        "talking", "discuss", "discussing", "discussion", "start", "started", "starting", "sure", "maybe",
        "probably", "actually", "really", "basically", "just", "quite", "pretty", "well", "right",
        "today", "tomorrow", "yesterday", "time", "week", "day", "meeting", "call", "agenda", "update",
        // greetings, hesitation and audio checks
        "hello", "hey", "hiya", "morning", "afternoon", "evening", "good", "great", "nice", "fine",
        "welcome", "thanks", "thank", "cheers", "bye", "goodbye", "see", "later", "um", "umm", "uh",
        "uhh", "erm", "hmm", "hmmm", "mm", "mhm", "ah", "oh", "okay", "ok", "yeah", "yep", "yes",
        "nope", "alright", "sorry", "wait", "moment", "minute", "hear", "hearing", "heard", "audio",
        "sound", "sounds", "mic", "microphone", "mute", "muted", "unmute", "loud", "quiet", "clear",
        "testing", "check", "checking", "screen", "share", "sharing", "video", "camera", "join",
        "joined", "joining", "waiting", "everyone's", "anyway", "gonna", "wanna", "gotta",
    };
    return words;
}

}  // namespace

std::vector<std::string> passageWords(std::string_view text) {
    std::vector<std::string> words;
    std::string current;
    const auto finish = [&] {
        while (!current.empty() && current.back() == '\'') current.pop_back();
        if (current.size() > 2 && current.compare(current.size() - 2, 2, "'s") == 0) {
            current.resize(current.size() - 2);
        }
        if (!current.empty()) words.push_back(current);
        current.clear();
    };
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        // A typographic apostrophe reads like the plain one.
        if (c == 0x2019) c = '\'';
        if (c >= 0 && u_isalnum(c)) {
            appendCodePoint(current, u_tolower(c));
        } else if (c == '\'' && !current.empty()) {
            current += '\'';
        } else {
            finish();
        }
    }
    finish();
    return words;
}

bool isSalientWord(const std::string& word) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(word.data());
    const auto length = static_cast<int32_t>(word.size());
    int32_t i = 0;
    int characters = 0;
    bool letter = false;
    while (i < length) {
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        ++characters;
        letter = letter || (c >= 0 && u_isalpha(c));
    }
    return characters >= 3 && letter && nonSubjectWords().count(word) == 0;
}

std::vector<std::string> salientWords(std::string_view text) {
    std::vector<std::string> out;
    for (std::string& word : passageWords(text)) {
        if (isSalientWord(word)) out.push_back(std::move(word));
    }
    return out;
}

std::string capitalized(const std::string& word) {
    if (word.empty()) return word;
    const auto* bytes = reinterpret_cast<const uint8_t*>(word.data());
    const auto length = static_cast<int32_t>(word.size());
    int32_t i = 0;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return word;
    std::string out;
    appendCodePoint(out, u_toupper(c));
    out.append(word, static_cast<std::size_t>(i), std::string::npos);
    return out;
}

std::string joinWithin(const std::vector<std::string>& words, std::size_t maximumWords,
                       std::size_t maximumBytes) {
    std::string out;
    for (std::size_t k = 0; k < words.size() && k < maximumWords; ++k) {
        const std::size_t grown = out.size() + (out.empty() ? 0 : 1) + words[k].size();
        if (grown > maximumBytes) break;
        if (!out.empty()) out += ' ';
        out += words[k];
    }
    if (out.empty() && !words.empty()) {
        // One word longer than the limit: keep its longest whole-character prefix.
        const std::string& word = words.front();
        const auto* bytes = reinterpret_cast<const uint8_t*>(word.data());
        const auto length = static_cast<int32_t>(word.size());
        int32_t i = 0;
        while (i < length) {
            int32_t next = i;
            UChar32 c;
            U8_NEXT(bytes, next, length, c);
            if (static_cast<std::size_t>(next) > maximumBytes) break;
            i = next;
        }
        out = word.substr(0, static_cast<std::size_t>(i));
    }
    return out;
}

}  // namespace quorvantel::sim
