#pragma once

#include "activityEntry.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The newest activity lines, newest first, at most `limit` of them. A list model so that a new
// line inserts one row and drops the oldest rather than rebuilding every row the window shows.
class ActivityLog : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS

public:
    enum Role { TimeTextRole = Qt::UserRole + 1, MessageRole };

    ActivityLog(int limit, qsizetype textLimit, QObject *parent = nullptr);

    const QList<ActivityEntry> &entries() const { return m_entries; }
    void prepend(ActivityEntry entry);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    struct Row {
        QString timeText;
        QString message;
    };

    int m_limit;
    qsizetype m_textLimit;
    QList<ActivityEntry> m_entries;
    // What the rows show, worked out once per line rather than on every read.
    QList<Row> m_rows;
};
