#include "kernelTcpTable.h"

#include "blockingWaitPool.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <pwd.h>
#include <qcoro/qcorofuture.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// NLMSG_OK, without comparing the header's unsigned length with the signed byte count left.
bool fitsIn(const nlmsghdr *message, int left) {
    return left >= int(sizeof(nlmsghdr)) && message->nlmsg_len >= sizeof(nlmsghdr) &&
           message->nlmsg_len <= unsigned(left);
}

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

// The bytes of an address as the kernel prints them: 8 or 32 hex digits, each group of 8 the
// host-order value of 4 bytes in network order. Written as lsof writes it; nothing when unreadable.
std::optional<QString> addressText(QStringView digits) {
    if ((digits.size() != 8 && digits.size() != 32) || !isAllHex(digits))
        return std::nullopt;
    unsigned char bytes[16];
    for (qsizetype word = 0; word < digits.size() / 8; ++word) {
        quint32 value = 0;
        for (const QChar ch : digits.sliced(word * 8, 8))
            value = value * 16 + quint32(hexDigit(ch));
        std::memcpy(bytes + word * 4, &value, 4);
    }
    const bool v4 = digits.size() == 8;
    if (std::all_of(bytes, bytes + (v4 ? 4 : 16), [](unsigned char b) { return b == 0; }))
        return QStringLiteral("*");
    char text[INET6_ADDRSTRLEN];
    if (!::inet_ntop(v4 ? AF_INET : AF_INET6, bytes, text, sizeof text))
        return std::nullopt;
    return v4 ? QString::fromLatin1(text) : u'[' + QString::fromLatin1(text) + u']';
}

// Row layout: "sl: local_address rem_address st tx:rx tr:when retrnsmt uid ...", the local
// address being "<8 or 32 hex digits>:<port as 4 hex digits>".
std::optional<KernelListener> rowListener(QStringView row, qint64 port) {
    QStringView fields[8];
    int count = 0;
    qsizetype i = 0;
    const qsizetype size = row.size();
    while (count < 8 && i < size) {
        while (i < size && row[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < size && !row[i].isSpace())
            ++i;
        if (i > start)
            fields[count++] = row.sliced(start, i - start);
    }
    if (count < 8 || fields[3].compare(QStringView(listenState), Qt::CaseInsensitive) != 0)
        return std::nullopt;
    const QStringView local = fields[1];
    const qsizetype colon = local.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    const std::optional<quint16> localPort = portValue(local.sliced(colon + 1));
    const std::optional<QString> address = addressText(local.first(colon));
    const QStringView uid = fields[7];
    if (!localPort || *localPort != port || !address || uid.size() > 10 ||
        !std::all_of(uid.begin(), uid.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; }))
        return std::nullopt;
    const qint64 owner = uid.toLongLong();
    if (owner > std::numeric_limits<uint>::max())
        return std::nullopt;
    return KernelListener{uint(owner), {}, *address};
}

QString userName(uint uid) {
    passwd entry;
    passwd *found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) != 0 || !found)
        return {};
    return QString::fromLocal8Bit(found->pw_name);
}

// Asks sock_diag for a socket of `family` listening on `port`. The kernel then looks through its
// listening sockets alone, where printing /proc/net/tcp walks every bucket of the connection
// table (a millisecond and more of CPU on an ordinary desktop). Nothing when sock_diag does not
// answer (a kernel without inet_diag, a sandbox).
std::optional<bool> diagListens(int family, quint16 port) {
    bool found = false;
    const bool answered =
        KernelTcpTable::forEachListening(family, port, [&](const inet_diag_msg &diag) {
            // Checked here too: an old kernel may list every listener.
            found = diag.id.idiag_sport == htons(port);
            return !found;
        });
    if (found)
        return true;
    return answered ? std::optional<bool>(false) : std::nullopt;
}

bool listensNow(qint64 port) {
    if (port > 0 && port <= 65535) {
        const std::optional<bool> v4 = diagListens(AF_INET, quint16(port));
        const std::optional<bool> v6 = v4 == true ? v4 : diagListens(AF_INET6, quint16(port));
        if (v4 && v6)
            return *v4 || *v6;
    }
    for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly) &&
            !KernelTcpTable::tableListeners(QString::fromLatin1(file.readAll()), port).isEmpty())
            return true;
    }
    return false;
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

QList<KernelListener> tableListeners(QStringView table, qint64 port) {
    QList<KernelListener> found;
    qsizetype start = 0;
    while (start < table.size()) {
        qsizetype end = table.indexOf(u'\n', start);
        if (end < 0)
            end = table.size();
        const auto listener = rowListener(table.sliced(start, end - start), port);
        if (listener && !found.contains(*listener))
            found.append(*listener);
        start = end + 1;
    }
    return found;
}

QCoro::Task<QList<KernelListener>> listeners(qint64 port) {
    auto future = QtConcurrent::run([port] {
        QList<KernelListener> found;
        for (const char *path : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(QString::fromLatin1(path));
            if (file.open(QIODevice::ReadOnly))
                found += tableListeners(QString::fromLatin1(file.readAll()), port);
        }
        for (KernelListener &listener : found)
            listener.user = userName(listener.uid);
        return found;
    });
    co_return co_await future;
}

QCoro::Task<bool> hasListener(qint64 port) {
    auto future = QtConcurrent::run(listensNow, port);
    co_return co_await future;
}

QCoro::Task<bool> awaitListener(qint64 port, std::chrono::steady_clock::time_point deadline,
                                std::stop_token stop) {
    auto future =
        QtConcurrent::run(blockingWaitPool(), awaitListenerBlocking, port, deadline, stop);
    co_return co_await future;
}

} // namespace KernelTcpTable

bool KernelTcpTable::forEachListening(int family, quint16 port,
                                      const std::function<bool(const inet_diag_msg &)> &each) {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return false;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    query.request.sdiag_family = quint8(family);
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = 1U << TCP_LISTEN;
    query.request.id.idiag_sport = htons(port);
    bool done = false;
    bool failed = ::send(fd, &query, sizeof query, 0) != ssize_t(sizeof query);
    alignas(nlmsghdr) static thread_local char reply[32768];
    while (!done && !failed) {
        const ssize_t size = ::recv(fd, reply, sizeof reply, 0);
        if (size < 0 && errno == EINTR)
            continue;
        failed = size <= 0;
        int left = int(std::max<ssize_t>(size, 0));
        for (auto *message = reinterpret_cast<nlmsghdr *>(reply);
             !done && !failed && fitsIn(message, left); message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_type == NLMSG_DONE)
                done = true;
            else if (message->nlmsg_type != SOCK_DIAG_BY_FAMILY ||
                     message->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                failed = true;
            else
                done = !each(*static_cast<const inet_diag_msg *>(NLMSG_DATA(message)));
        }
    }
    ::close(fd);
    return done && !failed;
}
