#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// Cuts a text that comes from the tools down to what a one- or two-line view can show: laying
// text out takes the GUI thread in proportion to its length, however little of it is seen.
class TextExcerpt : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // Longer than any one- or two-line view of the window can show.
    static constexpr qsizetype lineLimit = 200;

    // The text as one line: each line break, with the white space around it, becomes one space.
    // Cut after lineLimit characters, it ends with an ellipsis.
    Q_INVOKABLE static QString line(const QString &text);
};
