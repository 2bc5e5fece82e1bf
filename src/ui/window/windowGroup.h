#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQuickWindow>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// The program's windows. Each one is built fresh with its own inspector state and is deleted,
// state and all, once it is closed.
class WindowGroup : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    using QObject::QObject;
    ~WindowGroup() override;

    static constexpr auto windowUrl = "qrc:/qt/qml/Quaymeter/QuaymeterWindow.qml";

    int count() const { return int(m_windows.size()); }
    // `initialProperties` are the window's, as QuaymeterWindow declares them.
    Q_INVOKABLE QQuickWindow *openWindow(const QVariantMap &initialProperties = {});

signals:
    void countChanged();

private:
    QList<QPointer<QQuickWindow>> m_windows;
};
