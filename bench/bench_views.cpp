// Prints `name: value` lines: what a window showing 300 real listeners costs in memory, whether
// that memory comes back once the cards go, and the longest stall of the GUI thread while the
// window takes in megabytes of tool output.
#include "listenerGroup.h"
#include "programWindow.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

namespace {

constexpr int cardCount = 300;
constexpr int rounds = 20;
constexpr qsizetype eightMegabytes = 8 << 20;
constexpr int stallRuns = 5;

double rssMib() {
    FILE *statm = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (!statm || std::fscanf(statm, "%ld %ld", &size, &resident) != 2)
        resident = 0;
    if (statm)
        std::fclose(statm);
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

bool scan(ProgramWindow &program, quint16 port, qsizetype expected) {
    const bool done = program.scan(port);
    // A few frames, so every card is laid out and drawn before memory is read.
    runUntil([] { return false; }, 300);
    return done && program.state->processes().size() == expected;
}

// What lsof really prints on its standard error when it refuses its arguments, repeated.
QString lsofComplaint(qsizetype size) {
    const QString once = CommandRunner::runBlocking(PortScannerService::lsofPath,
                                                    {QStringLiteral("-iTCP:nonsense")}, nullptr)
                             .standardError;
    return once.repeated(size / std::max<qsizetype>(once.size(), 1) + 1).left(size);
}

// The real window's panels around a state whose lsof answers at once with the given output.
struct ScriptedPanels {
    QQuickWindow window;
    InspectorState state;
    std::unique_ptr<QQuickItem> content;

    ScriptedPanels(QQmlEngine &engine, CommandResult answer)
        : state(PortScannerService([answer](const QString &, const QStringList &)
                                       -> QCoro::Task<CommandResult> { co_return answer; },
                                   {}),
                ProcessKillerService()) {
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport Quaymeter\nimport Quaymeter.Inspector\n"
                          "Row {\n required property InspectorState inspector\n"
                          " PortInputPanel { inspector: parent.inspector }"
                          "\n ResultsPanel { inspector: parent.inspector; height: 400 } }",
                          QUrl(QStringLiteral("qrc:/bench/Panels.qml")));
        // Qt 6.4 crashes creating from a component that did not compile.
        if (component.isReady())
            content.reset(qobject_cast<QQuickItem *>(component.createWithInitialProperties(
                {{"inspector", QVariant::fromValue(&state)}})));
        if (!content)
            std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        else
            content->setParentItem(window.contentItem());
        window.resize(820, 420);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            content.reset();
    }

    // The median over a few scans of the longest stall while the window takes in one answer.
    double stallMs(StallMeter &meter) {
        state.setPortText(QStringLiteral("3000"));
        std::vector<double> stalls;
        for (int i = 0; i <= stallRuns; ++i) {
            bool answered = false;
            const auto connection = QObject::connect(&state, &InspectorState::statusChanged,
                                                     [&] { answered = state.canScan(); });
            stalls.push_back(
                meter.measure([this] { state.startScan(); }, [&] { return answered; }));
            QObject::disconnect(connection);
        }
        stalls.erase(stalls.begin()); // the first run also builds the views
        std::sort(stalls.begin(), stalls.end());
        return stalls[stalls.size() / 2];
    }
};

} // namespace

int main(int argc, char **argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ListenerGroup listeners(cardCount);
    const quint16 freePort = ListenerGroup(1).port();
    QGuiApplication application(argc, argv);
    if (!listeners.isListening() || freePort == 0) {
        std::fprintf(stderr, "could not open the listening sockets\n");
        return 1;
    }
    ProgramWindow program;
    if (!program.window)
        return 1;
    QQmlEngine &engine = program.engine;

    // The first scan warms up what any scan needs (threads, fonts, the placeholder's views).
    if (!scan(program, freePort, 0))
        return 1;
    const double before = rssMib();
    if (!scan(program, listeners.port(), cardCount))
        return 1;
    const double shown = rssMib();
    if (!scan(program, freePort, 0))
        return 1;
    const double cleared = rssMib();
    for (int i = 0; i < rounds; ++i)
        if (!scan(program, listeners.port(), cardCount) || !scan(program, freePort, 0))
            return 1;
    const double afterRounds = rssMib();
    std::printf("cards_300_rss_mib: %.1f\n", shown - before);
    std::printf("rss_after_clear_delta_mib: %.1f\n", cleared - before);
    std::printf("rss_growth_20_rounds_mib: %.1f\n", afterRounds - cleared);
    program.window->close();

    StallMeter meter;
    const QString heading =
        QStringLiteral("COMMAND  PID USER   FD   TYPE DEVICE SIZE/OFF NODE NAME\n");
    const QString complaint = lsofComplaint(eightMegabytes);
    ScriptedPanels failing(engine, {heading + complaint, complaint, 1});
    std::printf("status_8mb_gui_stall_ms: %.1f\n", failing.stallMs(meter));
    const QString line = QStringLiteral("node 4242 dev 23u IPv4 0x1 0t0 TCP 127.0.0.1:3000 ");
    ScriptedPanels huge(engine,
                        {heading + line + QString(eightMegabytes, u'x') + u'\n', complaint, 0});
    std::printf("card_8mb_gui_stall_ms: %.1f\n", huge.stallMs(meter));
    return 0;
}
