#pragma once

#include "inspectorState.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

// Every item of that name in the visual tree (delegates have no QObject parent), in tree order.
inline QList<QQuickItem *> findItems(QQuickItem *root, const QString &name) {
    QList<QQuickItem *> found;
    for (QQuickItem *item : root->childItems()) {
        if (item->objectName() == name)
            found.append(item);
        found += findItems(item, name);
    }
    return found;
}

inline QQuickItem *child(QQuickItem *root, const char *name) {
    return findItems(root, QString::fromLatin1(name)).value(0);
}

inline QRectF sceneRect(const QQuickItem *item) {
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// Windows opened offscreen the way the program opens them, each with its own inspector; every
// test starts from a fresh window and fails on any Qt warning.
class ProgramWindowTest : public QObject {
    Q_OBJECT

protected:
    QQmlEngine m_engine;
    WindowGroup *m_windows = nullptr;
    QQuickWindow *m_window = nullptr;
    InspectorState *m_state = nullptr;

    QQuickItem *item(const char *name) { return child(m_window->contentItem(), name); }
    QList<QQuickItem *> items(const char *name) {
        return findItems(m_window->contentItem(), QString::fromLatin1(name));
    }
    QString text(const char *name) { return item(name)->property("text").toString(); }

protected slots:
    void initTestCase() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QQmlComponent module(&m_engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
        QVERIFY2(!module.isError(), qPrintable(module.errorString()));
        m_windows =
            m_engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
        QVERIFY(m_windows);
    }

    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        m_window = m_windows->openWindow();
        QVERIFY(m_window && QTest::qWaitForWindowExposed(m_window));
        m_state = item("contentView")->property("inspector").value<InspectorState *>();
        QVERIFY(m_state);
    }

    void cleanup() {
        if (m_window)
            m_window->close();
        QTRY_COMPARE(m_windows->count(), 0);
    }
};
