#include "listenerBrowser.h"

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <qcoro/qcorofuture.h>

namespace {

QString serviceText(const ListenerHolder &holder) {
    switch (holder.serviceKind) {
    case ProcessIdentity::ServiceKind::systemUnit:
        return QStringLiteral("system service ") + holder.service;
    case ProcessIdentity::ServiceKind::userUnit:
        return QStringLiteral("user service ") + holder.service;
    case ProcessIdentity::ServiceKind::container:
        return QStringLiteral("container ") + holder.service;
    case ProcessIdentity::ServiceKind::none:
        break;
    }
    return {};
}

QString holderName(const ListenerHolder &holder) {
    return holder.name + QStringLiteral(" PID ") + QString::number(holder.pid);
}

// "postgres PID 812, user postgres, system service postgresql.service"
QString holderSentence(const ListenerHolder &holder) {
    QString sentence = holderName(holder);
    if (!holder.user.isEmpty())
        sentence += QStringLiteral(", user ") + holder.user;
    if (const QString service = serviceText(holder); !service.isEmpty())
        sentence += QStringLiteral(", ") + service;
    return sentence;
}

bool isDigits(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

ListenerBrowser::ListenerBrowser(QObject *parent)
    : ListenerBrowser(&ListenerTable::readBlocking, parent) {}

ListenerBrowser::ListenerBrowser(ReadTable read, QObject *parent)
    : QAbstractListModel(parent), m_read(std::move(read)) {}

ListenerBrowser::Row ListenerBrowser::rowOf(const PortListeners &listeners) {
    Row row;
    row.port = listeners.port;
    row.portText = QString::number(listeners.port);
    row.addresses = listeners.addresses.join(QStringLiteral(", "));
    row.hidden = listeners.holders.isEmpty();
    QStringList sentences{QStringLiteral("Port ") + row.portText};
    QStringList haystack;
    if (row.hidden) {
        const QString owners = listeners.hiddenOwners.join(QStringLiteral(", "));
        // As the scan of its port names it.
        row.holder = QStringLiteral("Listener of user ") + owners;
        row.detail = QStringLiteral("Only an administrator may see its process");
        sentences << QStringLiteral("listener of user ") + owners
                  << QStringLiteral("only an administrator may see its process")
                  << QStringLiteral("address ") + row.addresses;
        haystack << listeners.hiddenOwners;
    } else {
        const ListenerHolder &first = listeners.holders.constFirst();
        row.holder = holderName(first);
        if (listeners.holders.size() > 1)
            row.holder += QStringLiteral(" and %1 more").arg(listeners.holders.size() - 1);
        QStringList detail;
        if (!first.user.isEmpty())
            detail << first.user;
        if (const QString service = serviceText(first); !service.isEmpty())
            detail << service;
        row.detail = detail.join(QStringLiteral(" · "));
        // A server's hundred workers would make a sentence no one listens to the end of.
        constexpr qsizetype spoken = 5;
        for (const ListenerHolder &holder : listeners.holders) {
            if (sentences.size() <= spoken)
                sentences << holderSentence(holder);
            haystack << holder.name << holder.user << holder.service;
        }
        if (listeners.holders.size() > spoken)
            sentences << QStringLiteral("and %1 more").arg(listeners.holders.size() - spoken);
        if (!listeners.hiddenOwners.isEmpty())
            haystack << listeners.hiddenOwners;
    }
    row.sentence = sentences.join(QStringLiteral(", "));
    row.haystack = haystack.join(u'\n').toCaseFolded();
    return row;
}

void ListenerBrowser::setFilter(const QString &filter) {
    if (filter == m_filter)
        return;
    m_filter = filter;
    emit filterChanged();
    show();
}

QString ListenerBrowser::countText() const {
    const auto listeners = [](int n) {
        return QString::number(n) +
               (n == 1 ? QStringLiteral(" listener") : QStringLiteral(" listeners"));
    };
    return m_filter.trimmed().isEmpty()
               ? listeners(total())
               : QString::number(count()) + QStringLiteral(" of ") + listeners(total());
}

QString ListenerBrowser::emptyText() const {
    if (count() > 0)
        return {};
    if (!m_readOnce)
        return QStringLiteral("Reading the listening sockets…");
    if (m_failed)
        return QStringLiteral("The kernel's table of listening sockets could not be read.");
    if (m_rows.isEmpty())
        return QStringLiteral("Nothing is listening on TCP here.");
    return QStringLiteral("No listener matches \u201c") + m_filter.trimmed() +
           QStringLiteral("\u201d.");
}

void ListenerBrowser::refresh() {
    read();
}

QCoro::Task<void> ListenerBrowser::read() {
    const quint64 generation = ++m_generation;
    if (!m_reading) {
        m_reading = true;
        emit readingChanged();
    }
    const QPointer<ListenerBrowser> self(this);
    auto future = QtConcurrent::run([read = m_read]() -> std::optional<QList<Row>> {
        const std::optional<QList<PortListeners>> table = read();
        if (!table)
            return std::nullopt;
        QList<Row> rows;
        rows.reserve(table->size());
        for (const PortListeners &listeners : *table)
            rows.append(rowOf(listeners));
        return rows;
    });
    std::optional<QList<Row>> rows = co_await future;
    // Only the newest read is shown, and none once the list has gone.
    if (!self || generation != m_generation)
        co_return;
    m_readOnce = true;
    m_failed = !rows;
    m_rows = rows ? std::move(*rows) : QList<Row>();
    m_reading = false;
    emit readingChanged();
    show();
}

void ListenerBrowser::show() {
    const QString wanted = m_filter.trimmed().toCaseFolded();
    const bool byPort = !wanted.isEmpty() && isDigits(wanted);
    QList<int> shown;
    shown.reserve(m_rows.size());
    for (int i = 0; i < int(m_rows.size()); ++i) {
        const Row &row = m_rows.at(i);
        if (wanted.isEmpty() ||
            (byPort ? row.portText.startsWith(wanted) : row.haystack.contains(wanted)))
            shown.append(i);
    }
    beginResetModel();
    m_shown = std::move(shown);
    endResetModel();
    emit countChanged();
}

int ListenerBrowser::portAt(int row) const {
    return row >= 0 && row < count() ? m_rows.at(m_shown.at(row)).port : 0;
}

int ListenerBrowser::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant ListenerBrowser::data(const QModelIndex &index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Row &row = m_rows.at(m_shown.at(index.row()));
    switch (role) {
    case PortRole:
        return row.port;
    case AddressesRole:
        return row.addresses;
    case HolderRole:
        return row.holder;
    case DetailRole:
        return row.detail;
    case HiddenRole:
        return row.hidden;
    case SentenceRole:
        return row.sentence;
    default:
        return {};
    }
}

QHash<int, QByteArray> ListenerBrowser::roleNames() const {
    return {{PortRole, "port"},     {AddressesRole, "addresses"}, {HolderRole, "holder"},
            {DetailRole, "detail"}, {HiddenRole, "hidden"},       {SentenceRole, "sentence"}};
}
