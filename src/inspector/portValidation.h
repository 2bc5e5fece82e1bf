#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// The check behind the port field: what the user typed, read as a TCP port.
namespace PortValidation {

// Why `portText` is not a usable port, or nothing. An empty field is only a complaint once the
// user has tried to scan.
std::optional<QString> validationMessage(const QString &portText, bool hasAttemptedScan);

// The port in 1 to 65535, or nothing.
std::optional<qint64> validatedPort(const QString &portText);

} // namespace PortValidation
