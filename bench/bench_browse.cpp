// Prints `name: value` lines: what reading every listener costs against `ss -Hltnp` and
// `lsof -nP -iTCP -sTCP:LISTEN`, the tools a user would run instead, with 10, 200 and 2,000 real
// listeners; what one keystroke of the filter costs the window at 2,000 rows; and the GUI
// thread's longest stall while the list fills.
#include "listenerBrowser.h"
#include "listenerTable.h"
#include "programWindow.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <arpa/inet.h>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

extern char **environ;

namespace {

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A child holding `count` sockets listening on loopback ports the kernel picks.
class Listeners {
public:
    explicit Listeners(int count) {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            rlimit files{};
            ::getrlimit(RLIMIT_NOFILE, &files);
            files.rlim_cur = files.rlim_max;
            ::setrlimit(RLIMIT_NOFILE, &files);
            char opened = 1;
            for (int i = 0; i < count && opened; ++i) {
                sockaddr_in address{};
                address.sin_family = AF_INET;
                address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
                opened = fd >= 0 &&
                         ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
                         ::listen(fd, 4) == 0;
            }
            if (::write(ready[1], &opened, 1) != 1 || !opened)
                ::_exit(1);
            for (;;)
                ::pause();
        }
        ::close(ready[1]);
        char opened = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &opened, 1) == 1 && opened;
        ::close(ready[0]);
    }
    ~Listeners() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// Runs a tool as a user would, reading all it prints; milliseconds from start to exit.
double toolMs(std::vector<const char *> argv) {
    argv.push_back(nullptr);
    QElapsedTimer timer;
    timer.start();
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int failed = ::posix_spawn(&pid, argv[0], &actions, nullptr,
                                     const_cast<char *const *>(argv.data()), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    char buffer[65536];
    while (!failed && ::read(out[0], buffer, sizeof buffer) > 0) {
    }
    ::close(out[0]);
    if (!failed)
        ::waitpid(pid, nullptr, 0);
    return failed ? -1 : timer.nsecsElapsed() / 1e6;
}

// The list's whole read: the table, the holders' names and units, and the rows' texts.
double readMs() {
    QElapsedTimer timer;
    timer.start();
    const auto table = ListenerTable::readBlocking();
    QList<ListenerBrowser::Row> rows;
    for (const PortListeners &listeners : table.value())
        rows.append(ListenerBrowser::rowOf(listeners));
    return timer.nsecsElapsed() / 1e6;
}

void compareReads(int count) {
    const Listeners listeners(count);
    if (!listeners.ready()) {
        std::fprintf(stderr, "could not open %d listeners\n", count);
        return;
    }
    const int runs = count >= 2000 ? 7 : 15;
    std::vector<double> ours, ss, lsof;
    for (int i = 0; i < runs; ++i) {
        ours.push_back(readMs());
        ss.push_back(toolMs({"/usr/bin/ss", "-Hltnp"}));
        lsof.push_back(toolMs({"/usr/bin/lsof", "-nP", "-iTCP", "-sTCP:LISTEN"}));
    }
    std::printf("browse_read_ms_%d: %.2f\n", count, median(ours));
    std::printf("browse_read_ratio_ss_%d: %.2f\n", count, median(ours) / median(ss));
    std::printf("browse_read_ratio_lsof_%d: %.2f\n", count, median(ours) / median(lsof));
}

QQuickItem *find(QQuickItem *root, const char *name) {
    for (QQuickItem *item : root->childItems()) {
        if (item->objectName() == QLatin1String(name))
            return item;
        if (QQuickItem *found = find(item, name))
            return found;
    }
    return nullptr;
}

// In the real window: the longest stall while the list opens and fills, then the cost of each
// keystroke of a filter typed and erased, up to the list laid out again.
bool measureWindow() {
    const Listeners listeners(2000);
    ProgramWindow program;
    if (!listeners.ready() || !program.window)
        return false;
    QQuickItem *content = program.window->findChild<QQuickItem *>(QStringLiteral("contentView"));
    QObject *browser = nullptr;
    const auto filled = [&] {
        browser = program.window->findChild<QObject *>(QStringLiteral("listenerBrowser"));
        return browser && !browser->property("reading").toBool() &&
               browser->property("total").toInt() >= 2000;
    };
    StallMeter meter;
    const double stall =
        meter.measure([&] { QMetaObject::invokeMethod(content, "openListeners"); }, filled);
    QQuickItem *rows = find(program.window->contentItem(), "listenerRows");
    if (stall < 0 || !rows)
        return false;
    // Again, with the list built: what a refresh costs.
    const double again = meter.measure([&] { QMetaObject::invokeMethod(browser, "refresh"); },
                                       [&] { return !browser->property("reading").toBool(); });
    std::vector<double> keystrokes;
    for (int round = 0; round < 5; ++round)
        for (const Qt::Key key : {Qt::Key_4, Qt::Key_1, Qt::Key_L, Qt::Key_Backspace,
                                  Qt::Key_Backspace, Qt::Key_Backspace}) {
            QElapsedTimer timer;
            timer.start();
            QTest::keyClick(program.window, key);
            rows->ensurePolished();
            keystrokes.push_back(timer.nsecsElapsed() / 1e6);
            runUntil([] { return false; }, 20);
        }
    std::printf("browse_open_gui_stall_ms_2000: %.1f\n", stall);
    std::printf("browse_refresh_gui_stall_ms_2000: %.1f\n", again);
    std::printf("browse_filter_keystroke_ms_2000: %.2f\n", median(keystrokes));
    std::printf("browse_filter_keystroke_worst_ms_2000: %.2f\n",
                *std::max_element(keystrokes.begin(), keystrokes.end()));
    return true;
}

} // namespace

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    for (const int count : {10, 200, 2000})
        compareReads(count);
    return measureWindow() ? 0 : 1;
}
