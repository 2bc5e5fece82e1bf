#include "quaymeterApp.h"
#include "resourceBundle.h"

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
        QFile icon(folder.filePath(QStringLiteral("AppIcon.icns")));
        QVERIFY(icon.open(QIODevice::WriteOnly) && icon.write("icns but not really") > 0);
        icon.close();
        ResourceBundle::setDirectory(folder.path());
        QVERIFY(!QuaymeterApp::setIconFromResources());
        QVERIFY(QGuiApplication::windowIcon().isNull());
    }

    void shippedIconIsSet() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        QVERIFY(QuaymeterApp::setIconFromResources());
        QVERIFY(!QGuiApplication::windowIcon().isNull());
        QVERIFY(QGuiApplication::windowIcon().availableSizes().value(0).width() >= 256);
    }

    void shippedFooterLogoIsAnImage() {
        ResourceBundle::setDirectory(QStringLiteral(QUAYMETER_RESOURCE_DIR));
        QVERIFY(!ResourceBundle::imagePath(QStringLiteral("BrennickFooterLogo")).isEmpty());
        QVERIFY(ResourceBundle::imagePath(QStringLiteral("AppLogo")).isEmpty());
    }
};

QTEST_MAIN(ShellTest)
#include "tst_shell.moc"
