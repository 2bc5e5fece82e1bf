#pragma once

#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <variant>

// The only two things the administrator helper does, read from its arguments.
struct ListRequest {
    int port = 0;
    friend bool operator==(const ListRequest &, const ListRequest &) = default;
};
struct SignalRequest {
    bool force = false; // KILL rather than TERM
    pid_t pid = 0;
    int port = 0;
    // Field 22 of /proc/PID/stat when the window listed the process: a PID used again since then
    // names another process, started later.
    long long startTime = 0;
    friend bool operator==(const SignalRequest &, const SignalRequest &) = default;
};
using HelperRequest = std::variant<ListRequest, SignalRequest>;

// The request the arguments (without the program name) spell exactly, or why they are refused.
// Numbers are plain decimal as the window writes them: no sign, no leading zero, no spaces.
std::variant<HelperRequest, std::string> parseHelperRequest(std::span<const std::string_view> args);
