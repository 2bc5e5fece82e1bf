#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QUuid>

// Formats activity stamps as "HH:mm:ss" in the user's locale and time zone.
class ActivityTimeFormatter {
public:
    QString string(const QDateTime &date) const;

private:
    QLocale m_locale = QLocale::system();
};

// The one formatter the whole application shares, made on first use.
const ActivityTimeFormatter &activityTimeFormatter();

struct ActivityEntry {
    QUuid id;
    QDateTime date;
    QString message;
};
