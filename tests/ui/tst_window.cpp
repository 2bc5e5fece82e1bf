#include "activityLines.h"
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
#include <csignal>
#include <pwd.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

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

    // What a user sees: the cards the list keeps hidden for a later scan do not count.
    QList<QQuickItem *> items(const char *name) {
        QList<QQuickItem *> found = findItems(m_window->contentItem(), QString::fromLatin1(name));
        const QList<QQuickItem *> all = found;
        found.removeIf([](const QQuickItem *each) { return !each->isVisible(); });
        std::sort(found.begin(), found.end(), [](const QQuickItem *a, const QQuickItem *b) {
            return sceneRect(a).y() < sceneRect(b).y();
        });
        return found.isEmpty() ? all : found;
    }
    QQuickItem *item(const char *name) { return items(name).value(0); }
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
        m_window->requestActivate(); // on a real display, the keyboard goes to the active window
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        m_state = item("contentView")->property("inspector").value<InspectorState *>();
        QVERIFY(m_state);
    }

    void cleanup() {
        if (m_window)
            m_window->close();
        QTRY_COMPARE(m_windows->count(), 0);
    }

    // Each status as the badge, the Scan button and the results show it.
    void statusShowsInBadgeButtonAndPlaceholder() {
        const QString prompt = u"Enter a port to inspect what is listening."_s;
        QCOMPARE(looks(), QStringList({"READY", "Scan", "enabled", prompt}));
        QStringList whileScanning;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (m_state->status() != ScanStatus::scanning || !whileScanning.isEmpty())
                return;
            whileScanning = looks();
            // While it scans, a press on Scan does nothing, but Return in the field scans.
            press(item("scanButton"));
            item("portField")->forceActiveFocus();
            QTest::keyClick(m_window, Qt::Key_Return);
        });
        const quint16 freePort = ListenerGroup(1).port();
        QVERIFY(scan(freePort));
        QCOMPARE(whileScanning, QStringList({"SCANNING", "Scanning", "disabled", prompt}));
        QTRY_COMPARE(messages(*m_state).count(u"Port %1 is available"_s.arg(freePort)), 2);
        QCOMPARE(looks(), QStringList({"AVAILABLE", "Scan", "enabled", "Port available"}));
        ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        QCOMPARE(looks(), QStringList({"IN USE", "Scan", "enabled", "cards"}));
        // An empty field: the line under it says why, and takes its room from the log alone.
        const char *names[] = {"header", "leftColumn", "resultsPanel", "footer"};
        QList<QRectF> before;
        for (const char *name : names)
            before.append(sceneRect(item(name)));
        const QRectF log = sceneRect(item("activityPanel"));
        m_state->setPortText({});
        click(item("scanButton"));
        QCOMPARE(looks(), QStringList({"ERROR", "Scan", "enabled", "Scan needs attention"}));
        QCOMPARE(text("validationMessage"), u"Enter a TCP port number."_s);
        QCOMPARE(text("statusLine"), u"Enter a TCP port number."_s);
        QVERIFY(!item("emptyStateDetail")); // the status line shows it whole
        QTest::qWait(200);                  // the new line is laid out, the results panel re-pinned
        for (const char *name : names)
            QCOMPARE(sceneRect(item(name)), before.takeFirst());
        QCOMPARE(sceneRect(item("activityPanel")).bottom(), log.bottom());
        QVERIFY(sceneRect(item("validationMessage")).bottom() <
                sceneRect(item("activityPanel")).top());
        item("portField")->forceActiveFocus();
        QTest::keyClick(m_window, Qt::Key_8);
        QTRY_VERIFY(!item("validationMessage")->isVisible());
        QCOMPARE(m_state->statusMessage(), u"Ready to scan."_s);
        QTRY_COMPARE(sceneRect(item("activityPanel")), log);
    }

    bool ringShown(QQuickItem *control) {
        return control->hasActiveFocus() && child(control, "focusRing")->isVisible();
    }

    // The alert's texts and its confirmation are proven end to end; here, the ways out, driven as
    // a keyboard user drives them. However the last alert was left, the next opens on Cancel, so
    // Return right after opening never signals; closing gives focus back to the card's button.
    void alertOpensOnCancelEveryTime() {
        const ListenerGroup listener(1);
        QVERIFY(scan(listener.port()));
        const auto lines = m_state->activityEntries().size();
        const QString status = m_state->statusMessage();
        QQuickItem *kill = item("killButton");
        kill->forceActiveFocus(Qt::TabFocusReason);
        for (const auto way : {Qt::Key_Escape, Qt::Key_Space, Qt::Key_Return}) {
            QTest::keyClick(m_window, Qt::Key_Return);
            QTRY_VERIFY(alertShown());
            QVERIFY(ringShown(item("alertCancel")));
            if (way != Qt::Key_Return) { // walk to the destructive button: nothing may stick
                QTest::keyClick(m_window, Qt::Key_Tab);
                QVERIFY(ringShown(item("alertDestructive")));
                QTest::keyClick(m_window, Qt::Key_Tab);
                QVERIFY(ringShown(item("alertCancel"))); // Tab stays inside the alert
                QTest::keyClick(m_window, Qt::Key_Backtab);
            } // and leave with Escape there, or with Space on Cancel, or at once with Return
            if (way == Qt::Key_Space)
                QTest::keyClick(m_window, Qt::Key_Tab);
            QTest::keyClick(m_window, way);
            QTRY_VERIFY(!alertShown());
            QVERIFY(!m_state->pendingKill());
            QTRY_VERIFY(ringShown(kill));
        }
        click(item("forceKillButton")); // and by mouse, which leaves no ring anywhere
        QTRY_VERIFY(alertShown());
        QVERIFY(item("alertCancel")->hasActiveFocus() && !ringShown(item("alertCancel")));
        click(item("alertCancel"));
        QTRY_VERIFY(!alertShown());
        QVERIFY(!m_state->pendingKill());
        QVERIFY(item("forceKillButton")->hasActiveFocus() && !ringShown(item("forceKillButton")));
        QTest::qWait(100);
        QCOMPARE(m_state->activityEntries().size(), lines);
        QCOMPARE(m_state->statusMessage(), status);
        QCOMPARE(::kill(listener.children().first(), 0), 0);
    }

    // Kills driven from the keyboard. While one runs, its card is busy and refuses presses, the
    // other card is not, and Scan waits. Focus stays visible throughout: on the same card while
    // its process is listed (on its Force Kill once it survived TERM), else on the card now in its
    // place, else on the port field; never nowhere.
    void killsKeepFocusAndRefuseBusyCards() {
        const ListenerGroup listeners(2); // they ignore SIGTERM
        QStringList lost, duringKill;
        const QObject context; // queued calls end with the test, not after it
        const auto watch = [&] {
            QQuickItem *focused = m_window->activeFocusItem();
            if (!focused || (!child(focused, "focusRing") && focused->objectName() != "portField"))
                lost << (focused ? focused->objectName() : u"nothing"_s);
            if (!m_state->activeKillPID() || !duringKill.isEmpty())
                return;
            duringKill << (item("scanButton")->isEnabled() ? u"scan"_s : u"no scan"_s);
            for (QQuickItem *each : items("processCard"))
                duringKill << (child(each, "progressLine")->isVisible() ? u"busy"_s : u"quiet"_s) +
                                  (child(each, "killButton")->isEnabled() ? u", kill"_s : u""_s);
            press(child(items("processCard").first(), "killButton"));
        };
        for (auto changed : {&InspectorState::activeKillPIDChanged,
                             &InspectorState::processesChanged, &InspectorState::canScanChanged})
            connect(m_state, changed, &context, watch, Qt::QueuedConnection);
        m_state->setPortText(QString::number(listeners.port()));
        item("scanButton")->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(m_window, Qt::Key_Space); // Scan is disabled while it scans
        QTRY_COMPARE(m_state->processes().size(), 2);
        QTRY_VERIFY(ringShown(item("scanButton")));
        const auto confirm = [this](QQuickItem *button) {
            button->forceActiveFocus(Qt::TabFocusReason);
            QTest::keyClick(m_window, Qt::Key_Return);
            QTRY_VERIFY(alertShown());
            QTest::keyClick(m_window, Qt::Key_Tab);
            QTest::keyClick(m_window, Qt::Key_Return);
            QTRY_VERIFY_WITH_TIMEOUT(!m_state->activeKillPID() && m_state->canScan(), 10000);
        };
        const auto focusedCard = [this] {
            QQuickItem *card = m_window->activeFocusItem();
            while (card && card->objectName() != "processCard")
                card = card->parentItem();
            return card;
        };
        QSignalSpy presses(item("processCard"), SIGNAL(killAction()));
        confirm(item("killButton")); // TERM is ignored: the card stays and says so
        QCOMPARE(duringKill, (QStringList{u"no scan"_s, u"busy"_s, u"quiet, kill"_s}));
        QCOMPARE(presses.count(), 1); // the busy card refused the second
        QTRY_COMPARE(m_window->activeFocusItem(), child(focusedCard(), "forceKillButton"));
        QCOMPARE(focusedCard()->property("process").value<PortProcess>().pid,
                 listeners.children().at(0));
        QVERIFY(ringShown(m_window->activeFocusItem()));
        QVERIFY(child(items("processCard").at(0), "survivedTermLine")->isVisible());
        QVERIFY(!child(items("processCard").at(1), "survivedTermLine")->isVisible());
        confirm(item("forceKillButton")); // gone: the next card takes its place
        QTRY_VERIFY(focusedCard() && focusedCard()->property("process").value<PortProcess>().pid ==
                                         listeners.children().at(1));
        QCOMPARE(items("processCard").size(), 1); // the card kept for later is out of sight
        QVERIFY(ringShown(m_window->activeFocusItem()));
        confirm(item("killButton")); // survives TERM beside a kept card of the same process
        QTRY_VERIFY(ringShown(item("forceKillButton")));
        QVERIFY(QAccessible::queryAccessibleInterface(item("forceKillButton"))->state().focused);
        confirm(item("forceKillButton")); // none left
        QTRY_VERIFY(item("portField")->hasActiveFocus());
        QCOMPARE(lost, QStringList());
    }

    // A card the list keeps for a later scan still holds its process: hidden, it takes no focus,
    // refuses presses and leaves no node for assistive technologies. Nor may it take focus when
    // that process outlives TERM: a kill confirmed by mouse leaves focus on the listed card's
    // Force Kill, without a ring (by keys, with it: killsKeepFocusAndRefuseBusyCards). The card's
    // menu, as an assistive technology drives it: an item's first action, its own, does what its
    // click does, unless disabled.
    void cardsAnswerKeysAndAssistiveTechnologies() {
        const ListenerGroup listeners(2);
        QVERIFY(scan(listeners.port()));
        ::kill(listeners.children().first(), SIGKILL);
        ::waitpid(listeners.children().first(), nullptr, 0);
        m_state->startScan();
        QTRY_COMPARE(items("processCard").size(), 1); // the other card is kept, out of sight
        QQuickItem *kept = nullptr;
        for (QQuickItem *card : findItems(m_window->contentItem(), u"processCard"_s))
            kept = card->isVisible() ? kept : card->parentItem(); // the card and its divider
        QVERIFY(kept);
        press(child(kept, "killButton"));
        child(kept, "killButton")->forceActiveFocus(Qt::TabFocusReason);
        QVERIFY(!child(kept, "killButton")->hasActiveFocus());
        QVERIFY(!m_state->pendingKill() && !m_window->findChild<QObject *>(u"killConfirmation"_s));
        QList<QAccessibleInterface *> nodes{QAccessible::queryAccessibleInterface(m_window)};
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            for (int each = 0; each < nodes[i]->childCount(); ++each)
                nodes << nodes[i]->child(each);
            QVERIFY(!kept->isAncestorOf(qobject_cast<QQuickItem *>(nodes[i]->object())));
        }
        click(item("killButton"));
        QTRY_VERIFY(alertShown());
        click(item("alertDestructive"));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->activeFocusItem() == item("forceKillButton"), 10000);
        QVERIFY(!ringShown(item("forceKillButton")) &&
                m_state->survivedTermPID() == listeners.children().at(1));
        QTest::keyClick(m_window, Qt::Key_Menu);
        QObject *menu = item("processCard")->findChild<QObject *>(u"processMenu"_s);
        QTRY_VERIFY(menu && menu->property("opened").toBool());
        for (const int row : {3, 0}) { // Copy Stop Command (a plain server has none), Copy PID
            QAccessibleActionInterface *actions =
                QAccessible::queryAccessibleInterface(items("copyAction").at(row))
                    ->actionInterface();
            actions->doAction(actions->actionNames().value(0));
            QTRY_COMPARE(menu->property("opened").toBool(), row != 0);
        }
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::number(listeners.children().at(1)));
    }

    // The window's own buttons, hovered and clicked with the mouse as users do, without a warning.
    void windowButtonsAnswerTheMouse() {
        for (const char *name : {"minimizeButton", "closeButton"}) {
            QTest::mouseMove(m_window, sceneRect(item(name)).center().toPoint());
            QTRY_VERIFY(item(name)->property("hovered").toBool());
            click(item(name));
        }
        QTRY_COMPARE(m_windows->count(), 0);
        m_window = nullptr;
    }

    // A card with texts longer than lsof usually prints: the command name shows whole, beside
    // the buttons; a cut detail value shows whole on hover, and is read and copied whole.
    void longTextsStayReadableInFull() {
        const QString longName = u"com.example.server-with-a-long-name"_s;
        const PortProcess process{longName, 4242, u"dev"_s, {}, longName.repeated(6), 3000};
        QQmlComponent component(&m_engine);
        component.setData("import Quaymeter\nProcessResultView { width: 458 }", {});
        std::unique_ptr<QObject> card(
            component.createWithInitialProperties({{u"process"_s, QVariant::fromValue(process)},
                                                   {u"isKilling"_s, false},
                                                   {u"survivedTerm"_s, false}}));
        auto *view = qobject_cast<QQuickItem *>(card.get());
        QVERIFY2(view, qPrintable(component.errorString()));
        view->setParentItem(m_window->contentItem());
        QQuickItem *name = child(view, "commandName");
        QTRY_VERIFY(name->height() > 40); // wrapped onto a second line
        QCOMPARE(name->property("text").toString(), longName);
        QVERIFY(!name->property("truncated").toBool());
        QVERIFY(sceneRect(name).right() <= sceneRect(child(view, "killButton")).left());
        QQuickItem *output = child(view, "outputValue");
        QVERIFY(child(output, "detailValueText")->property("truncated").toBool());
        QTest::mouseMove(m_window, sceneRect(output).center().toPoint());
        QTRY_VERIFY(output->findChild<QObject *>(u"detailToolTip"_s) &&
                    output->findChild<QObject *>(u"detailToolTip"_s)->property("opened").toBool());
        QCOMPARE(QAccessible::queryAccessibleInterface(output)->text(QAccessible::Name),
                 process.rawOutput);
        click(output);
        QTest::keyClick(m_window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), process.rawOutput);
    }

    // The log is one Tab stop that scrolls by keys, each line read as its time and message; the
    // "new" cue hands focus back to the log when it hides itself.
    void logIsReachableByKeys() {
        for (int i = 1; i <= 8; ++i)
            m_state->appendActivity(u"Scanned port %1"_s.arg(3000 + i));
        QQuickItem *log = item("activityScroll");
        QTRY_VERIFY(log->property("contentHeight").toReal() > log->height()); // laid out
        int presses = 0;
        do
            QTest::keyClick(m_window, Qt::Key_Tab);
        while (!log->hasActiveFocus() && ++presses < 20);
        QVERIFY(item("logFocusRing")->isVisible());
        const auto at = [log] { return log->property("contentY").toReal(); };
        for (const auto &[key, moved] : {std::pair{Qt::Key_Down, true},
                                         {Qt::Key_Home, false},
                                         {Qt::Key_PageDown, true},
                                         {Qt::Key_Up, true}}) {
            const qreal before = at();
            QTest::keyClick(m_window, key);
            QCOMPARE(at() > 0, moved);
            QVERIFY(at() != before || key == Qt::Key_Up);
        }
        QTest::keyClick(m_window, Qt::Key_End);
        QVERIFY(log->property("atYEnd").toBool());
        QTest::keyClick(m_window, Qt::Key_End);
        m_state->appendActivity(u"Scanned port 4000"_s);
        QQuickItem *cue = item("activityNewCue");
        QTRY_VERIFY(cue->isVisible());
        QTest::keyClick(m_window, Qt::Key_Tab);
        QVERIFY(cue->hasActiveFocus());
        QTest::keyClick(m_window, Qt::Key_Space);
        QTRY_VERIFY(!cue->isVisible());
        QVERIFY(log->hasActiveFocus() && item("logFocusRing")->isVisible());
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

    // The list of every listener, by keys alone: its key opens it over the results, typing
    // filters it, Down and Return pick a row and scan that port; Escape closes it.
    void listenerListFiltersAndScansThePicked() {
        ListenerGroup listeners(2);
        const QString port = QString::number(listeners.port());
        QTest::keyClick(m_window, Qt::Key_L, Qt::ControlModifier);
        QQuickItem *filter = item("listenerFilter");
        QTRY_VERIFY(filter && filter->hasActiveFocus());
        auto *browser = m_window->findChild<QObject *>(u"listenerBrowser"_s);
        QTRY_VERIFY(!browser->property("reading").toBool());
        QVERIFY(!item("placeholderArea")->isVisible()); // the results lie under the list
        const auto typed = [&](const QString &text) {
            QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(m_window, Qt::Key_Backspace);
            for (const QChar c : text)
                QTest::keyClick(m_window, c.toLatin1());
            QSignalSpy drawn(m_window, &QQuickWindow::frameSwapped);
            return drawn.wait(5000);
        };
        const auto sentences = [&] {
            QStringList read;
            for (QQuickItem *row : items("listenerPort"))
                read << QAccessible::queryAccessibleInterface(row->parentItem()->parentItem())
                            ->text(QAccessible::Name);
            return read;
        };
        QVERIFY(typed(u"LISTENER2"_s));
        const QString user = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
        QVERIFY(sentences().contains(
            u"Port %1, listener1 PID %2, user %4, listener2 PID %3, user %4"_s.arg(port)
                .arg(listeners.children().at(0))
                .arg(listeners.children().at(1))
                .arg(user)));
        QVERIFY(typed(port.left(3)));
        const QStringList byPort = sentences();
        QVERIFY(!byPort.isEmpty() && std::all_of(byPort.begin(), byPort.end(), [&](auto &each) {
            return each.startsWith(u"Port "_s + port.left(3));
        }));
        QVERIFY(typed(u"no-such-listener"_s));
        QVERIFY(sentences().isEmpty());
        QCOMPARE(text("listenerEmpty"), u"No listener matches \u201cno-such-listener\u201d."_s);
        QVERIFY(typed(port));
        QCOMPARE(browser->property("count").toInt(), 1);
        QTest::keyClick(m_window, Qt::Key_Down);
        QTRY_VERIFY(item("listenerRows")->hasActiveFocus());
        QVERIFY(findItems(item("listenerRows"), u"focusRing"_s).value(0)->isVisible());
        QTest::keyClick(m_window, Qt::Key_Return);
        QTRY_COMPARE(m_state->processes().size(), 2);
        QTest::keyClick(m_window, Qt::Key_L, Qt::ControlModifier);
        QTRY_VERIFY(item("listenerRows")->isVisible());
        QTest::keyClick(m_window, Qt::Key_Escape);
        QTRY_VERIFY(!item("listenerRows")->isVisible() && item("cardScroll")->isVisible());
    }

    // A long status is cut only after it shrank and tightened, and is readable whole. Here lsof's
    // outcome is lost, as under a launcher that leaves SIGCHLD ignored.
    void longStatusIsCutAndReadableWhole() {
        std::signal(SIGCHLD, SIG_IGN);
        const auto restore = qScopeGuard([] { std::signal(SIGCHLD, SIG_DFL); });
        QVERIFY(scan(ListenerGroup(1).port()));
        QCOMPARE(m_state->statusMessage(), u"Could not wait for "_s +
                                               PortScannerService::locateLsof() +
                                               u" to finish. No child processes"_s);
        QQuickItem *line = item("statusLine");
        QVERIFY(line->property("truncated").toBool());
        QCOMPARE_LT(line->property("font").value<QFont>().letterSpacing(), 0); // tightened first
        const auto whole =
            QAccessible::queryAccessibleInterface(line)->text(QAccessible::Description);
        QCOMPARE(whole, m_state->statusMessage());
        QVERIFY(item("emptyStateDetail")->isVisible()); // and without a tooltip, under the advice
        QCOMPARE(text("emptyStateDetail"), whole);
        QTest::mouseMove(m_window, sceneRect(line).center().toPoint());
        QObject *tip = line->findChild<QObject *>(u"statusToolTip"_s);
        QTRY_VERIFY(tip->property("visible").toBool());
        QCOMPARE(tip->property("text").toString(), whole);
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
