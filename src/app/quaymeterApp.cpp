#include "quaymeterApp.h"

#include "generatedAssetSymbols.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QQmlComponent>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

QuaymeterApp::QuaymeterApp() {
    setIconFromResources();
}

bool QuaymeterApp::setIconFromResources() {
    const QString path =
        ResourceBundle::path(QString::fromLatin1(GeneratedAssetSymbols::appIcon),
                             QString::fromLatin1(GeneratedAssetSymbols::appIconExtension));
    if (path.isEmpty())
        return false;
    // Qt's icns reader complains aloud about a broken file; this step is meant to stay quiet.
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    const QImage image = QImageReader(path).read();
    qInstallMessageHandler(previous);
    if (image.isNull())
        return false;
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(image)));
    return true;
}

int QuaymeterApp::run() {
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    // Qt.quit() (Ctrl+Q) ends the program; the engine does not connect this by itself here.
    QObject::connect(&m_engine, &QQmlEngine::quit, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // Compiling the window's file imports the module, which registers its types.
    const QQmlComponent window(&m_engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
    if (window.isError()) {
        qWarning().noquote() << window.errorString();
        return 1;
    }
    auto *windows =
        m_engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
    if (!windows || !windows->openWindow())
        return 1;
    return QGuiApplication::exec();
}
