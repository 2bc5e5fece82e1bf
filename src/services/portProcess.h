#pragma once

#include <QMetaType>
#include <QString>
#include <QtGlobal>

#include <sys/types.h>

// One process listening on the scanned port, as one line of lsof's output describes it.
struct PortProcess {
    Q_GADGET
    Q_PROPERTY(QString commandName MEMBER commandName CONSTANT)
    Q_PROPERTY(int pid MEMBER pid CONSTANT)
    Q_PROPERTY(QString user MEMBER user CONSTANT)
    Q_PROPERTY(QString commandDetails MEMBER commandDetails CONSTANT)
    Q_PROPERTY(QString rawOutput MEMBER rawOutput CONSTANT)
    Q_PROPERTY(qint64 port MEMBER port CONSTANT)

public:
    QString commandName;
    pid_t pid = 0;
    QString user;
    QString commandDetails;
    QString rawOutput;
    qint64 port = 0;

    pid_t id() const { return pid; }
    friend bool operator==(const PortProcess &, const PortProcess &) = default;
};

Q_DECLARE_METATYPE(PortProcess)
