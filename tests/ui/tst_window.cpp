#include "inspectorState.h"
#include "listenerGroup.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QAccessible>
#include <QClipboard>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

using namespace Qt::StringLiterals;

// Every item of that name in the visual tree (delegates have no QObject parent), in tree order.
static QList<QQuickItem *> findItems(QQuickItem *root, const QString &name) {
    QList<QQuickItem *> found;
    for (QQuickItem *item : root->childItems()) {
        if (item->objectName() == name)
            found.append(item);
        found += findItems(item, name);
    }
    return found;
}

static QQuickItem *child(QQuickItem *root, const char *name) {
    return findItems(root, QString::fromLatin1(name)).value(0);
}

static QRectF sceneRect(const QQuickItem *item) {
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// Real windows of the program, opened offscreen the way the program opens them, driven by real
// scans of real listeners and real kills, and read as a user reads them. Every test starts from a
// fresh window and fails on any Qt warning.
class WindowTest : public QObject {
    Q_OBJECT

    QQmlEngine m_engine;
    WindowGroup *m_windows = nullptr;
    QQuickWindow *m_window = nullptr;
    InspectorState *m_state = nullptr;

    QQuickItem *item(const char *name) { return child(m_window->contentItem(), name); }
    QList<QQuickItem *> items(const char *name) {
        return findItems(m_window->contentItem(), QString::fromLatin1(name));
    }
    QString text(const char *name) { return item(name)->property("text").toString(); }

    // Scans and waits until the outcome has been drawn: what a user could then click is in place.
    bool scan(quint16 port) {
        m_state->setPortText(QString::number(port));
        m_state->startScan();
        const bool done = QTest::qWaitFor(
            [this, port] { return m_state->canScan() && m_state->lastScannedPort() == port; },
            10000);
        QSignalSpy drawn(m_window, &QQuickWindow::frameSwapped);
        m_window->update();
        return done && drawn.wait(10000);
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

    // As a screen reader presses: through the accessibility interface.
    static void press(QQuickItem *button) {
        QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
            QAccessibleActionInterface::pressAction());
    }

    void click(QQuickItem *target) {
        QTest::mouseClick(m_window, Qt::LeftButton, {}, sceneRect(target).center().toPoint());
    }

private slots:
    void initTestCase() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
        const QQmlComponent module(&m_engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
        QVERIFY2(!module.isError(), qPrintable(module.errorString()));
        m_windows =
            m_engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
        QVERIFY(m_windows);
    }

    void init() {
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        m_window = m_windows->openWindow();
        QVERIFY(m_window && QTest::qWaitForWindowExposed(m_window));
        m_state = item("contentView")->property("inspector").value<InspectorState *>();
        QVERIFY(m_state);
    }

    void cleanup() {
        if (m_window)
            m_window->close();
        QTRY_COMPARE(m_windows->count(), 0);
    }

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

    // The alert's texts and its confirmation are proven end to end; here, the ways out.
    void cancelAndEscapeLeaveTheProcessAlone() {
        const ListenerGroup victim(1);
        const PortProcess process{u"listener1"_s, victim.children().first(), {}, {}, {}, 3000};
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
    }

    // The first press on an empty field says why, and nothing already on screen moves for it.
    void validationLineShowsAndNothingMoves() {
        const char *names[] = {"header", "portInputPanel", "activityPanel", "resultsPanel",
                               "footer"};
        QList<QRectF> before;
        for (const char *name : names)
            before.append(sceneRect(item(name)));
        QVERIFY(!item("validationMessage")->isVisible());
        click(item("scanButton"));
        QTRY_VERIFY(item("validationMessage")->isVisible());
        QCOMPARE(text("validationMessage"), u"Enter a TCP port number."_s);
        QTest::qWait(200); // the new line is laid out, the results panel re-pinned
        for (const char *name : names)
            QCOMPARE(sceneRect(item(name)), before.takeFirst());
        QCOMPARE(sceneRect(item("resultsPanel")).height(), sceneRect(item("leftColumn")).height());
        QVERIFY(sceneRect(item("footer")).bottom() <= m_window->height());
        item("portField")->forceActiveFocus();
        QTest::keyClick(m_window, Qt::Key_8);
        QTRY_VERIFY(!item("validationMessage")->isVisible());
        QCOMPARE(m_state->statusMessage(), u"Ready to scan."_s);
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

    // A cut detail value can still be read and copied whole.
    void cutDetailValueStaysReadableInFull() {
        ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        QQuickItem *output = item("outputValue");
        const QString whole = m_state->processes().first().rawOutput;
        QCOMPARE(QAccessible::queryAccessibleInterface(output)->text(QAccessible::Name), whole);
        click(output);
        QTest::keyClick(m_window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), whole);
    }

    void disabledButtonsRefuseAccessiblePresses() {
        ListenerGroup listeners(2); // they ignore SIGTERM: a kill leaves them listed
        QStringList log;            // every activity line: the window keeps only the newest 8
        connect(m_state, &InspectorState::activityEntriesChanged, this,
                [&] { log.append(m_state->activityEntries().constFirst().message); });
        // While a scan runs, a press on Scan does nothing, but Return in the field scans.
        bool pressed = false;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (pressed || m_state->status() != ScanStatus::scanning)
                return;
            pressed = true;
            press(item("scanButton"));
            item("portField")->forceActiveFocus();
            QTest::keyClick(m_window, Qt::Key_Return);
        });
        QVERIFY(scan(listeners.port()));
        const QString scanned = QStringLiteral("Scanned port %1").arg(listeners.port());
        QTRY_COMPARE(log.filter(u"Found "_s).size(), 2);
        QCOMPARE(log.count(scanned), 2);

        // While a card's kill runs, that card is busy and refuses presses; the other card is not.
        QQuickItem *card = item("processCard");
        QSignalSpy kills(card, SIGNAL(killAction()));
        press(child(card, "killButton"));
        QStringList cards;
        connect(m_state, &InspectorState::activeKillPIDChanged, this, [&] {
            if (!m_state->activeKillPID() || !cards.isEmpty())
                return;
            for (QQuickItem *each : items("processCard"))
                cards << (child(each, "progressLine")->isVisible() ? u"busy"_s : u"quiet"_s) +
                             (child(each, "killButton")->isEnabled() ? u", kill"_s : u""_s);
            press(child(card, "killButton"));
        });
        press(item("alertDestructive"));
        QTRY_VERIFY_WITH_TIMEOUT(m_state->canScan() && log.count(scanned) == 3, 10000);
        QCOMPARE(kills.count(), 1);
        QCOMPARE(cards, (QStringList{u"busy"_s, u"quiet, kill"_s}));
        // The first survived TERM: its card says so and hands the keyboard to Force Kill.
        const QList<QQuickItem *> after = items("processCard");
        QTRY_VERIFY(child(after.at(0), "forceKillButton")->hasActiveFocus());
        QVERIFY(child(after.at(0), "survivedTermLine")->isVisible());
        QVERIFY(!child(after.at(1), "survivedTermLine")->isVisible());
    }

    // Each listener has its card, in lsof's order. Only the cards in sight are built, in the order
    // they scroll into sight; Tab still goes through them in list order and brings each into sight.
    void tabWalksTheCardsInOrder() {
        ListenerGroup listeners(8);
        QVERIFY(scan(listeners.port()));
        QQuickItem *list = item("cardScroll");
        auto *built = list->property("contentItem").value<QQuickItem *>();
        for (qreal y = list->property("contentHeight").toReal(); y > 700; y -= 100) {
            list->setProperty("contentY", y - list->height()); // as a flick up would
            QTest::qWait(20);
        }
        const auto cardOf = [built](QQuickItem *item) {
            while (item && item->parentItem() != built)
                item = item->parentItem();
            return item;
        };
        for (QQuickItem *card : built->childItems())
            if (card->property("index").toInt() == 3)
                child(card, "killButton")->forceActiveFocus();
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(m_window, Qt::Key_Tab);
            QQuickItem *card = cardOf(m_window->activeFocusItem());
            QCOMPARE(card->property("index").toInt(), (i + 7) / 2);
            QCOMPARE(child(child(card, "pidValue"), "detailValueText")->property("text"),
                     QString::number(listeners.children().at((i + 7) / 2)));
            QVERIFY(sceneRect(list).contains(sceneRect(m_window->activeFocusItem())));
        }
    }

    // A long status is cut only after it shrank and tightened, and is readable whole.
    void longStatusIsCutAndReadableWhole() {
        const PortProcess impossible{u"x"_s, std::numeric_limits<pid_t>::min(), {}, {}, {}, 3000};
        m_state->confirmKill({QUuid::createUuid(), impossible, false});
        QTRY_COMPARE(m_state->status(), ScanStatus::error);
        QQuickItem *line = item("statusLine");
        QVERIFY(line->property("truncated").toBool());
        QCOMPARE_LT(line->property("font").value<QFont>().letterSpacing(), 0); // tightened first
        const auto whole =
            QAccessible::queryAccessibleInterface(line)->text(QAccessible::Description);
        QCOMPARE(whole, m_state->statusMessage());
        QTest::mouseMove(m_window, sceneRect(line).center().toPoint());
        QObject *tip = line->findChild<QObject *>(u"statusToolTip"_s);
        QTRY_VERIFY(tip->property("visible").toBool());
        QCOMPARE(tip->property("text").toString(), whole);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
