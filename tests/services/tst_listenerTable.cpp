#include "listenerGroup.h"
#include "listenerTable.h"

#include <QtTest>
#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

std::optional<PortListeners> rowOf(const QList<PortListeners> &table, quint16 port) {
    for (const PortListeners &row : table)
        if (row.port == port)
            return row;
    return std::nullopt;
}

QList<pid_t> pids(const PortListeners &row) {
    QList<pid_t> found;
    for (const ListenerHolder &holder : row.holders)
        found << holder.pid;
    return found;
}

// Runs `body(out)` in a child turned into `user`; what it writes to `out` until it closes it.
template <typename Body> std::pair<pid_t, QByteArray> asUser(const passwd &user, Body body) {
    int out[2];
    if (::pipe(out) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        if (::setgid(user.pw_gid) != 0 || ::setuid(user.pw_uid) != 0)
            ::_exit(1);
        // Both after setuid, which clears them: a process the user started is theirs to inspect.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::prctl(PR_SET_DUMPABLE, 1);
        body(out[1]);
        ::_exit(0);
    }
    ::close(out[1]);
    QByteArray written;
    char buffer[256];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        written.append(buffer, n);
    ::close(out[0]);
    return {child, written};
}

// What a row shows of its holders and the owners of sockets no holder was found for.
QByteArray looks(const std::optional<PortListeners> &row) {
    if (!row)
        return "none";
    QStringList users;
    for (const ListenerHolder &holder : row->holders)
        users << holder.user;
    return (users.join(u',') + u'/' + row->hiddenOwners.join(u',')).toUtf8();
}

} // namespace

// The kernel's real listening sockets, of real processes of this user and another's.
class TestListenerTable : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }

    void ownListenersAreNamedWithTheirHolders() {
        std::optional<QList<PortListeners>> table;
        quint16 v4Port = 0;
        {
            const ListenerGroup v4(2);
            const ListenerGroup v6(1, true);
            QVERIFY(v4.isListening() && v6.isListening());
            v4Port = v4.port();
            table = ListenerTable::readBlocking();
            QVERIFY(table);
            const auto row = rowOf(*table, v4.port());
            QVERIFY(row);
            QCOMPARE(row->addresses, QStringList{u"127.0.0.1"_s});
            QCOMPARE(pids(*row), v4.children());
            QCOMPARE(row->holders.at(1).name, u"listener2"_s);
            QCOMPARE(row->holders.at(1).user,
                     QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name));
            QVERIFY(row->hiddenOwners.isEmpty());
            const auto row6 = rowOf(*table, v6.port());
            QVERIFY(row6);
            QCOMPARE(row6->addresses, QStringList{u"*"_s});
            QCOMPARE(pids(*row6), v6.children());
            QVERIFY(std::is_sorted(table->begin(), table->end(),
                                   [](const auto &a, const auto &b) { return a.port < b.port; }));
        }
        // Read afresh: a listener that has gone is gone from the list.
        table = ListenerTable::readBlocking();
        QVERIFY(table && !rowOf(*table, v4Port));
    }

    // As root every process may be inspected; as nobody, root's listener shows its owner alone.
    void anotherUsersListenerShowsItsOwnerOnly() {
        if (::geteuid() != 0)
            QSKIP("needs root, to be another user");
        const passwd *found = ::getpwnam("nobody");
        QVERIFY(found);
        const passwd nobody = *found;
        const ListenerGroup rootListener(1);
        const auto [listener, portText] = asUser(nobody, [](int out) {
            const ListenerGroup nobodys(1); // forked by nobody, so nobody's
            const QByteArray port = QByteArray::number(nobodys.port());
            if (::write(out, port.constData(), size_t(port.size())) > 0 && ::close(out) == 0)
                ::pause();
        });
        const quint16 nobodyPort = quint16(portText.toUInt());
        QVERIFY(rootListener.isListening() && nobodyPort > 0);
        const auto asRoot = ListenerTable::readBlocking();
        const auto [reader, seen] = asUser(nobody, [&](int out) {
            const auto table = ListenerTable::readBlocking();
            const QByteArray text = looks(rowOf(table.value(), rootListener.port())) + ' ' +
                                    looks(rowOf(table.value(), nobodyPort));
            if (::write(out, text.constData(), size_t(text.size())) < 0)
                ::_exit(1);
        });
        ::kill(listener, SIGKILL);
        ::waitpid(listener, nullptr, 0);
        ::waitpid(reader, nullptr, 0);
        QVERIFY(asRoot);
        QCOMPARE(looks(rowOf(*asRoot, rootListener.port())), "root/");
        QCOMPARE(looks(rowOf(*asRoot, nobodyPort)), "nobody/");
        QCOMPARE(seen, "/root nobody/");
    }
};

QTEST_GUILESS_MAIN(TestListenerTable)
#include "tst_listenerTable.moc"
