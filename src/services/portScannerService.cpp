#include "portScannerService.h"

#include "socketUnits.h"

#include <QFileInfo>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>
#include <array>
#include <limits>
#include <qcoro/qcorofuture.h>
#include <variant>

// Debian, Ubuntu, Fedora and Arch ship it in /usr/bin; others keep it where BSD put it.
const QStringList PortScannerService::lsofCandidates = {QStringLiteral("/usr/bin/lsof"),
                                                        QStringLiteral("/usr/sbin/lsof")};
const QString PortScannerService::lsofPath = lsofCandidates.first();

QString HiddenListener::owner() const {
    if (listeners.isEmpty())
        return {};
    const KernelListener &first = listeners.first();
    return first.user.isEmpty() ? QStringLiteral("UID ") + QString::number(first.uid) : first.user;
}

QString HiddenListener::addresses() const {
    QStringList names;
    for (const KernelListener &listener : listeners) {
        const QString name = listener.address + u':' + QString::number(port);
        if (!names.contains(name))
            names.append(name);
    }
    return names.join(QStringLiteral(" and "));
}

QString HiddenListener::description() const {
    return QStringLiteral("User ") + owner() + QStringLiteral(" listens on ") + addresses() +
           QStringLiteral(". Scan as Administrator to see the process.");
}

QString PortScannerError::errorDescription() const {
    return QStringLiteral("Unable to scan the port. ") + m_message;
}

namespace {

bool isLineSeparator(char16_t c) {
    if (c > u'\r' && c < 0x0085) // nearly every character: one test
        return false;
    return c >= u'\n' && (c <= u'\r' || c == 0x0085 || c == 0x2028 || c == 0x2029);
}

// Calls `visit` with every non-empty line; a CR LF pair needs no special case because the
// empty piece between its two characters is dropped like any other.
template <typename Visit> void forEachLine(QStringView text, Visit &&visit) {
    const char16_t *start = text.utf16();
    const char16_t *const end = start + text.size();
    for (const char16_t *p = start; p != end; ++p) {
        if (isLineSeparator(*p)) {
            if (p != start)
                visit(QStringView(start, p));
            start = p + 1;
        }
    }
    if (end != start)
        visit(QStringView(start, end));
}

// The fields of a line, split at runs of Unicode White_Space (QChar::isSpace is that property).
struct Fields {
    static constexpr int inlineCount = 16;
    std::array<QStringView, inlineCount> first;
    QList<QStringView> more; // only for unusually wide lines
    qsizetype count = 0;

    QStringView operator[](qsizetype i) const {
        return i < inlineCount ? first[i] : more[i - inlineCount];
    }

    explicit Fields(QStringView line) {
        const char16_t *p = line.utf16();
        const char16_t *const end = p + line.size();
        while (p != end) {
            while (p != end && QChar::isSpace(*p))
                ++p;
            const char16_t *const start = p;
            while (p != end && !QChar::isSpace(*p))
                ++p;
            if (p != start) {
                const QStringView field(start, p);
                if (count < inlineCount)
                    first[count] = field;
                else
                    more.append(field);
                ++count;
            }
        }
    }
};

// An optional single sign, then ASCII digits only, within the signed 32-bit range; like the
// tool's PID column, anything else (or a PID of 0 or below, which kill would treat as a group)
// is not a process.
std::optional<pid_t> parsePid(QStringView field) {
    qsizetype i = 0;
    bool negative = false;
    if (!field.isEmpty() && (field[0] == u'+' || field[0] == u'-')) {
        negative = field[0] == u'-';
        i = 1;
    }
    if (i == field.size())
        return std::nullopt;
    qint64 value = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    for (; i < field.size(); ++i) {
        const char16_t c = field[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > limit)
            return std::nullopt;
    }
    if (negative || value == 0 || value > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return pid_t(value);
}

PortProcess makeRecord(const Fields &fields, pid_t pid, QStringView line, qint64 port) {
    PortProcess record;
    record.commandName = fields[0].toString();
    record.pid = pid;
    record.user = fields[2].toString();
    if (fields.count > 3) {
        qsizetype length = fields.count - 4;
        for (qsizetype i = 3; i < fields.count; ++i)
            length += fields[i].size();
        record.commandDetails.reserve(length);
        for (qsizetype i = 3; i < fields.count; ++i) {
            if (i > 3)
                record.commandDetails.append(u' ');
            record.commandDetails.append(fields[i]);
        }
    }
    record.rawOutput = line.toString();
    record.port = port;
    return record;
}

} // namespace

PortScannerService::PortScannerService(RunStoppableCommand run,
                                       FindHiddenListener findHiddenListener)
    : m_run(std::move(run)), m_findHiddenListener(std::move(findHiddenListener)) {}

PortScannerService::PortScannerService(RunCommand run, FindHiddenListener findHiddenListener)
    : PortScannerService([run = std::move(run)](const QString &path, const QStringList &arguments,
                                                std::stop_token) { return run(path, arguments); },
                         std::move(findHiddenListener)) {}

QString PortScannerService::locateLsof(const QStringList &candidates) {
    for (const QString &candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return candidate;
    }
    return candidates.first();
}

QStringList PortScannerService::lsofArguments(qint64 port) {
    return {QStringLiteral("-nP"), QStringLiteral("-iTCP:") + QString::number(port),
            QStringLiteral("-sTCP:LISTEN")};
}

std::optional<PortProcess> PortScannerService::parseListenerLine(QStringView line, qint64 port,
                                                                 const QSet<pid_t> &skip) {
    const Fields fields(line);
    if (fields.count < 3)
        return std::nullopt;
    const std::optional<pid_t> pid = parsePid(fields[1]);
    if (!pid || skip.contains(*pid))
        return std::nullopt;
    return makeRecord(fields, *pid, line, port);
}

QList<PortProcess> PortScannerService::readListeners(const CommandResult &result, qint64 port) {
    QList<PortProcess> records;
    QSet<pid_t> seen;
    bool heading = true;
    forEachLine(result.standardOutput, [&](QStringView line) {
        if (heading) {
            heading = false;
            return;
        }
        if (std::optional<PortProcess> record = parseListenerLine(line, port, seen)) {
            seen.insert(record->pid);
            records.append(std::move(*record));
        }
    });
    if (!records.isEmpty() || result.exitCode == 0)
        return records;
    const QString message = result.standardError.trimmed();
    if (message.isEmpty())
        return records;
    throw PortScannerError::failed(message);
}

QCoro::Task<PortListing> PortScannerService::findListeners(qint64 port,
                                                           std::stop_token stop) const {
    // Copies: the service may be gone (its window closed) by the time lsof answers.
    const RunStoppableCommand run = m_run;
    const FindHiddenListener findHiddenListener = m_findHiddenListener;
    const QStringList arguments = lsofArguments(port);

    auto scan = run(locateLsof(), arguments, stop);
    const CommandResult result = co_await scan;
    if (stop.stop_requested())
        co_return {};
    auto reading = recordsFrom(result, port);
    // Awaited on a line of its own: g++ 12 mishandles a co_await inside a braced initializer.
    QList<PortProcess> records = co_await reading;
    PortListing listing{std::move(records), std::nullopt};
    if (listing.processes.isEmpty() && findHiddenListener) {
        // lsof lists only what we may inspect; another user's server must not look like a free
        // port.
        auto lookup = findHiddenListener(port);
        QList<KernelListener> hidden = co_await lookup;
        if (!hidden.isEmpty())
            listing.hidden = HiddenListener{std::move(hidden), port};
    }
    co_return listing;
}

QCoro::Task<QList<PortProcess>> PortScannerService::recordsFrom(CommandResult result, qint64 port) {
    // However long the output, reading it and then /proc must not hold up the caller's (the GUI)
    // thread. One trip there and back: each is a turn of that thread's event loop.
    using Read = std::variant<QList<PortProcess>, PortScannerError>;
    auto reading = QtConcurrent::run([result = std::move(result), port]() -> Read {
        try {
            QList<PortProcess> records = readListeners(result, port);
            for (PortProcess &record : records) {
                record.identity = ProcessIdentity::read(record.pid);
                SocketUnits::describe(record);
            }
            return records;
        } catch (const PortScannerError &error) {
            return error;
        }
    });
    Read read = co_await reading;
    if (const auto *error = std::get_if<PortScannerError>(&read))
        throw *error;
    co_return std::get<QList<PortProcess>>(std::move(read));
}
