#pragma once

#include "activityEntry.h"
#include "activityLog.h"
#include "inspectorState.h"
#include "killRequest.h"
#include "portProcess.h"
#include "processIdentity.h"

#include <QtQml/qqml.h>

// The inspector library knows nothing of this module; these make its types known to it.
struct InspectorStateForeign {
    Q_GADGET
    QML_FOREIGN(InspectorState)
    QML_NAMED_ELEMENT(InspectorState)
};

struct PortProcessForeign {
    Q_GADGET
    QML_FOREIGN(PortProcess)
    QML_VALUE_TYPE(portProcess)
};

struct ProcessIdentityForeign {
    Q_GADGET
    QML_FOREIGN(ProcessIdentity)
    QML_VALUE_TYPE(processIdentity)
};

struct ActivityEntryForeign {
    Q_GADGET
    QML_FOREIGN(ActivityEntry)
    QML_VALUE_TYPE(activityEntry)
};

struct ActivityLogForeign {
    Q_GADGET
    QML_FOREIGN(ActivityLog)
    QML_ANONYMOUS
};

struct KillRequestForeign {
    Q_GADGET
    QML_FOREIGN(KillRequest)
    QML_VALUE_TYPE(killRequest)
};

struct KillConfirmationAlertForeign {
    Q_GADGET
    QML_FOREIGN(KillConfirmationAlert)
    QML_VALUE_TYPE(killConfirmationAlert)
};
