#include "portValidation.h"

#include <QStringView>
#include <limits>

namespace {

// Decimal digits only; Qt's own parsers also take signs, spaces and other scripts' digits.
std::optional<qint64> parseAsciiDecimal(QStringView text) {
    if (text.isEmpty()) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const int digit = c.unicode() - u'0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

enum class PortCheck { empty, notNumeric, outOfRange, valid };

struct ParsedPort {
    PortCheck check;
    qint64 port = 0;
};

ParsedPort checkPort(const QString &portText) {
    const QString trimmed = portText.trimmed();
    if (trimmed.isEmpty()) {
        return {PortCheck::empty};
    }
    for (const QChar c : trimmed) {
        if (!c.isNumber()) {
            return {PortCheck::notNumeric};
        }
    }
    const auto value = parseAsciiDecimal(trimmed);
    if (!value) {
        return {PortCheck::notNumeric};
    }
    if (*value < 1 || *value > 65535) {
        return {PortCheck::outOfRange};
    }
    return {PortCheck::valid, *value};
}

} // namespace

namespace PortValidation {

std::optional<QString> validationMessage(const QString &portText, bool hasAttemptedScan) {
    switch (checkPort(portText).check) {
    case PortCheck::empty:
        if (hasAttemptedScan) {
            return QStringLiteral("Enter a TCP port number.");
        }
        return std::nullopt;
    case PortCheck::notNumeric:
        return QStringLiteral("Port must be numeric.");
    case PortCheck::outOfRange:
        return QStringLiteral("Port must be between 1 and 65535.");
    case PortCheck::valid:
        return std::nullopt;
    }
    Q_UNREACHABLE();
}

std::optional<qint64> validatedPort(const QString &portText) {
    const ParsedPort parsed = checkPort(portText);
    if (parsed.check != PortCheck::valid) {
        return std::nullopt;
    }
    return parsed.port;
}

} // namespace PortValidation
