#pragma once

#include <QString>

enum class ScanStatus { idle, scanning, available, inUse, error };

// The case name as QML compares it ("idle", "scanning", "available", "inUse", "error"):
// QML cannot reach enum keys that start with a lower-case letter.
QString scanStatusName(ScanStatus status);
