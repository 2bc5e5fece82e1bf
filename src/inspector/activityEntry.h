#pragma once

#include <QDateTime>
#include <QLocale>
#include <QMetaType>
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
    Q_GADGET
    Q_PROPERTY(QUuid id MEMBER id CONSTANT)
    Q_PROPERTY(QDateTime date MEMBER date CONSTANT)
    Q_PROPERTY(QString message MEMBER message CONSTANT)
    Q_PROPERTY(QString timeText READ timeText CONSTANT)

public:
    QUuid id;
    QDateTime date;
    QString message;

    QString timeText() const { return activityTimeFormatter().string(date); }
};

Q_DECLARE_METATYPE(ActivityEntry)
