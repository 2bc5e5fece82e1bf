#include "generatedAssetSymbols.h"
#include "quaymeterApp.h"
#include "resourceBundle.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

class ShellTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QGuiApplication::setWindowIcon(QIcon());
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
    }
    void cleanup() { ResourceBundle::setDirectory({}); }

    void missingIconIsSkippedSilently() {
        QTemporaryDir folder;
        ResourceBundle::setDirectory(folder.path());
        QVERIFY(!QuaymeterApp::setIconFromResources());
        QVERIFY(QGuiApplication::windowIcon().isNull());
    }

    void brokenIconIsSkippedSilently() {
        QTemporaryDir folder;
        const QString apps = folder.filePath(QStringLiteral("share/icons/hicolor/16x16/apps"));
        QVERIFY(QDir().mkpath(apps) && QDir().mkpath(folder.filePath("share/quaymeter")));
        QFile icon(apps + u'/' + GeneratedAssetSymbols::appIcon + QStringLiteral(".png"));
        QVERIFY(icon.open(QIODevice::WriteOnly) && icon.write("png but not really") > 0);
        icon.close();
        ResourceBundle::setDirectory(folder.filePath("share/quaymeter"));
        QVERIFY(!QuaymeterApp::setIconFromResources());
        QVERIFY(QGuiApplication::windowIcon().isNull());
    }

    void shippedIconIsSet() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        QVERIFY(QuaymeterApp::setIconFromResources());
        QVERIFY(!QGuiApplication::windowIcon().isNull());
        QVERIFY(QGuiApplication::windowIcon().availableSizes().contains(QSize(16, 16)));
        QVERIFY(QGuiApplication::windowIcon().availableSizes().contains(QSize(512, 512)));
    }

    void shippedFooterLogoIsAnImage() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        QVERIFY(!ResourceBundle::imagePath(QStringLiteral("BrennickFooterLogo")).isEmpty());
        QVERIFY(ResourceBundle::imagePath(QStringLiteral("AppLogo")).isEmpty());
    }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
