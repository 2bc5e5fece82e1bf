#include "quaymeterApp.h"

#include <QGuiApplication>
#include <csignal>

int main(int argc, char *argv[]) {
    // A launcher may leave SIGCHLD ignored; then the kernel reaps our tools and their status is
    // lost.
    std::signal(SIGCHLD, SIG_DFL);
    QGuiApplication application(argc, argv);
    QuaymeterApp quaymeter;
    return quaymeter.run();
}
