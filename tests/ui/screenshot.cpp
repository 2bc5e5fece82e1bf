// Writes a PNG of the window for each listed state into the folder given as the only argument,
// so the look can be checked without a desktop. Add a state by adding a Scene.
#include "inspectorState.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <functional>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

namespace {

struct Scene {
    const char *name;
    std::function<void(InspectorState &)> prepare;
};

PortProcess sampleListener() {
    PortProcess process;
    process.commandName = QStringLiteral("node");
    process.pid = 4242;
    process.user = QStringLiteral("dev");
    process.commandDetails = QStringLiteral("TCP *:3000 (LISTEN)");
    process.rawOutput = QStringLiteral("node 4242 dev 23u IPv6 0x1 0t0 TCP *:3000 (LISTEN)");
    process.port = 3000;
    return process;
}

const Scene scenes[] = {
    {"idle", [](InspectorState &) {}},
    {"alert", [](InspectorState &state) { state.requestKill(sampleListener(), true); }},
};

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));

    QQmlApplicationEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    const QQmlComponent probe(&engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
    auto *windows =
        engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
    if (probe.isError() || !windows)
        return 1;

    for (const Scene &scene : scenes) {
        QQuickWindow *window = windows->openWindow();
        if (!window || !QTest::qWaitForWindowExposed(window))
            return 1;
        auto *content = window->findChild<QQuickItem *>(QStringLiteral("contentView"));
        auto *state = content->property("inspector").value<InspectorState *>();
        scene.prepare(*state);
        QTest::qWait(400);
        const QString file = output.filePath(QStringLiteral("screenshot-%1.png").arg(scene.name));
        if (!window->grabWindow().save(file))
            return 1;
        std::printf("%s\n", qPrintable(file));
        window->close();
    }
    return 0;
}
