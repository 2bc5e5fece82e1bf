#pragma once

#include "portProcess.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

// The listed processes as the window shows them: a row a card, each a PortProcess whose texts are
// cut for the view as it is read. A new listing removes the old rows and inserts the new ones
// instead of resetting, so a view that reuses its delegates hands its cards to the next scan's
// listeners rather than building new ones.
class ListenerList : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role { ProcessRole = Qt::UserRole + 1 };

    explicit ListenerList(qsizetype textLimit, QObject *parent = nullptr);

    void replace(const QList<PortProcess> &processes);
    int count() const { return int(m_rows.size()); }
    // The listing whole, as the state's flows read it.
    const QList<PortProcess> &processes() const { return m_rows; }
    // The row that lists `pid`, or -1.
    Q_INVOKABLE int indexOfPID(int pid) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void countChanged();

private:
    qsizetype m_textLimit;
    QList<PortProcess> m_rows;
};
