#pragma once

#include "processIdentity.h"

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
    Q_PROPERTY(ProcessIdentity identity MEMBER identity CONSTANT)

public:
    QString commandName;
    pid_t pid = 0;
    QString user;
    QString commandDetails;
    QString rawOutput;
    qint64 port = 0;
    // Read from /proc by the scan; not part of what lsof said, so not part of equality.
    ProcessIdentity identity = {};

    friend bool operator==(const PortProcess &a, const PortProcess &b) {
        return a.commandName == b.commandName && a.pid == b.pid && a.user == b.user &&
               a.commandDetails == b.commandDetails && a.rawOutput == b.rawOutput &&
               a.port == b.port;
    }
};

Q_DECLARE_METATYPE(PortProcess)
