#pragma once

#include "commandRunner.h"

#include <cstring>

// A finished run of a tool. Input: the exit code's byte, standard output, NUL, standard error
// (the layout scripts/capture-fuzz-seeds.sh writes the real tools' answers in). Needs size > 0.
inline CommandResult toolOutput(const uint8_t *data, size_t size) {
    const char *const out = reinterpret_cast<const char *>(data) + 1;
    const char *const end = out + size - 1;
    const char *const nul = static_cast<const char *>(std::memchr(out, 0, end - out));
    return {QString::fromUtf8(out, (nul ? nul : end) - out),
            nul ? QString::fromUtf8(nul + 1, end - nul - 1) : QString(), qint8(data[0])};
}
