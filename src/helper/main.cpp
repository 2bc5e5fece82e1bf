// The window's administrator helper, started through pkexec. It does one of two things and nothing
// else: run lsof for the listeners of one TCP port, or send TERM or KILL with /bin/kill to a PID
// that listens on that port at this moment. Everything the tool prints, and its exit status, is
// the tool's own: the helper replaces itself with it. No shell, no inherited environment, tools by
// fixed path.
#include "helperProtocol.h"
#include "helperRequest.h"
#include "listeningSockets.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {

int refuse(const std::string &reason) {
    std::fprintf(stderr, "%s%s\n", HelperProtocol::refusalPrefix, reason.c_str());
    return HelperProtocol::refusedExitCode;
}

// Replaces this process with the tool; returns only when it could not be started.
int runTool(std::vector<std::string> argv) {
    static char *const environment[] = {const_cast<char *>("LC_ALL=C.UTF-8"),
                                        const_cast<char *>("PATH=/usr/sbin:/usr/bin:/sbin:/bin"),
                                        nullptr};
    std::vector<char *> pointers;
    for (std::string &argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    ::execve(pointers[0], pointers.data(), environment);
    return refuse("could not run " + argv[0] + ": " + std::strerror(errno));
}

int list(const ListRequest &request) {
    // Where Debian and most distributions put it, then where BSD did.
    const char *lsof = ::access("/usr/bin/lsof", X_OK) == 0 ? "/usr/bin/lsof" : "/usr/sbin/lsof";
    return runTool({lsof, "-nP", "-iTCP:" + std::to_string(request.port), "-sTCP:LISTEN"});
}

int signal(const SignalRequest &request) {
    const std::string pid = std::to_string(request.pid);
    const std::string port = std::to_string(request.port);
    // Opened before the check and looked at after it: had the process exited in between, its PID
    // could name another process by the time the signal goes.
    const int process = int(::syscall(SYS_pidfd_open, request.pid, 0));
    if (process < 0)
        return refuse("PID " + pid + " is not running.");
    if (!ListeningSockets::holdsListeningSocket(request.pid, request.port))
        return refuse("PID " + pid + " is not listening on TCP port " + port + ".");
    pollfd exited{process, POLLIN, 0};
    if (::poll(&exited, 1, 0) != 0)
        return refuse("PID " + pid + " is not running.");
    if (request.force)
        return runTool({"/bin/kill", "-9", pid});
    return runTool({"/bin/kill", pid});
}

} // namespace

int main(int argc, char *argv[]) {
    const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const auto parsed = parseHelperRequest(args);
    if (const auto *reason = std::get_if<std::string>(&parsed))
        return refuse(*reason);
    const auto &request = std::get<HelperRequest>(parsed);
    if (const auto *listing = std::get_if<ListRequest>(&request))
        return list(*listing);
    return signal(std::get<SignalRequest>(request));
}
