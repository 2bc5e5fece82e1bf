#pragma once

#include "containerRuntime.h"
#include "portProcess.h"
#include "processIdentity.h"

#include <QtQml/qqml.h>

// The services know nothing of QML; the records the state hands the window are made known here.
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

struct PublishedContainerForeign {
    Q_GADGET
    QML_FOREIGN(PublishedContainer)
    QML_VALUE_TYPE(publishedContainer)
};
