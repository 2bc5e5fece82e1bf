#include "commandLine.h"
#include "quaymeterApp.h"

#include <QGuiApplication>
#include <csignal>

int main(int argc, char *argv[]) {
    // A launcher may leave SIGCHLD ignored; then the kernel reaps our tools and their status is
    // lost.
    std::signal(SIGCHLD, SIG_DFL);
    QuaymeterApp::setIdentity();
    // Help and version need no display: when only they are asked for, Qt starts without one.
    if (CommandLine::asksForInformation(QStringList(argv, argv + argc)))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QuaymeterApp::chooseRenderer();
    QGuiApplication application(argc, argv);
    const CommandLine commandLine(QCoreApplication::arguments());
    if (const auto code = commandLine.exitCode())
        return *code;
    QuaymeterApp quaymeter;
    return quaymeter.run(commandLine.portText());
}
