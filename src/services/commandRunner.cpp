#include "commandRunner.h"

#include <QFile>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <poll.h>
#include <qcoro/qcorofuture.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

QString CommandRunnerError::errorDescription() const {
    if (m_case == Case::waitFailed)
        return QStringLiteral("Could not wait for ") + m_executablePath +
               QStringLiteral(" to finish. ") + m_reason;
    return QStringLiteral("Could not launch ") + m_executablePath + QStringLiteral(". ") + m_reason;
}

namespace {

// Blocking waits would starve other users of the global pool, so the runner has its own. A run
// holds its thread only while its child lives, and a child may hang (lsof on a dead network
// mount): any cap would let hung scans keep a kill from starting, so threads are made on demand
// and expire when idle.
QThreadPool *runnerPool() {
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool; // lives as long as the process: threads may still be waiting
        p->setMaxThreadCount(std::numeric_limits<int>::max());
        return p;
    }();
    return pool;
}

QString errorText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : m_fd(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;

    int get() const { return m_fd; }
    void reset() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

// The application's environment, except that messages come in English (the kill classification
// reads them) while names in UTF-8 still come through.
std::vector<QByteArray> childEnvironment() {
    std::vector<QByteArray> entries;
    for (char **entry = environ; *entry; ++entry) {
        const QByteArrayView text(*entry);
        if (!text.startsWith("LC_ALL=") && !text.startsWith("LANGUAGE="))
            entries.push_back(text.toByteArray());
    }
    entries.push_back(QByteArrayLiteral("LC_ALL=C.UTF-8"));
    return entries;
}

std::vector<char *> nullTerminated(std::vector<QByteArray> &strings) {
    std::vector<char *> pointers;
    pointers.reserve(strings.size() + 1);
    for (QByteArray &string : strings)
        pointers.push_back(string.data());
    pointers.push_back(nullptr);
    return pointers;
}

// Reads until the pipe is empty for now or at its end. Returns 0 or the read's errno.
int readAvailable(int fd, QByteArray &sink, bool &atEnd) {
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            sink.append(buffer, n);
        } else if (n == 0) {
            atEnd = true;
            return 0;
        } else if (errno != EINTR) {
            return errno == EAGAIN ? 0 : errno;
        }
    }
}

// Reads both pipes as data arrives, so a child filling one never waits on us, until both are at
// their end or the child has exited (something it started may hold the pipes open for ever).
// Returns 0, or the errno of a failed poll or read.
int drain(int outFd, int errFd, int exitedFd, QByteArray &out, QByteArray &err) {
    pollfd polled[3] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}, {exitedFd, POLLIN, 0}};
    QByteArray *const sinks[2] = {&out, &err};
    bool exited = false;
    while (!exited && (polled[0].fd >= 0 || polled[1].fd >= 0 || polled[2].fd >= 0)) {
        if (::poll(polled, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        // Everything an exited child wrote is already in the pipes: take it and stop.
        exited = polled[2].revents != 0;
        for (int i = 0; i < 2; ++i) {
            if (polled[i].fd < 0 || (polled[i].revents == 0 && !exited))
                continue;
            bool atEnd = false;
            if (const int error = readAvailable(polled[i].fd, *sinks[i], atEnd))
                return error;
            if (atEnd)
                polled[i].fd = -1;
        }
    }
    return 0;
}

struct Outcome {
    CommandResult result;
    std::optional<CommandRunnerError> error;
};

Outcome runChild(const QString &executablePath, const QStringList &arguments,
                 const std::stop_token &stop) {
    const auto failure = [&](auto make, int error) {
        return Outcome{{}, make(executablePath, errorText(error))};
    };
    std::vector<QByteArray> argumentBytes{QFile::encodeName(executablePath)};
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<QByteArray> environmentBytes = childEnvironment();
    const std::vector<char *> argv = nullTerminated(argumentBytes);
    const std::vector<char *> envp = nullTerminated(environmentBytes);

    // O_CLOEXEC keeps our pipe ends (and those of concurrent runs) out of every child;
    // dup2 in the child clears the flag on its own standard output and error.
    int outFds[2], errFds[2];
    if (::pipe2(outFds, O_CLOEXEC) != 0)
        return failure(CommandRunnerError::launchFailed, errno);
    FileDescriptor outRead(outFds[0]), outWrite(outFds[1]);
    if (::pipe2(errFds, O_CLOEXEC) != 0)
        return failure(CommandRunnerError::launchFailed, errno);
    FileDescriptor errRead(errFds[0]), errWrite(errFds[1]);
    // Only our ends: the child's writes must block on a full pipe, not fail.
    ::fcntl(outRead.get(), F_SETFL, O_NONBLOCK);
    ::fcntl(errRead.get(), F_SETFL, O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);

    // The pool thread's signal mask must not leak into the child. A group of its own lets a stop
    // end the tool together with any helper it forked.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    pid_t pid = -1;
    const int spawnError =
        ::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawnError != 0)
        return failure(CommandRunnerError::launchFailed, spawnError);

    // Our copies of the write ends must go, or the pipes never reach their end.
    outWrite.reset();
    errWrite.reset();
    // Readable once the child has exited; without one, the pipes' end has to do. (Debian 12's
    // <sys/pidfd.h> lacks C linkage, hence the raw call.)
    const FileDescriptor exited(int(::syscall(SYS_pidfd_open, pid, 0)));
    QByteArray outBytes, errBytes;
    int readError = 0;
    {
        // Runs on the thread that asks to stop. The child is reaped only after this callback is
        // gone, so until then its PID, and so its group, cannot belong to anyone else.
        const std::stop_callback onStop(stop, [pid] { ::kill(-pid, SIGKILL); });
        readError = drain(outRead.get(), errRead.get(), exited.get(), outBytes, errBytes);
    }
    // A run that cannot read its child must not leave it blocked on a full pipe for ever.
    if (readError != 0)
        ::kill(-pid, SIGKILL);
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    // Never a made-up status: with SIGCHLD ignored the kernel reaps the child and keeps its
    // status from us (ECHILD).
    if (readError != 0 || waited != pid)
        return failure(CommandRunnerError::waitFailed, readError != 0 ? readError : errno);

    CommandResult result;
    result.standardOutput = CommandRunner::decodeUtf8(outBytes);
    result.standardError = CommandRunner::decodeUtf8(errBytes);
    result.exitCode = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
    return {std::move(result), std::nullopt};
}

} // namespace

namespace CommandRunner {

QString decodeUtf8(QByteArrayView bytes) {
    // A leading byte order mark is a character the tool printed, not a hint to drop.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

CommandResult runBlocking(const QString &executablePath, const QStringList &arguments,
                          QString *launchError, std::stop_token stop) {
    Outcome outcome = runChild(executablePath, arguments, stop);
    if (launchError)
        launchError->clear();
    if (outcome.error && outcome.error->errorCase() == CommandRunnerError::Case::launchFailed) {
        if (launchError)
            *launchError = outcome.error->reason();
        return {};
    }
    if (outcome.error)
        throw *outcome.error;
    return std::move(outcome.result);
}

QCoro::Task<CommandResult> run(const QString &executablePath, const QStringList &arguments) {
    return runStoppable(executablePath, arguments, {});
}

QCoro::Task<CommandResult> runStoppable(const QString &executablePath, const QStringList &arguments,
                                        std::stop_token stop) {
    // Copies: the caller's references need not outlive the first suspension.
    const QString path = executablePath;
    const QStringList args = arguments;
    // Exceptions never cross the future: a failure travels as a value. Decoding happens there
    // too, so megabytes of output never hold up the caller's thread.
    auto future =
        QtConcurrent::run(runnerPool(), [path, args, stop] { return runChild(path, args, stop); });
    Outcome outcome = co_await future;
    if (outcome.error)
        throw *outcome.error;
    co_return std::move(outcome.result);
}

} // namespace CommandRunner
