// Whatever the user types into the port field.
#include "portValidation.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> message = PortValidation::validationMessage(text, true);
    const std::optional<qint64> port = PortValidation::validatedPort(text);
    // A port in range exactly when there is nothing to complain about, and the number typed.
    if (message.has_value() == port.has_value() || (port && (*port < 1 || *port > 65535)) ||
        (port && *port != text.trimmed().toLongLong()))
        std::abort();
    // Before the first scan only an empty field goes without a complaint.
    if (PortValidation::validationMessage(text, false) !=
        (text.trimmed().isEmpty() ? std::nullopt : message))
        std::abort();
    return 0;
}
