#include "uiTestSupport.h"

#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

class StatusViewsTest : public QObject {
    Q_OBJECT

    static QColor paletteColour(QQuickItem *item, const QString &name) {
        return item->property("p").value<QObject *>()->property(qPrintable(name)).value<QColor>();
    }

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }

    void badgeNamesEachStatus_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("colour");
        QTest::newRow("idle") << "idle"
                              << "READY"
                              << "textSecondary";
        QTest::newRow("scanning") << "scanning"
                                  << "SCANNING"
                                  << "accentCyan";
        QTest::newRow("available") << "available"
                                   << "AVAILABLE"
                                   << "accentMint";
        QTest::newRow("inUse") << "inUse"
                               << "IN USE"
                               << "accentViolet";
        QTest::newRow("error") << "error"
                               << "ERROR"
                               << "accentPink";
    }

    void badgeNamesEachStatus() {
        QFETCH(QString, status);
        QFETCH(QString, label);
        QFETCH(QString, colour);
        ViewHost host;
        QQuickItem *item = host.load(QStringLiteral("Item { property var p: Kit.Palette;"
                                                    " StatusBadge { objectName: \"badge\";"
                                                    " status: \"%1\" } }")
                                         .arg(status)
                                         .toUtf8());
        QVERIFY(item);
        auto *badge = child(item, "badge");
        auto *text = child(badge, "statusBadgeLabel");
        const QColor expected = paletteColour(item, colour);
        QCOMPARE(text->property("text").toString(), label);
        QCOMPARE(rgba(text->property("color")), expected.rgba());
        QCOMPARE(rgba(child(badge, "statusBadgeDot")->property("color")), expected.rgba());
        QCOMPARE(qAlpha(rgba(badge->property("color"))), 26);
        // Sized by its content: 7 above and below, 10 on each side.
        QCOMPARE(badge->width(), 10 + 7 + 7 + text->width() + 10);
        QCOMPARE(badge->height(), 7 + std::max(7.0, text->height()) + 7);
        QCOMPARE(badge->property("radius").toDouble(), badge->height() / 2);
    }

    void emptyStateExplainsEachStatus_data() {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("iconColour");
        const QString waiting = QStringLiteral("Enter a port to inspect what is listening.");
        const QString waitingMessage =
            QStringLiteral("Quaymeter will identify the listener and "
                           "show safe kill controls after confirmation.");
        QTest::newRow("idle") << "idle" << waiting << waitingMessage << "terminal"
                              << "accentCyan";
        QTest::newRow("scanning") << "scanning" << waiting << waitingMessage << "terminal"
                                  << "accentCyan";
        QTest::newRow("inUse") << "inUse" << waiting << waitingMessage << "terminal"
                               << "accentCyan";
        QTest::newRow("available") << "available"
                                   << "Port available"
                                   << "No process is listening on this TCP port."
                                   << "checkmark.seal"
                                   << "accentMint";
        QTest::newRow("error") << "error"
                               << "Scan needs attention"
                               << "Fix the input or review the error message, then scan again."
                               << "terminal"
                               << "accentCyan";
    }

    void emptyStateExplainsEachStatus() {
        QFETCH(QString, status);
        QFETCH(QString, title);
        QFETCH(QString, message);
        QFETCH(QString, icon);
        QFETCH(QString, iconColour);
        ViewHost host;
        QQuickItem *item = host.load(QStringLiteral("Item { property var p: Kit.Palette;"
                                                    " property var s: Symbols;"
                                                    " EmptyStateView { objectName: \"empty\";"
                                                    " width: 200; status: \"%1\" } }")
                                         .arg(status)
                                         .toUtf8());
        QVERIFY(item);
        auto *view = child(item, "empty");
        auto *titleText = child(view, "emptyStateTitle");
        auto *messageText = child(view, "emptyStateMessage");
        auto *iconText = child(view, "emptyStateIcon");
        QCOMPARE(titleText->property("text").toString(), title);
        QCOMPARE(messageText->property("text").toString(), message);
        QString glyph;
        QMetaObject::invokeMethod(item->property("s").value<QObject *>(), "glyph",
                                  Q_RETURN_ARG(QString, glyph), Q_ARG(QString, icon));
        QCOMPARE(iconText->property("text").toString(), glyph);
        QCOMPARE(rgba(iconText->property("color")), paletteColour(item, iconColour).rgba());
        QCOMPARE(child(view, "emptyStateCircle")->size(), QSizeF(96, 96));
        // In a narrow area the title keeps one line and the message wraps, centred.
        QCOMPARE(titleText->property("lineCount").toInt(), 1);
        QVERIFY(messageText->property("lineCount").toInt() >= 2);
        QCOMPARE(messageText->property("horizontalAlignment").toInt(), int(Qt::AlignHCenter));
    }
};

QTEST_MAIN(StatusViewsTest)
#include "tst_statusViews.moc"
