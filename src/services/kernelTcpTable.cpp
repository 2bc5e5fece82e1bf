#include "kernelTcpTable.h"

#include <QFile>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <qcoro/qcorofuture.h>

namespace {

constexpr char16_t listenState[] = u"0A";

int hexDigit(QChar ch) {
    const char16_t c = ch.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool isAllHex(QStringView digits) {
    return !digits.isEmpty() &&
           std::all_of(digits.begin(), digits.end(), [](QChar ch) { return hexDigit(ch) >= 0; });
}

// The port of a local address: at most four hex digits (the kernel prints exactly four), or
// nothing, which equals no port at all.
std::optional<quint16> portValue(QStringView digits) {
    if (digits.size() > 4 || !isAllHex(digits))
        return std::nullopt;
    quint16 value = 0;
    for (const QChar ch : digits)
        value = quint16(value * 16 + hexDigit(ch));
    return value;
}

// Row layout: "sl: local_address rem_address st ...", the local address being
// "<8 or 32 hex digits>:<port as 4 hex digits>".
bool rowListensOn(QStringView row, qint64 port) {
    QStringView fields[4];
    int count = 0;
    qsizetype i = 0;
    const qsizetype size = row.size();
    while (count < 4 && i < size) {
        while (i < size && row[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < size && !row[i].isSpace())
            ++i;
        if (i > start)
            fields[count++] = row.sliced(start, i - start);
    }
    if (count < 4 || fields[3].compare(QStringView(listenState), Qt::CaseInsensitive) != 0)
        return false;
    const QStringView local = fields[1];
    const qsizetype colon = local.lastIndexOf(u':');
    if (colon <= 0 || !isAllHex(local.first(colon)))
        return false;
    const std::optional<quint16> localPort = portValue(local.sliced(colon + 1));
    return localPort && *localPort == port;
}

bool listensNow(qint64 port) {
    for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly) &&
            KernelTcpTable::tableHasListener(QString::fromLatin1(file.readAll()), port))
            return true;
    }
    return false;
}

// A watch holds its thread for seconds; it must not hold up users of the global pool.
QThreadPool *watchPool() {
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool; // lives as long as the process: threads may still be waiting
        p->setMaxThreadCount(8);
        return p;
    }();
    return pool;
}

bool awaitListenerBlocking(qint64 port, std::chrono::steady_clock::time_point deadline,
                           std::stop_token stop) {
    std::mutex mutex;
    std::condition_variable_any stopped;
    std::unique_lock lock(mutex);
    while (!stop.stop_requested()) {
        if (listensNow(port))
            return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            return false;
        stopped.wait_until(lock, stop, std::min(now + KernelTcpTable::pollInterval, deadline),
                           [] { return false; });
    }
    return false;
}

} // namespace

namespace KernelTcpTable {

bool tableHasListener(QStringView table, qint64 port) {
    qsizetype start = 0;
    while (start < table.size()) {
        qsizetype end = table.indexOf(u'\n', start);
        if (end < 0)
            end = table.size();
        if (rowListensOn(table.sliced(start, end - start), port))
            return true;
        start = end + 1;
    }
    return false;
}

QCoro::Task<bool> hasListener(qint64 port) {
    auto future = QtConcurrent::run(listensNow, port);
    co_return co_await future;
}

QCoro::Task<bool> awaitListener(qint64 port, std::chrono::steady_clock::time_point deadline,
                                std::stop_token stop) {
    auto future = QtConcurrent::run(watchPool(), awaitListenerBlocking, port, deadline, stop);
    co_return co_await future;
}

} // namespace KernelTcpTable
