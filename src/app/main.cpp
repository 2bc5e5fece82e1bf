#include "commandLine.h"
#include "quaymeterApp.h"

#include <QGuiApplication>
#include <csignal>

int main(int argc, char *argv[]) {
    // A launcher may leave SIGCHLD ignored; then the kernel reaps our tools and their status is
    // lost.
    std::signal(SIGCHLD, SIG_DFL);
    QuaymeterApp::setIdentity();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // Judged before the platform starts: help, version and usage errors need no display.
    const CommandLine commandLine(CommandLine::withoutToolkitOptions(arguments));
    if (const auto code = commandLine.exitCode())
        return *code;
    QuaymeterApp::chooseRenderer();
    QGuiApplication application(argc, argv);
    QuaymeterApp quaymeter;
    return quaymeter.run(commandLine.portText());
}
