#include "textExcerpt.h"

#include "viewText.h"

#include <algorithm>

namespace {

bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

QString TextExcerpt::line(const QString &text) {
    const QStringView whole = QStringView(text).trimmed();
    // Gathers one character more than fits, to know whether the line has to be cut.
    QString line;
    line.reserve(std::min(whole.size(), lineLimit + 1));
    for (qsizetype i = 0; i < whole.size() && line.size() <= lineLimit; ++i) {
        if (!whole[i].isSpace()) {
            line += whole[i];
            continue;
        }
        qsizetype end = i;
        bool breaks = false;
        while (end < whole.size() && whole[end].isSpace())
            breaks = isLineBreak(whole[end++]) || breaks;
        if (breaks)
            line += u' ';
        else
            line += whole.sliced(i, std::min(end - i, lineLimit + 1 - line.size()));
        i = end - 1;
    }
    return cutForView(line, lineLimit);
}
