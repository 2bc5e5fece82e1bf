// The yardstick for start-up: the smallest Qt Quick window of the program's size.
#include <QGuiApplication>
#include <QQmlApplicationEngine>

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    QQmlApplicationEngine engine;
    engine.loadData("import QtQuick\nWindow { width: 850; height: 540; visible: true; "
                    "color: \"#0b1016\" }");
    return application.exec();
}
