#include "listenerGroup.h"
#include "textExcerpt.h"
#include "uiTestSupport.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

// The window under presses from a screen reader, many listeners and megabytes from the tools:
// real listeners, the real lsof and the real /bin/kill.
class RobustViewsTest : public ProgramWindowTest {
    Q_OBJECT

    // As a screen reader presses: through the accessibility interface.
    static void press(QQuickItem *button) {
        QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
    }
    bool scan(quint16 port) {
        m_state->setPortText(QString::number(port));
        m_state->startScan();
        return QTest::qWaitFor([&] { return m_state->canScan() && m_state->processes().size(); });
    }

private slots:
    void disabledButtonsRefuseAccessiblePresses() {
        ListenerGroup listeners(2); // they ignore SIGTERM: a kill leaves them listed
        QStringList log;            // every activity line: the window keeps only the newest 8
        connect(m_state, &InspectorState::activityEntriesChanged, this,
                [&] { log.append(m_state->activityEntries().constFirst().message); });
        connect(m_state, &InspectorState::canScanChanged, this, [this] {
            if (m_state->statusName() == QStringLiteral("scanning"))
                press(item("scanButton"));
        });
        QVERIFY(listeners.isListening() && scan(listeners.port()));
        const QString scanned = QStringLiteral("Scanned port %1").arg(listeners.port());
        QCOMPARE(log.count(scanned), 1);

        const PortProcess first = m_state->processes().at(0), second = m_state->processes().at(1);
        QQuickItem *card = item("processCard");
        QSignalSpy firstKills(card, SIGNAL(killAction()));
        press(child(card, "killButton"));
        // While that kill runs, its card refuses presses, and the state a second kill of that PID
        // by any route; another card's kill goes ahead.
        bool refused = false;
        connect(m_state, &InspectorState::activeKillPIDChanged, this, [&] {
            if (m_state->activeKillPID() != first.pid || m_state->pendingKill())
                return;
            press(child(card, "killButton"));
            m_state->requestKill(first, true);
            refused = !m_state->pendingKill();
            m_state->confirmKill({QUuid::createUuid(), first, true});
            m_state->requestKill(second, false);
            m_state->confirmPendingKill();
        });
        press(item("alertDestructive"));
        QTRY_VERIFY_WITH_TIMEOUT(m_state->canScan() && log.count(scanned) == 3, 10000);
        QVERIFY(refused && firstKills.count() == 1);
        QCOMPARE(log.filter(QStringLiteral("Killed PID ")).size(), 2);
    }

    // Only the cards in sight are built, in the order they scroll into sight; Tab still goes
    // through them in list order and brings each one into sight.
    void tabWalksTheCardsInOrder() {
        ListenerGroup listeners(8);
        QVERIFY(listeners.isListening() && scan(listeners.port()));
        QQuickItem *list = item("cardScroll");
        auto *built = list->property("contentItem").value<QQuickItem *>();
        for (qreal y = list->property("contentHeight").toReal(); y > 700; y -= 100) {
            list->setProperty("contentY", y - list->height()); // as a flick up would
            QTest::qWait(20);
        }
        const auto indexOf = [built](QQuickItem *item) {
            while (item && item->parentItem() != built)
                item = item->parentItem();
            return item ? item->property("index").toInt() : -1;
        };
        for (QQuickItem *card : built->childItems())
            if (indexOf(card) == 3)
                child(card, "killButton")->forceActiveFocus();
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(m_window, Qt::Key_Tab);
            QCOMPARE(indexOf(m_window->activeFocusItem()), (i + 7) / 2);
            QVERIFY(sceneRect(list).contains(sceneRect(m_window->activeFocusItem())));
        }
    }

    void longStatusIsCutAndReadableWhole() {
        // What lsof prints when it refuses its arguments: longer than the line, short enough to
        // be read whole.
        const QString complaint =
            CommandRunner::runBlocking(PortScannerService::lsofPath,
                                       {QStringLiteral("-iTCP:nonsense")}, nullptr)
                .standardError;
        InspectorState state(
            PortScannerService(
                [complaint](const QString &, const QStringList &) -> QCoro::Task<CommandResult> {
                    co_return CommandResult{{}, complaint, 1};
                },
                {}),
            ProcessKillerService());
        QQmlComponent component(&m_engine);
        component.setData("import Quaymeter\nPortInputPanel {}",
                          QUrl(QStringLiteral("qrc:/P.qml")));
        std::unique_ptr<QObject> panel(
            component.createWithInitialProperties({{"inspector", QVariant::fromValue(&state)}}));
        auto *view = qobject_cast<QQuickItem *>(panel.get());
        QQuickWindow window;
        view->setParentItem(window.contentItem());
        window.resize(306, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        state.scanPort(3000); // lsof answers at once

        QQuickItem *line = child(view, "statusLine");
        QVERIFY(line->property("text").toString().size() <= TextExcerpt::lineLimit + 1);
        QVERIFY(line->property("truncated").toBool());
        const auto whole =
            QAccessible::queryAccessibleInterface(line)->text(QAccessible::Description);
        QCOMPARE(whole, state.statusMessage());
        QTest::mouseMove(&window, sceneRect(line).center().toPoint());
        QObject *tip = line->findChild<QObject *>(QStringLiteral("statusToolTip"));
        QTRY_VERIFY(tip->property("visible").toBool());
        QCOMPARE(tip->property("text").toString(), whole);
    }
};

QTEST_MAIN(RobustViewsTest)
#include "tst_robustViews.moc"
