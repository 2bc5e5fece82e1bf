#include "activityLog.h"

#include "viewText.h"

ActivityLog::ActivityLog(int limit, qsizetype textLimit, QObject *parent)
    : QAbstractListModel(parent), m_limit(limit), m_textLimit(textLimit) {}

void ActivityLog::prepend(ActivityEntry entry) {
    if (m_entries.size() >= m_limit) {
        const int last = int(m_entries.size()) - 1;
        beginRemoveRows({}, last, last);
        m_entries.removeLast();
        m_rows.removeLast();
        endRemoveRows();
    }
    beginInsertRows({}, 0, 0);
    m_rows.prepend(
        Row{activityTimeFormatter().string(entry.date), cutForView(entry.message, m_textLimit)});
    m_entries.prepend(std::move(entry));
    endInsertRows();
}

int ActivityLog::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ActivityLog::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
        return {};
    }
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case TimeTextRole:
        return row.timeText;
    case MessageRole:
        return row.message;
    default:
        return {};
    }
}

QHash<int, QByteArray> ActivityLog::roleNames() const {
    return {{TimeTextRole, "timeText"}, {MessageRole, "message"}};
}
