#pragma once

#include "inspectorState.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <memory>

// Builds QML snippets of the Quaymeter module inside a window of their own, so views lay out and
// draw as they do in the program.
class ViewHost {
public:
    ViewHost() { m_engine.addImportPath(QStringLiteral("qrc:/qt/qml")); }

    QQmlEngine &engine() { return m_engine; }

    QQuickItem *load(const QByteArray &body, QSizeF size = {}) {
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Quaymeter\nimport Quaymeter as Kit\n" + body,
                          QUrl(QStringLiteral("qrc:/test/View.qml")));
        m_item.reset(qobject_cast<QQuickItem *>(component.create()));
        if (!m_item) {
            qWarning().noquote() << component.errorString();
            return nullptr;
        }
        m_item->setParentItem(m_window.contentItem());
        if (!size.isEmpty())
            m_item->setSize(size);
        m_window.resize(600, 400);
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            return nullptr;
        return m_item.get();
    }

    QQuickWindow &window() { return m_window; }

private:
    QQmlEngine m_engine;
    QQuickWindow m_window;
    std::unique_ptr<QQuickItem> m_item;
};

// Searches the visual tree as well as the object tree: delegates have no QObject parent.
inline QQuickItem *findItem(QQuickItem *root, const QString &name) {
    for (QQuickItem *item : root->childItems()) {
        if (item->objectName() == name)
            return item;
        if (QQuickItem *found = findItem(item, name))
            return found;
    }
    return nullptr;
}

// Every item of that name, in the order the visual tree holds them (a repeater's model order).
inline QList<QQuickItem *> findItems(QQuickItem *root, const QString &name) {
    QList<QQuickItem *> found;
    for (QQuickItem *item : root->childItems()) {
        if (item->objectName() == name)
            found.append(item);
        found += findItems(item, name);
    }
    return found;
}

template <typename T = QQuickItem> T *child(QObject *root, const char *name) {
    const QString wanted = QString::fromLatin1(name);
    if (T *found = root->findChild<T *>(wanted))
        return found;
    QQuickItem *start = qobject_cast<QQuickItem *>(root);
    if (auto *window = qobject_cast<QQuickWindow *>(root))
        start = window->contentItem();
    return start ? qobject_cast<T *>(findItem(start, wanted)) : nullptr;
}

// Colours as the screen gets them: QML and C++ may round the same sRGB value differently.
inline QRgb rgba(const QVariant &colour) {
    return colour.value<QColor>().rgba();
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

    QQuickItem *item(const char *name) { return child(m_window, name); }

protected slots:
    virtual void initTestCase() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QQmlComponent probe(&m_engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
        QVERIFY2(!probe.isError(), qPrintable(probe.errorString()));
        m_windows =
            m_engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
        QVERIFY(m_windows);
    }

    virtual void init() {
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
