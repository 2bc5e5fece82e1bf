#include "processFacts.h"

#include "plainText.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

using PlainText::words;

// Plain decimal of at most 18 digits, as the kernel prints its counters.
std::optional<long long> number(std::string_view text) {
    const auto value = PlainText::decimal(text, 999'999'999'999'999'999ULL, 18);
    return value ? std::optional<long long>(static_cast<long long>(*value)) : std::nullopt;
}

// The rest of the line that starts with `label`, or nothing.
std::optional<std::string_view> line(std::string_view text, std::string_view label) {
    for (size_t start = 0; start < text.size();) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view row = text.substr(start, end - start);
        if (row.substr(0, label.size()) == label)
            return row.substr(label.size());
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace

namespace ProcessFacts {

std::optional<Stat> parseStat(std::string_view stat) {
    const size_t close = stat.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = stat.substr(close + 1);
    if (!rest.empty() && rest.back() == '\n')
        rest.remove_suffix(1);
    // After the name: state (field 3), parent (4) ... start time (22).
    const std::vector<std::string_view> fields = words(rest);
    if (fields.size() < 20)
        return std::nullopt;
    const auto parent = number(fields[1]);
    const auto started = number(fields[19]);
    if (!parent || !started || *parent > 0x7fffffff)
        return std::nullopt;
    return Stat{pid_t(*parent), *started};
}

std::optional<Status> parseStatus(std::string_view status) {
    const auto uids = line(status, "Uid:");
    const auto nsPids = line(status, "NSpid:");
    if (!uids || !nsPids)
        return std::nullopt;
    const std::vector<std::string_view> uid = words(*uids);
    const std::vector<std::string_view> pids = words(*nsPids);
    const auto real = uid.empty() ? std::nullopt : number(uid.front());
    if (!real || *real > 0xffffffff || pids.empty() || !number(pids.back()))
        return std::nullopt;
    return Status{uid_t(*real), pids.back() == "1"};
}

std::string read(const std::string &path) {
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    ::close(fd);
    return text;
}

} // namespace ProcessFacts
