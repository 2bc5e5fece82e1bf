#include "listenerList.h"

#include "viewText.h"

#include <QThreadPool>

ListenerList::ListenerList(qsizetype textLimit, QObject *parent)
    : QAbstractListModel(parent), m_textLimit(textLimit) {}

void ListenerList::replace(const QList<PortProcess> &processes) {
    const qsizetype before = m_rows.size();
    if (!m_rows.isEmpty()) {
        beginRemoveRows({}, 0, int(m_rows.size()) - 1);
        // Freeing tens of thousands of records (a tool that printed megabytes) takes
        // milliseconds: the old rows go on a pool thread, never holding up the GUI thread.
        QThreadPool::globalInstance()->start([old = std::exchange(m_rows, {})] {});
        endRemoveRows();
    }
    if (!processes.isEmpty()) {
        // Shared, not copied: a listing of tens of thousands costs nothing here, and a row's
        // texts are cut only when a card reads them.
        beginInsertRows({}, 0, int(processes.size()) - 1);
        m_rows = processes;
        endInsertRows();
    }
    if (m_rows.size() != before) {
        emit countChanged();
    }
}

int ListenerList::indexOfPID(int pid) const {
    for (qsizetype row = 0; row < m_rows.size(); ++row) {
        if (m_rows.at(row).pid == pid) {
            return int(row);
        }
    }
    return -1;
}

int ListenerList::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ListenerList::data(const QModelIndex &index, int role) const {
    if (role != ProcessRole || !checkIndex(index, CheckIndexOption::IndexIsValid)) {
        return {};
    }
    PortProcess process = m_rows.at(index.row());
    for (QString *text :
         {&process.commandName, &process.user, &process.commandDetails, &process.rawOutput}) {
        *text = cutForView(*text, m_textLimit);
    }
    return QVariant::fromValue(process);
}

QHash<int, QByteArray> ListenerList::roleNames() const {
    return {{ProcessRole, QByteArrayLiteral("process")}};
}
