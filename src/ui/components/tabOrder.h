#pragma once

#include <QObject>
#include <QQuickItem>
#include <QtQml/qqmlregistration.h>

// Tab walks an item's children in the order the item holds them, but a list view adds its
// delegates in the order they scroll into sight. This puts a delegate back in list order among
// the delegates built so far (QQuickItem::stackBefore is not callable from QML).
class TabOrder : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // Moves `delegate` before the sibling with the next higher "index".
    Q_INVOKABLE static void placeByIndex(QQuickItem *delegate);
};
