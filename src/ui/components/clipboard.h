#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// The desktop's clipboard for the cards' copy actions; QML has no way of its own to set it.
class Clipboard : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE static void setText(const QString &text);
};
