#include "commandLine.h"
#include "quaymeterApp.h"

#include <QGuiApplication>
#include <csignal>
#include <sys/prctl.h>

int main(int argc, char *argv[]) {
    // polkit ties an administrator answer to this process: code that another program of the same
    // user injected could reuse it. Set from the start rather than before the first pkexec, since
    // a debugger attached earlier would stay attached.
    ::prctl(PR_SET_DUMPABLE, 0);
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
