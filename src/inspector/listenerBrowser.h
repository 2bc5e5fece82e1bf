#pragma once

#include "listenerTable.h"

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>
#include <qcoro/qcorotask.h>

// Every port something listens on, a row a port, read when the list opens or is refreshed and
// never otherwise, and filtered as the user types: digits match the start of the port, anything
// else a holder's name, user, unit or container, whatever the case.
class ListenerBrowser : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    // The rows the filter lets through, and all of them.
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(int total READ total NOTIFY countChanged)
    Q_PROPERTY(bool reading READ reading NOTIFY readingChanged)
    Q_PROPERTY(QString countText READ countText NOTIFY countChanged)
    // Why no row shows, in a sentence; empty while rows show.
    Q_PROPERTY(QString emptyText READ emptyText NOTIFY countChanged)

public:
    using ReadTable = std::function<std::optional<QList<PortListeners>>()>;
    enum Role {
        PortRole = Qt::UserRole + 1,
        AddressesRole,
        HolderRole,
        DetailRole,
        HiddenRole,
        SentenceRole,
    };

    // One row as the list shows it, its texts made on the reading thread.
    struct Row {
        int port = 0;
        QString portText;
        QString addresses;
        QString holder; // "postgres PID 812", or the first of several and how many more
        QString detail; // user and what runs it, or the owner of another user's listener
        bool hidden = false;
        QString sentence; // what a screen reader says
        QString haystack; // names, users, units and containers, case-folded, a line each
    };

    explicit ListenerBrowser(QObject *parent = nullptr);
    ListenerBrowser(ReadTable read, QObject *parent);

    const QString &filter() const { return m_filter; }
    void setFilter(const QString &filter);
    int count() const { return int(m_shown.size()); }
    int total() const { return int(m_rows.size()); }
    bool reading() const { return m_reading; }
    QString countText() const;
    QString emptyText() const;

    // Reads the table again; rows stay as they are until the new ones arrive.
    Q_INVOKABLE void refresh();
    QCoro::Task<void> read();
    // The port of a shown row, or 0.
    Q_INVOKABLE int portAt(int row) const;

    static Row rowOf(const PortListeners &listeners);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

signals:
    void filterChanged();
    void countChanged();
    void readingChanged();

private:
    void show();

    ReadTable m_read;
    QList<Row> m_rows;
    QList<int> m_shown; // indexes into m_rows
    QString m_filter;
    bool m_reading = false;
    bool m_failed = false;
    bool m_readOnce = false;
    quint64 m_generation = 0;
};
