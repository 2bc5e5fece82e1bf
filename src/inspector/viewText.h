#pragma once

#include <QString>

// `text` cut after `limit` characters, ending with an ellipsis when cut; never inside a
// surrogate pair.
inline QString cutForView(const QString &text, qsizetype limit) {
    qsizetype end = limit;
    if (text.size() <= end) {
        return text;
    }
    if (text[end - 1].isHighSurrogate()) {
        --end;
    }
    return text.left(end) + QChar(0x2026);
}
