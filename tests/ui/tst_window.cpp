#include "listenerGroup.h"
#include "uiTestSupport.h"

#include <QAccessible>
#include <QClipboard>
#include <QProcess>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

using namespace Qt::StringLiterals;

// One real window of the program, offscreen, driven by real scans of real listeners and real
// kills, and read as a user reads it.
class WindowTest : public ProgramWindowTest {
    Q_OBJECT

    bool scan(quint16 port) {
        m_state->setPortText(QString::number(port));
        m_state->startScan();
        return QTest::qWaitFor(
            [this, port] { return m_state->canScan() && m_state->lastScannedPort() == port; },
            10000);
    }

    // The badge, the Scan button and the results placeholder, as they look right now.
    QStringList looks() {
        return {child(item("statusBadge"), "statusBadgeLabel")->property("text").toString(),
                text("scanButtonLabel"), item("scanButton")->isEnabled() ? "enabled" : "disabled",
                item("placeholderArea")->isVisible() ? text("emptyStateTitle") : "cards"};
    }

    // Open, with its buttons laid out side by side.
    bool alertShown() {
        return m_window->findChild<QObject *>(u"killConfirmation"_s)->property("opened").toBool() &&
               !sceneRect(item("alertDestructive")).intersects(sceneRect(item("alertCancel")));
    }

    void click(QQuickItem *target) {
        QTest::mouseClick(m_window, Qt::LeftButton, {}, sceneRect(target).center().toPoint());
    }

private slots:
    void statusShowsInBadgeButtonAndPlaceholder() {
        const QString prompt = u"Enter a port to inspect what is listening."_s;
        QCOMPARE(looks(), QStringList({"READY", "Scan", "enabled", prompt}));
        QStringList whileScanning;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (m_state->status() == ScanStatus::scanning)
                whileScanning = looks();
        });
        const quint16 freePort = ListenerGroup(1).port();
        QVERIFY(scan(freePort));
        QCOMPARE(whileScanning, QStringList({"SCANNING", "Scanning", "disabled", prompt}));
        QCOMPARE(looks(), QStringList({"AVAILABLE", "Scan", "enabled", "Port available"}));
        ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        QCOMPARE(looks(), QStringList({"IN USE", "Scan", "enabled", "cards"}));
        m_state->setPortText(u"80a"_s);
        m_state->startScan();
        QCOMPARE(looks(), QStringList({"ERROR", "Scan", "enabled", "Scan needs attention"}));
        QCOMPARE(text("statusLine"), u"Port must be numeric."_s);
    }

    // The first press on an empty field shows why; the taller column keeps everything inside.
    void validationRowShowsAndTheWindowStillFits() {
        QVERIFY(!item("validationMessage")->isVisible());
        click(item("scanButton"));
        QTRY_VERIFY(item("validationMessage")->isVisible());
        QCOMPARE(text("validationMessage"), u"Enter a TCP port number."_s);
        QTRY_COMPARE(sceneRect(item("resultsPanel")).height(),
                     sceneRect(item("leftColumn")).height());
        QVERIFY(sceneRect(item("footer")).bottom() <= m_window->height());
        item("portField")->forceActiveFocus();
        QTest::keyClick(m_window, Qt::Key_8);
        QTRY_VERIFY(!item("validationMessage")->isVisible());
        QCOMPARE(m_state->statusMessage(), u"Ready to scan."_s);
    }

    // Return in the field is not gated by the disabled Scan button.
    void returnScansWhileTheButtonIsDisabled() {
        const quint16 port = ListenerGroup(1).port();
        item("portField")->forceActiveFocus();
        bool buttonWasEnabled = true;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (m_state->status() == ScanStatus::scanning && buttonWasEnabled) {
                buttonWasEnabled = item("scanButton")->isEnabled();
                QTest::keyClick(m_window, Qt::Key_Return);
            }
        });
        QVERIFY(scan(port));
        const QString scanned = u"Scanned port %1"_s.arg(port);
        QTRY_COMPARE(std::count_if(m_state->activityEntries().cbegin(),
                                   m_state->activityEntries().cend(),
                                   [&](const ActivityEntry &e) { return e.message == scanned; }),
                     2);
        QVERIFY(!buttonWasEnabled);
    }

    void cardsListEachListenerAndOnlyTheKilledOneIsBusy() {
        ListenerGroup shared(3); // they ignore SIGTERM, so all stay listed after a kill
        QVERIFY(shared.isListening());
        QVERIFY(scan(shared.port()));
        const QList<QQuickItem *> cards = items("processCard");
        QCOMPARE(cards.size(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(child(child(cards[i], "pidValue"), "detailValueText")->property("text"),
                     QString::number(shared.children().at(i)));

        QList<QStringList> busy;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (m_state->activeKillPID() && busy.isEmpty())
                for (QQuickItem *card : items("processCard"))
                    busy.append({child(card, "progressLine")->isVisible() ? "busy" : "quiet",
                                 child(card, "killButton")->isEnabled() ? "kill" : "-",
                                 child(card, "forceKillButton")->isEnabled() ? "force" : "-"});
        });
        click(child(cards[1], "killButton"));
        QTRY_VERIFY(alertShown());
        click(item("alertDestructive"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_state->activeKillPID() && m_state->canScan(), 10000);
        QCOMPARE(busy,
                 QList<QStringList>(
                     {{"quiet", "kill", "force"}, {"busy", "-", "-"}, {"quiet", "kill", "force"}}));
        QCOMPARE(items("processCard").size(), 3);
    }

    // The alert's texts and its confirmation are proven end to end; here, the ways out.
    void cancelAndEscapeLeaveTheProcessAlone() {
        QProcess victim;
        victim.start(u"/bin/sleep"_s, {u"30"_s});
        QVERIFY(victim.waitForStarted());
        const PortProcess process{u"sleep"_s, pid_t(victim.processId()), u"dev"_s, {}, {}, 3000};
        const QString status = m_state->statusMessage();
        for (const bool escape : {false, true}) {
            m_state->requestKill(process, escape);
            QTRY_VERIFY(alertShown());
            if (escape)
                QTest::keyClick(m_window, Qt::Key_Escape);
            else
                click(item("alertCancel"));
            QTRY_VERIFY(!alertShown());
            QVERIFY(!m_state->pendingKill());
        }
        QTest::qWait(100);
        QCOMPARE(m_state->activityEntries().size(), 1);
        QCOMPARE(m_state->statusMessage(), status);
        QCOMPARE(victim.state(), QProcess::Running);
        victim.kill();
        victim.waitForFinished();
    }

    void activityShowsTheNewestEightWithTheirTimes() {
        for (int i = 1; i <= 9; ++i)
            m_state->appendActivity(u"line %1"_s.arg(i));
        const QList<QQuickItem *> rows = items("activityRow");
        QCOMPARE(rows.size(), 8);
        QCOMPARE(child(rows.first(), "activityMessage")->property("text"), u"line 9"_s);
        QCOMPARE(child(rows.last(), "activityMessage")->property("text"), u"line 2"_s);
        QCOMPARE(child(rows.first(), "activityTime")->property("text"),
                 activityTimeFormatter().string(m_state->activityEntries().first().date));
    }

    // Everything already on screen stays where it was when the line under the field shows.
    void nothingMovesWhenTheValidationLineShows() {
        const char *names[] = {"header", "portInputPanel", "activityPanel", "resultsPanel",
                               "footer"};
        QList<QRectF> before;
        for (const char *name : names)
            before.append(sceneRect(item(name)));
        m_state->startScan();
        QTRY_VERIFY(item("validationMessage")->isVisible());
        QTest::qWait(200); // the new line is laid out, the results panel re-pinned
        for (const char *name : names)
            QCOMPARE(sceneRect(item(name)), before.takeFirst());
    }

    void focusRingShowsForTheKeyboardOnly_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("clickable");
        for (const char *name : {"portField", "scanButton", "killButton", "forceKillButton"})
            QTest::newRow(name) << QByteArray(name) << true;
        for (const char *name : {"creditLink", "closeButton"}) // a click would leave the window
            QTest::newRow(name) << QByteArray(name) << false;
    }
    void focusRingShowsForTheKeyboardOnly() {
        QFETCH(QByteArray, name);
        QFETCH(bool, clickable);
        ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        QQuickItem *control = item(name);
        QQuickItem *ring = child(control, "focusRing");
        if (clickable) { // released away from it, so a kill button asks nothing
            QTest::mousePress(m_window, Qt::LeftButton, {}, sceneRect(control).center().toPoint());
            QTest::mouseRelease(m_window, Qt::LeftButton, {}, {1, 1});
            QTRY_VERIFY(control->hasActiveFocus());
            QVERIFY(!ring->isVisible());
        }
        int presses = 0;
        do
            QTest::keyClick(m_window, Qt::Key_Tab);
        while (!control->hasActiveFocus() && ++presses < 40);
        QVERIFY(ring->isVisible());
    }

    // A cut text is cut only after it shrank and tightened, and can still be read and copied whole.
    void cutTextsStayReadableInFull() {
        ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        QQuickItem *status = item("statusLine");
        if (status->property("truncated").toBool()) {
            QCOMPARE_LT(status->property("font").value<QFont>().letterSpacing(), 0);
            QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Description),
                     m_state->statusMessage());
        }
        QQuickItem *output = item("outputValue");
        const QString whole = m_state->processes().first().rawOutput;
        QCOMPARE(QAccessible::queryAccessibleInterface(output)->text(QAccessible::Name), whole);
        click(output);
        QTest::keyClick(m_window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    }

    void eachWindowHasItsOwnState() {
        QQuickWindow *second = m_windows->openWindow();
        QVERIFY(second);
        auto *other = child(second->contentItem(), "contentView")
                          ->property("inspector")
                          .value<InspectorState *>();
        QVERIFY(other && other != m_state);
        m_state->setPortText(u"3000"_s);
        QCOMPARE(other->portText(), QString());
        second->close();
        QTRY_COMPARE(m_windows->count(), 1);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
