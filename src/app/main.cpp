#include "quaymeterApp.h"

#include <QGuiApplication>

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    QuaymeterApp quaymeter;
    return quaymeter.run();
}
