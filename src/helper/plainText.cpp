#include "plainText.h"

namespace PlainText {

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> found;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start)
            found.push_back(text.substr(start, i - start));
    }
    return found;
}

std::optional<unsigned long long> decimal(std::string_view text, unsigned long long highest,
                                          std::size_t digits) {
    // 19 digits fit in 64 bits, so the sum below never overflows.
    if (text.empty() || text.size() > digits || text.size() > 19)
        return std::nullopt;
    unsigned long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned long long>(c - '0');
    }
    if (value > highest)
        return std::nullopt;
    return value;
}

} // namespace PlainText
