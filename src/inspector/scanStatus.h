#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

enum class ScanStatus { idle, scanning, available, inUse, error };

// QML reaches the keys of an enumeration only when they begin with a capital letter: the same
// cases, in the same order, as QML names them (ScanStatus.InUse).
namespace ScanStatusForQml {
Q_NAMESPACE
QML_NAMED_ELEMENT(ScanStatus)
enum Status { Idle, Scanning, Available, InUse, Error };
Q_ENUM_NS(Status)
} // namespace ScanStatusForQml

static_assert(ScanStatusForQml::Error == int(ScanStatus::error));
