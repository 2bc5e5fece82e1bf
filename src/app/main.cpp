#include "commandLine.h"
#include "quaymeterApp.h"

#include <QCoreApplication>
#include <QGuiApplication>

int main(int argc, char *argv[]) {
    QuaymeterApp::setIdentity();
    {
        // Help and version need no display: answer them before Qt's GUI reaches for one.
        const QCoreApplication terminal(argc, argv);
        CommandLine::answerHelpAndVersion(QCoreApplication::arguments());
    }
    QGuiApplication application(argc, argv);
    const CommandLine commandLine(QCoreApplication::arguments());
    if (const auto code = commandLine.exitCode())
        return *code;
    QuaymeterApp quaymeter;
    return quaymeter.run(commandLine.portText());
}
