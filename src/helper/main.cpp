// The window's administrator helper, started through pkexec. It does one of two things and nothing
// else: run lsof for the listeners of one TCP port, or send TERM or KILL to a process that listens
// on that port at this moment, is the process the window listed, and is none the system or the
// caller depends on. What lsof prints, and its exit status, is lsof's own: the helper replaces
// itself with it. No shell, no inherited environment, tools by fixed path.
#include "helperProtocol.h"
#include "helperRequest.h"
#include "listeningSockets.h"
#include "processFacts.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/stat.h>
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

bool inOwnNetworkNamespace(pid_t pid) {
    struct stat own, theirs;
    return ::stat("/proc/self/ns/net", &own) == 0 &&
           ::stat(("/proc/" + std::to_string(pid) + "/ns/net").c_str(), &theirs) == 0 &&
           own.st_dev == theirs.st_dev && own.st_ino == theirs.st_ino;
}

// pkexec replaced itself with the helper: the parent is the program that asked, and ending it or
// one of its ancestors would end the session that asked.
bool isRequesterOrAncestor(pid_t pid) {
    pid_t ancestor = ::getppid();
    for (int depth = 0; ancestor > 1 && depth < 4096; ++depth) {
        if (ancestor == pid)
            return true;
        const auto stat = ProcessFacts::parseStat(
            ProcessFacts::read("/proc/" + std::to_string(ancestor) + "/stat"));
        ancestor = stat ? stat->parent : 0;
    }
    return false;
}

int signal(const SignalRequest &request) {
    const std::string pid = std::to_string(request.pid);
    const std::string port = std::to_string(request.port);
    if (request.pid == 1)
        return refuse("PID 1 is the system's init process.");
    // Every check reads /proc/PID, and the signal goes through this pidfd, never the number
    // again: while the pidfd shows the process alive after the checks, they were about it.
    const int process = int(::syscall(SYS_pidfd_open, request.pid, 0));
    if (process < 0)
        return refuse("PID " + pid + " is not running.");
    const std::string proc = "/proc/" + pid;
    const auto stat = ProcessFacts::parseStat(ProcessFacts::read(proc + "/stat"));
    const auto status = ProcessFacts::parseStatus(ProcessFacts::read(proc + "/status"));
    if (!stat || !status)
        return refuse("PID " + pid + " is not running.");
    if (stat->startTime != request.startTime)
        return refuse("PID " + pid + " is not the process that was listed.");
    if (!inOwnNetworkNamespace(request.pid))
        return refuse("PID " + pid + " is in another network namespace.");
    if (status->namespaceInit)
        return refuse("PID " + pid + " is the init process of a PID namespace.");
    if (isRequesterOrAncestor(request.pid))
        return refuse("PID " + pid + " is the program that asked, or one of its ancestors.");
    switch (ListeningSockets::holding(request.pid, status->realUid, request.port)) {
    case ListeningSockets::Holding::none:
        return refuse("PID " + pid + " is not listening on TCP port " + port + ".");
    case ListeningSockets::Holding::notOwned:
        return refuse("PID " + pid + " holds a socket listening on TCP port " + port +
                      " that another user opened.");
    case ListeningSockets::Holding::owned:
        break;
    }
    pollfd exited{process, POLLIN, 0};
    if (::poll(&exited, 1, 0) != 0)
        return refuse("PID " + pid + " is not running.");
#ifdef QUAYMETER_HELPER_TEST_PAUSE
    // Test builds only: stopped between the checks and the signal, a test can end the process
    // and give its PID to another.
    ::raise(SIGSTOP);
#endif
    if (::syscall(SYS_pidfd_send_signal, process, request.force ? SIGKILL : SIGTERM, nullptr, 0) ==
        0)
        return 0;
    if (errno == ESRCH)
        return refuse("PID " + pid + " is not running.");
    // Worded like /bin/kill, whose answers the window already reads.
    std::fprintf(stderr, "%s(%s): %s\n", HelperProtocol::refusalPrefix, pid.c_str(),
                 std::strerror(errno));
    return 1;
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
