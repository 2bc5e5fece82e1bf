#include "textExcerpt.h"

namespace {

bool isLineBreak(QChar c) {
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

} // namespace

QString TextExcerpt::line(const QString &text) {
    const QStringView whole = QStringView(text).trimmed();
    QString line;
    line.reserve(whole.size());
    for (qsizetype i = 0; i < whole.size(); ++i) {
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
            line += whole.sliced(i, end - i);
        i = end - 1;
    }
    return line;
}
