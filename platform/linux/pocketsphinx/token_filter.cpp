#include "platform/linux/pocketsphinx/token_filter.h"

namespace quorvantel::pocketsphinx {
namespace {

bool enclosedIn(std::string_view token, std::string_view open, std::string_view close) {
    return token.size() >= open.size() + close.size() && token.substr(0, open.size()) == open &&
           token.substr(token.size() - close.size()) == close;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<std::string> spokenWord(std::string_view token) {
    if (token.empty()) return std::nullopt;
    if (enclosedIn(token, "<", ">") || enclosedIn(token, "[", "]") || enclosedIn(token, "++", "++")) {
        return std::nullopt;
    }
    // "word(2)": the dictionary's second pronunciation of "word".
    if (token.back() == ')') {
        const std::size_t open = token.rfind('(');
        if (open != std::string_view::npos && open > 0 && open + 2 < token.size()) {
            bool digits = true;
            for (std::size_t i = open + 1; i + 1 < token.size(); ++i) digits = digits && isDigit(token[i]);
            if (digits) token = token.substr(0, open);
        }
    }
    return std::string(token);
}

}  // namespace quorvantel::pocketsphinx
