#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

// What the administrator helper reads about a process in /proc. The texts are the kernel's, but
// the process names its own command (in stat and status), so nothing is trusted that a name
// could spell.
namespace ProcessFacts {

struct Stat {
    pid_t parent = 0;
    long long startTime = 0; // field 22: clock ticks after boot
};
// /proc/PID/stat, whose name field is in parentheses and may hold spaces and parentheses itself.
std::optional<Stat> parseStat(std::string_view stat);

struct Status {
    uid_t realUid = 0;
    bool namespaceInit = false; // the last NSpid field is 1: the init of its own PID namespace
};
// /proc/PID/status: its Uid and NSpid lines.
std::optional<Status> parseStatus(std::string_view status);

// The whole file, or nothing when it cannot be read.
std::string read(const std::string &path);

} // namespace ProcessFacts
