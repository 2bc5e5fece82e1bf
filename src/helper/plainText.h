#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

// How the helper reads numbers and fields, from the kernel and from its caller alike: ASCII only,
// no locale, no sign, no overflow.
namespace PlainText {

// The runs of text between spaces and tabs.
std::vector<std::string_view> words(std::string_view text);

// `text` when it is nothing but ASCII digits, at most `digits` of them, naming at most `highest`.
std::optional<unsigned long long> decimal(std::string_view text, unsigned long long highest,
                                          std::size_t digits = 19);

} // namespace PlainText
