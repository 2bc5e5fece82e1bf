// Prints `name: value` lines: what showing the cards of a scan costs the window.
//
// cards_300_gui_ms, cards_12_gui_ms: CPU time of the GUI thread (CLOCK_THREAD_CPUTIME_ID) from
//   the start of the event-loop turn in which a real scan of N real listeners hands its parsed
//   listing to the state, to the end of the scene graph's sync of the first frame after it: the
//   model change, building the cards in sight, whatever else that answer redraws (status,
//   activity), polish, layout and sync; not rasterising that frame. Median of 15 scans.
// activity_line_gui_ms: CPU time of the GUI thread from adding one line to a full activity log to
//   the end of the sync of the first frame after it. Median of 30 lines.
// gui_stall_max_ms: the longest gap between two turns of the GUI thread's event loop during 50
//   back-to-back scans of 12 real listeners, drawing included, after one warm-up scan.
// Those run on the offscreen platform with the software scene graph, so no display counts.
//
// return_to_cards_ratio_1, _12: in the real window on the X display, from a Return key event in
//   the port field to the first frame swapped after the cards exist, over the same lsof command
//   line that the program runs, run here alone; the two interleaved, ratio of the medians of 25
//   pairs. On the software scene graph (what the program picks without a GPU), then with the
//   suffix _opengl on OpenGL. Each of the three runs is a process of its own.
#include "listenerGroup.h"
#include "programWindow.h"
#include "quaymeterApp.h"

#include <QGuiApplication>
#include <QProcess>
#include <QThread>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <vector>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

using namespace Qt::StringLiterals;

namespace {

constexpr int guiScans = 15;
constexpr int stallScans = 50;
constexpr int pairs = 25;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Notes the GUI thread's CPU time as it starts each outermost event: when the state hears of a
// listing, the turn that brought it began there (QML's bindings run before any slot we connect).
class TurnClock : public QGuiApplication {
public:
    using QGuiApplication::QGuiApplication;

    double turnStartMs() const { return m_turnStart; }

    bool notify(QObject *receiver, QEvent *event) override {
        if (QThread::currentThread() != thread())
            return QGuiApplication::notify(receiver, event);
        if (m_depth++ == 0)
            m_turnStart = threadCpuMs();
        const bool handled = QGuiApplication::notify(receiver, event);
        --m_depth;
        return handled;
    }

private:
    int m_depth = 0;
    double m_turnStart = 0;
};

// Once `start` is set, records the GUI thread's CPU time since then when the next frame has been
// synchronised, and clears `start`.
void costUntilSynchronized(QQuickWindow *window, QObject &context, double &start,
                           std::vector<double> &costs) {
    QObject::connect(
        window, &QQuickWindow::afterSynchronizing, &context,
        [&start, &costs] {
            if (start >= 0)
                costs.push_back(threadCpuMs() - start);
            start = -1;
        },
        Qt::DirectConnection);
}

double cardsGuiMs(ProgramWindow &program, const TurnClock &clock, quint16 port,
                  qsizetype expected) {
    InspectorState &state = *program.state;
    std::vector<double> costs;
    double start = -1;
    QObject context;
    QObject::connect(&state, &InspectorState::processesChanged, &context, [&] {
        if (!state.processes().isEmpty())
            start = clock.turnStartMs();
    });
    costUntilSynchronized(program.window, context, start, costs);
    for (int i = 0; i <= guiScans; ++i) {
        const size_t before = costs.size();
        if (!program.scan(port) || state.processes().size() != expected ||
            !runUntil([&] { return costs.size() > before; }))
            return -1;
        runUntil([] { return false; }, 100); // the cards beyond sight, built across frames
    }
    costs.erase(costs.begin()); // the first scan also compiles the card
    return median(costs);
}

double activityLineGuiMs(ProgramWindow &program) {
    std::vector<double> costs;
    double start = -1;
    QObject context;
    costUntilSynchronized(program.window, context, start, costs);
    for (int i = 0; i <= InspectorState::activityLimit + 30; ++i) {
        const size_t before = costs.size();
        start = threadCpuMs();
        program.state->appendActivity(u"Scanned port %1"_s.arg(40000 + i));
        if (!runUntil([&] { return costs.size() > before; }))
            return -1;
    }
    costs.erase(costs.begin(), costs.begin() + InspectorState::activityLimit + 1); // filling up
    return median(costs);
}

double stallMaxMs(ProgramWindow &program, quint16 port, qsizetype expected) {
    InspectorState &state = *program.state;
    if (!program.scan(port))
        return -1;
    int scans = 0;
    bool wrong = false;
    QObject context;
    // Each scan starts on the turn after the last one ended.
    QObject::connect(
        &state, &InspectorState::canScanChanged, &context,
        [&] {
            if (!state.canScan() || scans >= stallScans)
                return;
            wrong = wrong || state.processes().size() != expected;
            if (++scans < stallScans)
                state.startScan();
        },
        Qt::QueuedConnection);
    StallMeter meter;
    const double stall =
        meter.measure([&] { state.startScan(); }, [&] { return scans >= stallScans; });
    return wrong ? -1 : stall;
}

int guiFigures(int argc, char **argv) {
    const ListenerGroup many(300), twelve(12);
    QuaymeterApp::useGraphicsApi(QSGRendererInterface::Software);
    TurnClock application(argc, argv);
    ProgramWindow program;
    if (!many.isListening() || !twelve.isListening() || !program.window)
        return 1;
    std::printf("cards_300_gui_ms: %.2f\n", cardsGuiMs(program, application, many.port(), 300));
    std::printf("cards_12_gui_ms: %.2f\n", cardsGuiMs(program, application, twelve.port(), 12));
    std::printf("activity_line_gui_ms: %.2f\n", activityLineGuiMs(program));
    std::printf("gui_stall_max_ms: %.1f\n", stallMaxMs(program, twelve.port(), 12));
    return 0;
}

double lsofAloneMs(quint16 port) {
    const QString lsof = PortScannerService::locateLsof();
    const QStringList arguments = PortScannerService::lsofArguments(port);
    QElapsedTimer clock;
    clock.start();
    CommandRunner::runBlocking(lsof, arguments, nullptr);
    return clock.nsecsElapsed() / 1e6;
}

// From Return in the port field to the first frame swapped after the cards exist. The frame must
// be one synchronised after the cards came: a render thread may swap an older one meanwhile.
double returnToCardsMs(ProgramWindow &program) {
    InspectorState &state = *program.state;
    std::atomic<bool> listed = false, synced = false;
    std::atomic<qint64> swappedAt = -1;
    QElapsedTimer clock;
    QObject context;
    QObject::connect(&state, &InspectorState::processesChanged, &context,
                     [&] { listed = !state.processes().isEmpty(); });
    QObject::connect(
        program.window, &QQuickWindow::afterSynchronizing, &context,
        [&] { synced = synced || listed; }, Qt::DirectConnection);
    QObject::connect(
        program.window, &QQuickWindow::frameSwapped, &context,
        [&] {
            if (synced && swappedAt < 0)
                swappedAt = clock.nsecsElapsed();
        },
        Qt::DirectConnection);
    clock.start();
    QTest::keyClick(program.window, Qt::Key_Return);
    const bool shown = runUntil([&] { return swappedAt >= 0; });
    runUntil([] { return false; }, 150); // the cards beyond sight, built across frames
    return shown ? swappedAt / 1e6 : -1;
}

// Types the port into the real field, then times Return against lsof alone, in turns.
bool printRatio(ProgramWindow &program, quint16 port, const QByteArray &name) {
    QTest::keyClick(program.window, Qt::Key_A, Qt::ControlModifier);
    for (const QChar digit : QString::number(port))
        QTest::keyClick(program.window, digit.toLatin1());
    if (program.state->portText() != QString::number(port) || returnToCardsMs(program) < 0)
        return false;
    lsofAloneMs(port);
    std::vector<double> window, alone;
    for (int i = 0; i < pairs; ++i) {
        if (i % 2)
            alone.push_back(lsofAloneMs(port));
        window.push_back(returnToCardsMs(program));
        if (i % 2 == 0)
            alone.push_back(lsofAloneMs(port));
        if (window.back() < 0)
            return false;
    }
    std::printf("return_to_cards_ms%s: %.1f\n", name.constData(), median(window));
    std::printf("lsof_alone_ms%s: %.1f\n", name.constData(), median(alone));
    std::printf("return_to_cards_ratio%s: %.2f\n", name.constData(),
                median(window) / median(alone));
    return true;
}

int returnFigures(int argc, char **argv, bool openGl) {
    const ListenerGroup one(1), twelve(12);
    QuaymeterApp::useGraphicsApi(openGl ? QSGRendererInterface::OpenGL
                                        : QSGRendererInterface::Software);
    QGuiApplication application(argc, argv);
    ProgramWindow program;
    if (!one.isListening() || !twelve.isListening() || !program.window)
        return 1;
    program.window->requestActivate();
    auto *field = program.window->findChild<QQuickItem *>(u"portField"_s);
    if (!QTest::qWaitForWindowActive(program.window) || !field)
        return 1;
    field->forceActiveFocus(Qt::TabFocusReason);
    const QByteArray suffix = openGl ? "_opengl" : "";
    return printRatio(program, one.port(), "_1" + suffix) &&
                   printRatio(program, twelve.port(), "_12" + suffix)
               ? 0
               : 1;
}

// One process per platform and scene graph: both are fixed once the application exists.
int runEach(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    int failed = 0;
    for (const char *run : {"gui", "software", "opengl"}) {
        const bool onDisplay = qstrcmp(run, "gui") != 0;
        if (onDisplay && qEnvironmentVariableIsEmpty("DISPLAY")) {
            std::fprintf(stderr, "bench_cards: the %s run needs an X display\n", run);
            continue;
        }
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, onDisplay ? u"xcb"_s : u"offscreen"_s);
        environment.remove(u"QT_QUICK_BACKEND"_s);
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(run)});
        if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
            child.exitCode() != 0) {
            std::fprintf(stderr, "bench_cards: the %s run failed\n", run);
            failed = 1;
        }
    }
    return failed;
}

} // namespace

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QByteArray run = argc > 1 ? argv[1] : "";
    if (run == "gui")
        return guiFigures(argc, argv);
    if (run == "software" || run == "opengl")
        return returnFigures(argc, argv, run == "opengl");
    return runEach(argc, argv);
}
