#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

// A text from the tools as a one- or two-line view shows it. The state has already cut it to a
// length the GUI thread lays out quickly; what the view cannot show it elides.
class TextExcerpt : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    using QObject::QObject;

    // The text as one line: each line break, with the white space around it, becomes one space.
    Q_INVOKABLE static QString line(const QString &text);
};
