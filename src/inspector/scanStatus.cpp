#include "scanStatus.h"

QString scanStatusName(ScanStatus status) {
    switch (status) {
    case ScanStatus::idle:
        return QStringLiteral("idle");
    case ScanStatus::scanning:
        return QStringLiteral("scanning");
    case ScanStatus::available:
        return QStringLiteral("available");
    case ScanStatus::inUse:
        return QStringLiteral("inUse");
    case ScanStatus::error:
        return QStringLiteral("error");
    }
    Q_UNREACHABLE();
}
