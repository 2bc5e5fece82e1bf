#include "uiTestSupport.h"

#include <QProcess>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

// One real window of the program, opened offscreen the way the program opens it.
class ContentViewTest : public ProgramWindowTest {
    Q_OBJECT

    QObject *dialog() { return m_window->findChild<QObject *>(QStringLiteral("killConfirmation")); }
    // Open, with its buttons laid out side by side.
    bool alertShown() {
        return dialog()->property("opened").toBool() &&
               !sceneRect(item("alertDestructive")).intersects(sceneRect(item("alertCancel")));
    }

    static PortProcess listener(pid_t pid) {
        PortProcess process;
        process.commandName = QStringLiteral("sleep");
        process.pid = pid;
        process.user = QStringLiteral("dev");
        process.commandDetails = QStringLiteral("TCP *:3000 (LISTEN)");
        process.rawOutput = QStringLiteral("sleep 1 dev 3u IPv4 1 0t0 TCP *:3000 (LISTEN)");
        process.port = 3000;
        return process;
    }

    void click(const char *name) {
        QQuickItem *target = item(name);
        QVERIFY(target);
        QTest::mouseClick(m_window, Qt::LeftButton, {}, sceneRect(target).center().toPoint());
    }

private slots:
    void windowIsFixedFramelessAndDark() {
        QCOMPARE(m_window->size(), QSize(850, 540));
        QCOMPARE(m_window->minimumSize(), QSize(850, 540));
        QCOMPARE(m_window->maximumSize(), QSize(850, 540));
        QVERIFY(m_window->flags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(m_window->color().lightnessF() < 0.1);
        QCOMPARE(sceneRect(item("closeButton")).topLeft(), QPointF(14, 14));
        QVERIFY(sceneRect(item("minimizeButton")).left() > sceneRect(item("closeButton")).right());
    }

    void columnsKeepTheirWidthsAndHeights() {
        const QRectF content = sceneRect(item("contentColumn"));
        QCOMPARE(content.left(), 22.0);
        QCOMPARE(content.top(), 42.0);
        QCOMPARE(content.width(), 806.0);
        const QRectF left = sceneRect(item("leftColumn"));
        const QRectF results = sceneRect(item("resultsPanel"));
        QCOMPARE(left.width(), 306.0);
        QCOMPARE(results.width(), 486.0);
        QCOMPARE(results.left(), left.right() + 14);
        QCOMPARE(results.top(), left.top());
        QTRY_COMPARE(m_state->leftColumnHeight(), left.height());
        QTRY_COMPARE(sceneRect(item("resultsPanel")).height(), left.height());
        QCOMPARE(sceneRect(item("activityPanel")).height(), 190.0);
        // Everything fits inside the window, footer included.
        QVERIFY(sceneRect(item("footer")).bottom() <= 540 - 10);
        QCOMPARE(sceneRect(item("creditLink")).right(), content.right());
    }

    void headerHoldsLogoTaglineTitleAndBadge() {
        QCOMPARE(sceneRect(item("appLogo")).size(), QSizeF(208, 58));
        QCOMPARE(item("tagLine")->property("text").toString(),
                 QStringLiteral("Find it. Kill it. Free the port."));
        QCOMPARE(item("windowTitle")->property("text").toString(),
                 QStringLiteral("TCP LISTENER INSPECTOR"));
        QCOMPARE(child(item("statusBadge"), "statusBadgeLabel")->property("text").toString(),
                 QStringLiteral("READY"));
        const qreal trailing = sceneRect(item("contentColumn")).right();
        QCOMPARE(sceneRect(item("windowTitle")).right(), trailing);
        QCOMPARE(sceneRect(item("statusBadge")).right(), trailing);
        QCOMPARE(item("creditText")->property("text").toString(),
                 QStringLiteral("Provided by Brennick Research and Development"));
        QCOMPARE(item("footerLogo")->size(), QSizeF(18, 18));
        QCOMPARE(item("footerLogo")->property("status").toInt(), 1); // Image.Ready
    }

    void heightsAreRecordedOnlyWhenTheyMove() {
        const double start = m_state->leftColumnHeight();
        QVERIFY(start > 0);
        m_state->recordLeftColumnHeight(0);
        m_state->recordLeftColumnHeight(-20);
        QCOMPARE(m_state->leftColumnHeight(), start);
        m_state->recordLeftColumnHeight(start + 0.5);
        QCOMPARE(m_state->leftColumnHeight(), start);
        m_state->recordLeftColumnHeight(start + 0.51);
        QCOMPARE(m_state->leftColumnHeight(), start + 0.51);
        QTRY_COMPARE(sceneRect(item("resultsPanel")).height(), start + 0.51);
    }

    void portTextEditsRunTheReaction() {
        QCOMPARE(m_state->statusMessage(),
                 QStringLiteral("Enter a port to inspect what is listening."));
        m_state->setPortText(QStringLiteral("abc"));
        m_state->startScan();
        QCOMPARE(m_state->statusName(), QStringLiteral("error"));
        m_state->setPortText(QStringLiteral("8080"));
        QCOMPARE(m_state->statusName(), QStringLiteral("idle"));
    }

    void cancellingTheAlertChangesNothing() {
        QVERIFY(!alertShown());
        m_state->requestKill(listener(4242), false);
        QTRY_VERIFY(alertShown());
        QCOMPARE(item("alertTitle")->property("text").toString(), QStringLiteral("Kill process?"));
        QCOMPARE(item("alertMessage")->property("text").toString(),
                 QStringLiteral("Quaymeter will send kill to sleep PID 4242 on port 3000."));
        QCOMPARE(item("alertDestructive")->property("text").toString(),
                 QStringLiteral("Kill Process"));

        const QString status = m_state->statusName();
        const QString message = m_state->statusMessage();
        const auto log = m_state->activityEntries().size();
        click("alertCancel");
        QTRY_VERIFY(!alertShown());
        QVERIFY(!m_state->pendingKill());
        QCOMPARE(m_state->statusName(), status);
        QCOMPARE(m_state->statusMessage(), message);
        QCOMPARE(m_state->activityEntries().size(), log);

        m_state->requestKill(listener(4242), true);
        QTRY_VERIFY(alertShown());
        QCOMPARE(item("alertTitle")->property("text").toString(),
                 QStringLiteral("Force kill process?"));
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_VERIFY(!alertShown());
        QVERIFY(!m_state->pendingKill());
        QCOMPARE(m_state->activityEntries().size(), log);
    }

    void confirmingTheAlertKills() {
        QProcess victim;
        victim.start(QStringLiteral("/bin/sleep"), {QStringLiteral("30")});
        QVERIFY(victim.waitForStarted());
        m_state->requestKill(listener(pid_t(victim.processId())), false);
        QTRY_VERIFY(alertShown());
        click("alertDestructive");
        QTRY_VERIFY(!alertShown());
        QVERIFY(!m_state->pendingKill());
        QTRY_COMPARE_WITH_TIMEOUT(victim.state(), QProcess::NotRunning, 10000);
        QCOMPARE(victim.exitStatus(), QProcess::CrashExit);
    }

    void eachWindowHasItsOwnState() {
        QQuickWindow *second = m_windows->openWindow();
        QVERIFY(second);
        QCOMPARE(m_windows->count(), 2);
        auto *other = child(second, "contentView")->property("inspector").value<InspectorState *>();
        QVERIFY(other && other != m_state);
        m_state->setPortText(QStringLiteral("3000"));
        QCOMPARE(other->portText(), QString());
        second->close();
        QTRY_COMPARE(m_windows->count(), 1);
    }
};

QTEST_MAIN(ContentViewTest)
#include "tst_contentView.moc"
