#pragma once

#include "portProcess.h"

#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QtQml/qqmlregistration.h>

// A kill waiting for the user's confirmation; `process` is the record as it was when asked.
struct KillRequest {
    Q_GADGET
    QML_VALUE_TYPE(killRequest)
    Q_PROPERTY(QUuid id MEMBER id CONSTANT)
    Q_PROPERTY(PortProcess process MEMBER process CONSTANT)
    Q_PROPERTY(bool force MEMBER force CONSTANT)

public:
    QUuid id;
    PortProcess process;
    bool force = false;
    // Listed by a scan as administrator, so signalled through the administrator helper.
    bool asAdministrator = false;
};

// What the confirmation alert shows; its other button is the standard cancel button.
struct KillConfirmationAlert {
    Q_GADGET
    QML_VALUE_TYPE(killConfirmationAlert)
    Q_PROPERTY(QString title MEMBER title CONSTANT)
    Q_PROPERTY(QString message MEMBER message CONSTANT)
    Q_PROPERTY(QString destructiveLabel MEMBER destructiveLabel CONSTANT)
    Q_PROPERTY(QString warning MEMBER warning CONSTANT)

public:
    QString title;
    QString message;
    QString destructiveLabel;
    // What else follows, shown under the message: a container's plumbing outlives its kill.
    QString warning = {};
};

Q_DECLARE_METATYPE(KillRequest)
Q_DECLARE_METATYPE(KillConfirmationAlert)
