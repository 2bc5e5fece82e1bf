#include "listenerTable.h"

#include "kernelTcpTable.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <pwd.h>
#include <qcoro/qcorofuture.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

struct Socket {
    quint64 inode = 0;
    uint uid = 0;
    quint16 port = 0;
    QString address;
    std::vector<int> holders; // indexes into the holders found
};

QString addressText(int family, const __be32 *words) {
    const int size = family == AF_INET ? 4 : 16;
    const auto *bytes = reinterpret_cast<const unsigned char *>(words);
    if (std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; }))
        return QStringLiteral("*");
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(family, bytes, text, sizeof text);
    return family == AF_INET ? QString::fromLatin1(text) : u'[' + QString::fromLatin1(text) + u']';
}

// Every TCP socket of `family` in the LISTEN state, in one dump.
bool dumpListeners(int family, std::vector<Socket> &sockets) {
    return KernelTcpTable::forEachListening(family, 0, [&](const inet_diag_msg &diag) {
        // An old kernel may ignore the state filter.
        if (diag.idiag_state == TCP_LISTEN)
            sockets.push_back({diag.idiag_inode,
                               diag.idiag_uid,
                               ntohs(diag.id.idiag_sport),
                               addressText(family, diag.id.idiag_src),
                               {}});
        return true;
    });
}

// The socket inode a descriptor link names ("socket:[12345]"), or 0.
quint64 socketInode(const char *link, ssize_t length) {
    constexpr char prefix[] = "socket:[";
    constexpr ssize_t prefixLength = sizeof prefix - 1;
    if (length <= prefixLength + 1 || std::memcmp(link, prefix, prefixLength) != 0 ||
        link[length - 1] != ']')
        return 0;
    quint64 inode = 0;
    for (ssize_t i = prefixLength; i < length - 1; ++i) {
        if (link[i] < '0' || link[i] > '9')
            return 0;
        inode = inode * 10 + quint64(link[i] - '0');
    }
    return inode;
}

// The effective user of a process, from its status: the owner of /proc/PID is root for a
// daemon that dropped its rights and made itself undumpable.
std::optional<uint> effectiveUid(const QByteArray &status) {
    const qsizetype line = status.indexOf("\nUid:");
    if (line < 0)
        return std::nullopt;
    const QList<QByteArray> ids =
        status.mid(line + 5, status.indexOf('\n', line + 1) - line - 5).simplified().split(' ');
    bool ok = false;
    const uint uid = ids.value(1).toUInt(&ok);
    return ok ? std::optional<uint>(uid) : std::nullopt;
}

class UserNames {
public:
    const QString &of(uint uid) {
        auto found = m_names.find(uid);
        if (found == m_names.end()) {
            passwd entry;
            passwd *result = nullptr;
            char buffer[4096];
            QString name = ::getpwuid_r(uid, &entry, buffer, sizeof buffer, &result) == 0 && result
                               ? QString::fromLocal8Bit(result->pw_name)
                               : QString::number(uid);
            found = m_names.insert(uid, name);
        }
        return *found;
    }

private:
    QHash<uint, QString> m_names;
};

// Walks the descriptors of every process this user may inspect, as ss -p does, and reads the
// name and cgroup of the few that hold a listening socket.
std::vector<ListenerHolder> matchHolders(std::vector<Socket> &sockets, UserNames &users) {
    std::unordered_map<quint64, size_t> byInode;
    byInode.reserve(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i)
        byInode.emplace(sockets[i].inode, i);
    std::vector<ListenerHolder> holders;
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *processes = proc < 0 ? nullptr : ::fdopendir(::dup(proc));
    while (processes) {
        const dirent *process = ::readdir(processes);
        if (!process)
            break;
        if (process->d_name[0] < '1' || process->d_name[0] > '9')
            continue;
        char path[sizeof process->d_name + 16];
        std::snprintf(path, sizeof path, "%s/fd", process->d_name);
        const int fdFolder = ::openat(proc, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdFolder < 0)
            continue; // another user's process, or one that has just gone
        DIR *descriptors = ::fdopendir(fdFolder);
        const int holder = int(holders.size());
        bool holds = false;
        while (const dirent *descriptor = descriptors ? ::readdir(descriptors) : nullptr) {
            if (descriptor->d_name[0] == '.')
                continue;
            char link[64];
            const ssize_t length = ::readlinkat(fdFolder, descriptor->d_name, link, sizeof link);
            const auto found = byInode.find(socketInode(link, length));
            if (found == byInode.end())
                continue;
            std::vector<int> &of = sockets[found->second].holders;
            if (std::find(of.begin(), of.end(), holder) == of.end())
                of.push_back(holder);
            holds = true;
        }
        if (descriptors)
            ::closedir(descriptors);
        if (!holds)
            continue;
        ProcessIdentity::ProcTexts texts;
        std::snprintf(path, sizeof path, "%s/comm", process->d_name);
        texts.comm = ProcessIdentity::readFileAt(proc, path);
        std::snprintf(path, sizeof path, "%s/cgroup", process->d_name);
        texts.cgroup = ProcessIdentity::readFileAt(proc, path);
        const ProcessIdentity identity = ProcessIdentity::parse(texts, 0);
        std::snprintf(path, sizeof path, "%s/status", process->d_name);
        const std::optional<uint> uid = effectiveUid(ProcessIdentity::readFileAt(proc, path));
        holders.push_back({pid_t(std::atoi(process->d_name)), identity.name,
                           uid ? users.of(*uid) : QString(), identity.serviceKind,
                           identity.service});
    }
    if (processes)
        ::closedir(processes);
    if (proc >= 0)
        ::close(proc);
    return holders;
}

template <typename T> void appendOnce(QList<T> &list, const T &value) {
    if (!list.contains(value))
        list.append(value);
}

} // namespace

namespace ListenerTable {

std::optional<QList<PortListeners>> readBlocking() {
    std::vector<Socket> sockets;
    if (!dumpListeners(AF_INET, sockets) || !dumpListeners(AF_INET6, sockets))
        return std::nullopt;
    UserNames users;
    const std::vector<ListenerHolder> holders =
        sockets.empty() ? std::vector<ListenerHolder>() : matchHolders(sockets, users);
    std::map<quint16, PortListeners> ports;
    for (const Socket &socket : sockets) {
        PortListeners &row = ports[socket.port];
        row.port = socket.port;
        appendOnce(row.addresses, socket.address);
        if (socket.holders.empty())
            appendOnce(row.hiddenOwners, users.of(socket.uid));
        for (const int holder : socket.holders)
            if (std::none_of(row.holders.begin(), row.holders.end(), [&](const ListenerHolder &h) {
                    return h.pid == holders[size_t(holder)].pid;
                }))
                row.holders.append(holders[size_t(holder)]);
    }
    QList<PortListeners> rows;
    rows.reserve(qsizetype(ports.size()));
    for (auto &[port, row] : ports) {
        std::sort(row.holders.begin(), row.holders.end(),
                  [](const ListenerHolder &a, const ListenerHolder &b) { return a.pid < b.pid; });
        rows.append(std::move(row));
    }
    return rows;
}

QCoro::Task<std::optional<QList<PortListeners>>> read() {
    auto future = QtConcurrent::run(readBlocking);
    co_return co_await future;
}

} // namespace ListenerTable
