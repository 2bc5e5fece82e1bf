#include "activityEntry.h"

QString ActivityTimeFormatter::string(const QDateTime &date) const {
    return m_locale.toString(date.toLocalTime().time(), QStringLiteral("HH:mm:ss"));
}

const ActivityTimeFormatter &activityTimeFormatter() {
    static const ActivityTimeFormatter formatter;
    return formatter;
}
