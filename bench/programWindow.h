#pragma once

#include "guiThread.h"
#include "inspectorState.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QQmlApplicationEngine>
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

// One window opened the way the program opens it, with the inspector state the window owns.
// `window` and `state` are null when it could not open.
struct ProgramWindow {
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;
    InspectorState *state = nullptr;

    ProgramWindow() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QQmlComponent probe(&engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
        auto *windows =
            engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
        QQuickWindow *opened = windows && !probe.isError() ? windows->openWindow() : nullptr;
        if (!opened || !QTest::qWaitForWindowExposed(opened))
            return;
        const auto *content = opened->findChild<QQuickItem *>(QStringLiteral("contentView"));
        state = content ? content->property("inspector").value<InspectorState *>() : nullptr;
        window = state ? opened : nullptr;
    }

    // Scans `port` the way the Scan button does and waits for the answer.
    bool scan(quint16 port) {
        state->setPortText(QString::number(port));
        state->startScan();
        return runUntil([this, port] {
            return state->canScan() && state->lastScannedPort() == std::optional<qint64>(port);
        });
    }
};
