#include "listenerGroup.h"
#include "uiTestSupport.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

// The port input, activity and results panels and the result card in a real window, driven by
// real scans of real listening sockets and real kills.
class PanelsTest : public ProgramWindowTest {
    Q_OBJECT

    std::unique_ptr<QObject> m_paletteHolder;
    QObject *m_palette = nullptr;

    QList<QQuickItem *> items(const char *name) {
        return findItems(m_window->contentItem(), QString::fromLatin1(name));
    }
    static QString text(QQuickItem *item) { return item->property("text").toString(); }
    QString text(const char *name) { return text(item(name)); }
    QRgb palette(const char *name) { return rgba(m_palette->property(name)); }
    QString resultsCaption() { return text(child(item("resultsPanel"), "sectionCaption")); }
    qreal height(const char *name) { return sceneRect(item(name)).height(); }

    bool scan(quint16 port) {
        m_state->setPortText(QString::number(port));
        m_state->startScan();
        return QTest::qWaitFor(
            [this, port] { return m_state->canScan() && m_state->lastScannedPort() == port; },
            10000);
    }

    // What the scan button and the placeholder show, read the moment the status changes.
    QStringList looks() {
        return {text("scanButtonLabel"), item("scanButton")->isEnabled() ? "enabled" : "disabled",
                item("scanSpinner")->isVisible() ? "spinner" : "symbol",
                item("placeholderArea")->isVisible() ? text("emptyStateTitle") : "cards"};
    }

private slots:
    void initTestCase() override {
        ProgramWindowTest::initTestCase();
        QQmlComponent palette(&m_engine);
        palette.setData(
            "import Quaymeter as Kit\nimport QtQml\nQtObject { property var p: Kit.Palette }",
            QUrl(QStringLiteral("qrc:/test/Palette.qml")));
        m_paletteHolder.reset(palette.create());
        QVERIFY2(m_paletteHolder, qPrintable(palette.errorString()));
        m_palette = m_paletteHolder->property("p").value<QObject *>();
        QVERIFY(m_windows && m_palette);
    }

    void init() override {
        ProgramWindowTest::init();
        QTRY_VERIFY(m_state->leftColumnHeight() > 0);
    }

    void fieldOutlineFollowsFocus() {
        QQuickItem *frame = item("portFieldFrame");
        auto *border = frame->property("border").value<QObject *>();
        const auto glowAlpha = [this] {
            return qAlpha(rgba(item("portFieldGlow")->property("color")));
        };
        QCOMPARE(border->property("width").toReal(), 1.0);
        QCOMPARE(rgba(border->property("color")), palette("hairline"));
        QCOMPARE(glowAlpha(), 0);

        item("portField")->forceActiveFocus();
        QVERIFY(m_state->isPortFocused());
        QCOMPARE(border->property("width").toReal(), 1.4);
        QCOMPARE(rgba(border->property("color")), palette("accentCyan"));
        QCOMPARE(glowAlpha(), qRound(0.28 * 255));

        item("contentView")->forceActiveFocus();
        QVERIFY(!m_state->isPortFocused());
        QCOMPARE(border->property("width").toReal(), 1.0);
        QCOMPARE(glowAlpha(), 0);
    }

    void scanButtonAndPlaceholderFollowTheStatus() {
        const QString prompt = QStringLiteral("Enter a port to inspect what is listening.");
        QCOMPARE(looks(), QStringList({"Scan", "enabled", "symbol", prompt}));
        QCOMPARE(resultsCaption(), QStringLiteral("Awaiting scan"));

        QStringList whileScanning;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (m_state->statusName() == QStringLiteral("scanning"))
                whileScanning = looks();
        });
        const quint16 freePort = ListenerGroup(1).port();
        QVERIFY(scan(freePort));
        QCOMPARE(whileScanning, QStringList({"Scanning", "disabled", "spinner", prompt}));
        QCOMPARE(looks(), QStringList({"Scan", "enabled", "symbol", "Port available"}));

        m_state->setPortText(QStringLiteral("80a"));
        m_state->startScan();
        QCOMPARE(looks(), QStringList({"Scan", "enabled", "symbol", "Scan needs attention"}));
        QCOMPARE(text("statusLine"), QStringLiteral("Port must be numeric."));
    }

    // Return in the field is not gated by the disabled Scan button.
    void returnScansWhileTheButtonIsDisabled() {
        const quint16 port = ListenerGroup(1).port();
        item("portField")->forceActiveFocus();
        bool buttonWasEnabled = true;
        bool pressed = false;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (pressed || m_state->statusName() != QStringLiteral("scanning"))
                return;
            pressed = true;
            buttonWasEnabled = item("scanButton")->isEnabled();
            QTest::keyClick(m_window, Qt::Key_Return);
        });
        QVERIFY(scan(port));
        QVERIFY(pressed && !buttonWasEnabled);
        const QString scanned = QStringLiteral("Scanned port %1").arg(port);
        QTRY_COMPARE(std::count_if(m_state->activityEntries().cbegin(),
                                   m_state->activityEntries().cend(),
                                   [&](const ActivityEntry &e) { return e.message == scanned; }),
                     2);
    }

    void validationRowRepinsTheResults() {
        const qreal before = height("leftColumn");
        QCOMPARE(height("resultsPanel"), before);
        QVERIFY(!item("validationMessage")->isVisible());

        m_state->setPortText(QStringLiteral("70000"));
        QVERIFY(item("validationMessage")->isVisible());
        QCOMPARE(text("validationMessage"), QStringLiteral("Port must be between 1 and 65535."));
        QTRY_VERIFY(height("leftColumn") > before + 10);
        QTRY_COMPARE(height("resultsPanel"), height("leftColumn"));
        // The taller column still leaves the footer inside the window.
        QVERIFY(sceneRect(item("footer")).bottom() <= 540);

        m_state->setPortText(QStringLiteral("7000"));
        QTRY_COMPARE(height("leftColumn"), before);
        QTRY_COMPARE(height("resultsPanel"), before);
    }

    void cardsListEachListenerAndScroll() {
        ListenerGroup alone(1);
        ListenerGroup shared(3);
        QVERIFY(alone.isListening() && shared.isListening());

        QVERIFY(scan(alone.port()));
        QCOMPARE(items("processCard").size(), 1);
        QCOMPARE(resultsCaption(), QStringLiteral("Port %1").arg(alone.port()));
        QCOMPARE(text("listeningLine"), QStringLiteral("Listening on TCP %1").arg(alone.port()));
        QCOMPARE(text(child(item("pidValue"), "detailValueText")),
                 QString::number(alone.children().at(0)));
        QVERIFY(!item("cardDivider")->isVisible());
        // The status line stays on one line however long the listener's name makes it.
        QCOMPARE(item("statusLine")->property("lineCount").toInt(), 1);

        QVERIFY(scan(shared.port()));
        const QList<QQuickItem *> dividers = items("cardDivider");
        QCOMPARE(items("processCard").size(), 3);
        QCOMPARE(dividers.size(), 3);
        QVERIFY(dividers[0]->isVisible() && dividers[1]->isVisible() && !dividers[2]->isVisible());

        QQuickItem *scroll = item("cardScroll");
        QTRY_COMPARE(height("resultsPanel"), height("leftColumn"));
        QVERIFY(scroll->property("contentHeight").toReal() > scroll->height());
        QVERIFY(sceneRect(scroll).bottom() <= sceneRect(item("resultsPanel")).bottom() - 20);
        for (QQuickItem *each : scroll->findChildren<QQuickItem *>())
            QVERIFY(!each->inherits("QQuickScrollBar"));
    }

    void aKillBusiesOnlyItsCard() {
        ListenerGroup shared(3);
        QVERIFY(shared.isListening());
        QVERIFY(scan(shared.port()));
        const PortProcess target = m_state->processes().at(1);
        // It ignores SIGTERM, so it is still listening at the re-check.
        QVERIFY(shared.children().contains(target.pid));

        QList<QStringList> cards;
        QStringList button;
        connect(m_state, &InspectorState::canScanChanged, this, [&] {
            if (!m_state->activeKillPID())
                return;
            button = looks();
            for (QQuickItem *card : items("processCard"))
                cards.append({child(card, "progressLine")->isVisible() ? "busy" : "quiet",
                              child(card, "killButton")->isEnabled() ? "kill" : "-",
                              child(card, "forceKillButton")->isEnabled() ? "force" : "-"});
        });
        m_state->requestKill(target, false);
        m_state->confirmPendingKill();
        QTRY_VERIFY_WITH_TIMEOUT(!cards.isEmpty(), 10000);
        QCOMPARE(button, QStringList({"Scan", "disabled", "symbol", "cards"}));
        QCOMPARE(cards,
                 QList<QStringList>(
                     {{"quiet", "kill", "force"}, {"busy", "-", "-"}, {"quiet", "kill", "force"}}));

        QTRY_VERIFY_WITH_TIMEOUT(!m_state->activeKillPID() && m_state->canScan(), 10000);
        QCOMPARE(items("processCard").size(), 3);
        QVERIFY(!child(items("processCard")[1], "progressLine")->isVisible());
    }

    void activityRowsAlignAndCut() {
        QCOMPARE(height("activityPanel"), 190.0);
        QCOMPARE(height("activityScroll"), 116.0);
        QCOMPARE(items("activityRow").size(), 1);
        QCOMPARE(text("activityMessage"), QStringLiteral("Quaymeter initialized"));

        const QString longMessage = QStringLiteral("Kill failed for PID 4242: ").repeated(6);
        for (int i = 0; i < 9; ++i)
            m_state->appendActivity(longMessage);
        const QList<QQuickItem *> rows = items("activityRow");
        QCOMPARE(rows.size(), 8);
        for (QQuickItem *row : rows) {
            QQuickItem *message = child(row, "activityMessage");
            QCOMPARE(sceneRect(message).left() - sceneRect(row).left(), 70.0);
            QCOMPARE(message->property("lineCount").toInt(), 2);
            QVERIFY(message->property("truncated").toBool());
            QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"))
                        .match(text(child(row, "activityTime")))
                        .hasMatch());
        }
        QTRY_VERIFY(item("activityScroll")->property("contentHeight").toReal() > 116);
        QCOMPARE(height("activityPanel"), 190.0);
    }

    void detailValuesStopAfterTwoLines() {
        ViewHost host;
        QQuickItem *cell = host.load("DetailValue { width: 160; text: \"" +
                                     QByteArray("0123456789").repeated(12) + "\" }");
        QVERIFY(cell);
        QQuickItem *value = child(cell, "detailValueText");
        const qreal line = value->implicitHeight() / value->property("lineCount").toInt();
        QVERIFY(value->property("lineCount").toInt() > 2);
        QVERIFY(cell->clip());
        QVERIFY(cell->height() >= 2 * line && cell->height() < 2.5 * line);
    }
};

QTEST_MAIN(PanelsTest)
#include "tst_panels.moc"
