#include "commandRunner.h"

#include <QFile>
#include <QStringDecoder>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <qcoro/qcorofuture.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

QString CommandRunnerError::errorDescription() const {
    return QStringLiteral("Could not launch ") + m_executablePath + QStringLiteral(". ") + m_reason;
}

namespace {

// Blocking waits would starve other users of the global pool, so the runner has its own.
QThreadPool *runnerPool() {
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool; // lives as long as the process: threads may still be waiting
        p->setMaxThreadCount(16);
        return p;
    }();
    return pool;
}

// The whole stream, or empty text when any byte sequence is not valid UTF-8.
QString decodeUtf8(const QByteArray &bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

void closeFd(int &fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

struct Pipe {
    int fds[2] = {-1, -1};
    ~Pipe() {
        closeFd(fds[0]);
        closeFd(fds[1]);
    }
};

// Reads both pipes as data arrives, so a child filling one pipe never waits on us.
void drain(int &outFd, int &errFd, QByteArray &out, QByteArray &err) {
    char buffer[65536];
    pollfd polled[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    QByteArray *sinks[2] = {&out, &err};
    int *owned[2] = {&outFd, &errFd};
    while (polled[0].fd >= 0 || polled[1].fd >= 0) {
        if (::poll(polled, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (polled[i].fd < 0 || polled[i].revents == 0)
                continue;
            const ssize_t n = ::read(polled[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, n);
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                closeFd(*owned[i]);
                polled[i].fd = -1;
            }
        }
    }
}

struct Outcome {
    CommandResult result;
    QString launchError;
};

} // namespace

namespace CommandRunner {

CommandResult runBlocking(const QString &executablePath, const QStringList &arguments,
                          QString *launchError) {
    const QByteArray path = QFile::encodeName(executablePath);
    std::vector<QByteArray> argumentBytes;
    argumentBytes.reserve(arguments.size());
    for (const QString &argument : arguments)
        argumentBytes.push_back(argument.toUtf8());
    std::vector<char *> argv;
    argv.push_back(const_cast<char *>(path.constData()));
    for (QByteArray &argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    const auto fail = [&](int error) {
        if (launchError)
            *launchError = QString::fromLocal8Bit(std::strerror(error));
        return CommandResult{};
    };

    // O_CLOEXEC keeps our pipe ends (and those of concurrent runs) out of every child;
    // dup2 in the child clears the flag on its own standard output and error.
    Pipe out, err;
    if (::pipe2(out.fds, O_CLOEXEC) != 0 || ::pipe2(err.fds, O_CLOEXEC) != 0)
        return fail(errno);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.fds[1], STDERR_FILENO);

    // The pool thread's signal mask must not leak into the child.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    const int spawnError =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawnError != 0)
        return fail(spawnError);

    // Our copies of the write ends must go, or the pipes never reach their end.
    closeFd(out.fds[1]);
    closeFd(err.fds[1]);
    QByteArray outBytes, errBytes;
    drain(out.fds[0], err.fds[0], outBytes, errBytes);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }

    if (launchError)
        launchError->clear();
    CommandResult result;
    result.standardOutput = decodeUtf8(outBytes);
    result.standardError = decodeUtf8(errBytes);
    result.exitCode = WIFSIGNALED(status) ? WTERMSIG(status) : WEXITSTATUS(status);
    return result;
}

QCoro::Task<CommandResult> run(const QString &executablePath, const QStringList &arguments) {
    // Copies: the caller's references need not outlive the first suspension.
    const QString path = executablePath;
    const QStringList args = arguments;
    // Exceptions never cross the future: the launch error travels as a value.
    auto future = QtConcurrent::run(runnerPool(), [path, args] {
        Outcome outcome;
        outcome.result = runBlocking(path, args, &outcome.launchError);
        return outcome;
    });
    Outcome outcome = co_await future;
    if (!outcome.launchError.isEmpty())
        throw CommandRunnerError::launchFailed(path, outcome.launchError);
    co_return std::move(outcome.result);
}

} // namespace CommandRunner
