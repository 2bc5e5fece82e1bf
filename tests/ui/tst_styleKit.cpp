#include "resourceBundle.h"
#include "shadowItem.h"
#include "uiTestSupport.h"
#include "viewHeightPreferenceKey.h"

#include <QImage>
#include <QTemporaryDir>
#include <QtQml/qqmlextensionplugin.h>
#include <cmath>
#include <limits>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

class StyleKitTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("."))); }
    void cleanup() { ResourceBundle::setDirectory({}); }

    void heightPreferenceKeepsTheLarger() {
        constexpr double nan = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(ViewHeightPreferenceKey::reduce(10, 10), 10.0);
        QCOMPARE(ViewHeightPreferenceKey::reduce(10, 12), 12.0);
        QCOMPARE(ViewHeightPreferenceKey::reduce(12, 10), 12.0);
        QCOMPARE(ViewHeightPreferenceKey::reduce(12, nan), 12.0);

        ViewHost host;
        QQuickItem *item = host.load(R"(
            Item {
                property alias key: key
                property alias tall: tall
                ViewHeightPreferenceKey { id: key }
                HeightReader { preference: key; height: 120 }
                HeightReader { id: tall; preference: key; height: 200 }
            })");
        QVERIFY(item);
        auto *key = item->property("key").value<ViewHeightPreferenceKey *>();
        auto *tall = item->property("tall").value<QQuickItem *>();
        QCOMPARE(key->value(), 200.0);
        tall->setHeight(90);
        QCOMPARE(key->value(), 120.0);
        delete tall;
        QCOMPARE(key->value(), 120.0);

        ViewHeightPreferenceKey lonely;
        QCOMPARE(lonely.value(), 0.0);
    }

    void sectionHeaderUpperCasesOnlyTheTitle() {
        ViewHost host;
        QQuickItem *item = host.load(
            "SectionHeader { width: 300; title: \"größe activity\"; caption: \"lsof -nP\" }");
        QVERIFY(item);
        auto *title = child(item, "sectionTitle");
        auto *caption = child(item, "sectionCaption");
        QCOMPARE(title->property("text").toString(), QStringLiteral("GRÖSSE ACTIVITY"));
        QCOMPARE(caption->property("text").toString(), QStringLiteral("lsof -nP"));
        QCOMPARE(title->x(), 0.0);
        QCOMPARE(caption->x() + caption->width(), 300.0);

        item = host.load("SectionHeader { width: 300; title: \"Scan Port\"; caption: \"\" }");
        QCOMPARE(child(item, "sectionTitle")->x(), 0.0);
    }

    void buttonStylesFollowThePressedFlag_data() {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<double>("released");
        QTest::addColumn<double>("pressed");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("labelColour");
        QTest::newRow("primary") << QByteArray("PrimaryButtonStyle { text: \"Scan\" }") << 1.0
                                 << 0.78 << ""
                                 << "canvasBottom";
        QTest::newRow("tint") << QByteArray("SecondaryButtonStyle { text: \"Kill\";"
                                            " accent: Kit.Palette.accentPink; filled: false }")
                              << 0.08 << 0.18 << "buttonLabel"
                              << "accentPink";
        QTest::newRow("filled") << QByteArray("SecondaryButtonStyle { text: \"Kill\";"
                                              " accent: Kit.Palette.accentViolet; filled: true }")
                                << 0.95 << 0.74 << "buttonLabel"
                                << "canvasBottom";
    }

    void buttonStylesFollowThePressedFlag() {
        QFETCH(QByteArray, button);
        QFETCH(double, released);
        QFETCH(double, pressed);
        QFETCH(QString, label);
        QFETCH(QString, labelColour);
        ViewHost host;
        QQuickItem *item = host.load("Item { property var p: Kit.Palette; " +
                                     button.replace("{", "{ objectName: \"button\"; ") + " }");
        QVERIFY(item);
        auto *control = child(item, "button");
        auto *fill = child(control, "buttonFill");
        QCOMPARE(qAlpha(rgba(fill->property("color"))), qRound(released * 255));
        const QPoint centre = sceneRect(control).center().toPoint();
        QTest::mousePress(&host.window(), Qt::LeftButton, {}, centre);
        QTRY_COMPARE(qAlpha(rgba(fill->property("color"))), qRound(pressed * 255));
        QTest::mouseRelease(&host.window(), Qt::LeftButton, {}, centre);
        if (!label.isEmpty()) {
            const QColor expected = item->property("p")
                                        .value<QObject *>()
                                        ->property(qPrintable(labelColour))
                                        .value<QColor>();
            QCOMPARE(rgba(child(control, qPrintable(label))->property("color")), expected.rgba());
        }
    }

    void networkIconKeepsItsGeometry() {
        ViewHost host;
        QQuickItem *item = host.load("NetworkIcon { width: 62; height: 62 }");
        QVERIFY(item);
        auto *drawing = child(item, "networkIconDrawing");
        QCOMPARE(drawing->size(), QSizeF(44, 44));
        auto *node = child(item, "networkIconNode1");
        QVERIFY(node);
        QCOMPARE(node->x() + node->width() / 2, 29.04);
        QCOMPARE(node->y() + node->height() / 2, 12.32);
        QCOMPARE(node->width(), 8.0);
    }

    void appLogoFallsBackToTheDrawnEmblem() {
        QTemporaryDir folder;
        ResourceBundle::setDirectory(folder.path());
        ViewHost host;
        QQuickItem *item = host.load("AppLogoView { width: 208; height: 58 }");
        QVERIFY(item);
        QVERIFY(child(item, "appLogoFallback")->isVisible());
        QVERIFY(!child(item, "appLogoImage")->isVisible());
        QCOMPARE(child(item, "appLogoWordmark")->property("text").toString(),
                 QStringLiteral("Quaymeter"));
        QCOMPARE(child(item, "appLogoEmblem")->size(), QSizeF(62, 62));

        // A file of that name that is no image counts as missing.
        QFile broken(folder.filePath(QStringLiteral("AppLogo.png")));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
        broken.close();
        item = host.load("AppLogoView { width: 208; height: 58 }");
        QVERIFY(child(item, "appLogoFallback")->isVisible());
    }

    void appLogoShowsTheImageWhenPresent() {
        QTemporaryDir folder;
        QImage logo(416, 116, QImage::Format_ARGB32);
        logo.fill(Qt::white);
        QVERIFY(logo.save(folder.filePath(QStringLiteral("AppLogo.png"))));
        ResourceBundle::setDirectory(folder.path());
        ViewHost host;
        QQuickItem *item = host.load("AppLogoView { width: 208; height: 58 }");
        QVERIFY(item);
        QVERIFY(child(item, "appLogoImage")->isVisible());
        QVERIFY(!child(item, "appLogoFallback")->isVisible());
    }

    void shadowIsASoftSilhouette() {
        ShadowItem::Silhouette square;
        square.size = QSizeF(20, 20);
        const QColor cyan = QColor::fromRgbF(0.24f, 0.92f, 1.0f, 0.5f);

        const QImage sharp = ShadowItem::render(square, cyan, 0, 1);
        const int m0 = ShadowItem::margin(0);
        QCOMPARE(qAlpha(sharp.pixel(m0 + 10, m0 + 10)), 128);
        QCOMPARE(qAlpha(sharp.pixel(0, 0)), 0);

        const QImage soft = ShadowItem::render(square, cyan, 6, 1);
        const int m = ShadowItem::margin(6);
        QCOMPARE(soft.size(), QSize(20 + 2 * m, 20 + 2 * m));
        const int centre = qAlpha(soft.pixel(m + 10, m + 10));
        const int edge = qAlpha(soft.pixel(m - 4, m + 10));
        QVERIFY(centre > edge && edge > 0 && centre < 128);
        // Symmetric about the shape, and fading out before the image ends.
        QCOMPARE(qAlpha(soft.pixel(m - 4, m + 10)), qAlpha(soft.pixel(m + 23, m + 10)));
        QVERIFY(qAlpha(soft.pixel(0, m + 10)) <= 1);

        const QImage doubled = ShadowItem::render(square, cyan, 6, 2);
        QCOMPARE(doubled.size(), soft.size() * 2);
    }
};

QTEST_MAIN(StyleKitTest)
#include "tst_styleKit.moc"
