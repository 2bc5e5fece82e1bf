#include "cardModel.h"

void CardModel::setListeners(const QVariantList &listeners) {
    if (!m_listeners.isEmpty()) {
        beginRemoveRows({}, 0, int(m_listeners.size()) - 1);
        m_listeners.clear();
        endRemoveRows();
    }
    if (!listeners.isEmpty()) {
        beginInsertRows({}, 0, int(listeners.size()) - 1);
        m_listeners = listeners;
        endInsertRows();
    }
    emit listenersChanged();
}

int CardModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(m_listeners.size());
}

QVariant CardModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::UserRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    return m_listeners.at(index.row());
}

QHash<int, QByteArray> CardModel::roleNames() const {
    return {{Qt::UserRole, QByteArrayLiteral("process")}};
}
