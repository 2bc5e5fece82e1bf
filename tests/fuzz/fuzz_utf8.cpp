// A tool's output stream as the runner decodes it.
#include "commandRunner.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    const QString text = CommandRunner::decodeUtf8(bytes);
    // Whole or nothing: valid UTF-8 comes through exactly as printed, anything else as no text.
    if (bytes.isValidUtf8() ? text.toUtf8() != bytes : !text.isEmpty())
        std::abort();
    return 0;
}
