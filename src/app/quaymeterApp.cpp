#include "quaymeterApp.h"

#include "generatedAssetSymbols.h"
#include "resourceBundle.h"
#include "windowGroup.h"

#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QQmlComponent>
#include <QQuickWindow>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)
Q_IMPORT_QML_PLUGIN(QuaymeterInspectorPlugin)

namespace {

// Reads an image and swallows every complaint about a broken file: Qt's through its message
// handler, and libpng's, which it writes straight to stderr.
QImage readQuietly(const QString &file) {
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    std::fflush(stderr);
    const int savedStderr = ::dup(STDERR_FILENO);
    if (const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC); null >= 0) {
        ::dup2(null, STDERR_FILENO);
        ::close(null);
    }
    const QImage image = ResourceBundle::readImage(file);
    std::fflush(stderr);
    if (savedStderr >= 0) {
        ::dup2(savedStderr, STDERR_FILENO);
        ::close(savedStderr);
    }
    qInstallMessageHandler(previous);
    return image;
}

// The side of an icon theme's PNG from its folder, ".../hicolor/48x48/apps/NAME.png"; 0 when
// the folder does not say.
int iconSide(const QString &file) {
    const QStringList parts = file.split(QLatin1Char('/'));
    return parts.size() < 3 ? 0
                            : parts.at(parts.size() - 3).section(QLatin1Char('x'), 0, 0).toInt();
}

} // namespace

QuaymeterApp::QuaymeterApp() = default;

void QuaymeterApp::setIcon() {
    // Installed where the icon theme looks, the theme has the icon; run from the build tree or
    // another prefix, the files shipped beside the program stand in.
    const QString icon = QString::fromLatin1(GeneratedAssetSymbols::appIcon);
    if (QIcon::hasThemeIcon(icon))
        QGuiApplication::setWindowIcon(QIcon::fromTheme(icon));
    else
        setIconFromResources();
}

void QuaymeterApp::setIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("Quaymeter"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUAYMETER_VERSION));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(GeneratedAssetSymbols::applicationId));
}

void QuaymeterApp::chooseRenderer() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        return;
    const QDir devices(QStringLiteral("/dev/dri"));
    if (devices.entryList({QStringLiteral("renderD*")}, QDir::System).isEmpty())
        useGraphicsApi(QSGRendererInterface::Software);
}

void QuaymeterApp::useGraphicsApi(QSGRendererInterface::GraphicsApi api) {
    QQuickWindow::setGraphicsApi(api);
    if (api == QSGRendererInterface::Software &&
        !qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME"))
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
}

bool QuaymeterApp::setIconFromResources() {
    QIcon icon;
    for (const QString &file :
         ResourceBundle::iconFiles(QString::fromLatin1(GeneratedAssetSymbols::appIcon))) {
        // Window managers show a window's own icon at 64 pixels at most (the launcher and the
        // switcher take the theme's), and X11 keeps every size given in the window's property:
        // the large ones would cost megabytes for nothing.
        if (iconSide(file) > 64)
            continue;
        // A broken file leaves the default icon and says nothing.
        const QImage image = readQuietly(file);
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    if (icon.isNull())
        return false;
    QGuiApplication::setWindowIcon(icon);
    return true;
}

int QuaymeterApp::run(const std::optional<QString> &portText) {
    m_engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    // Qt.quit() (Ctrl+Q) ends the program; the engine does not connect this by itself here.
    QObject::connect(&m_engine, &QQmlEngine::quit, QCoreApplication::instance(),
                     &QCoreApplication::quit, Qt::QueuedConnection);
    // Compiling the window's file imports the module, which registers its types.
    const QQmlComponent component(&m_engine, QUrl(QString::fromLatin1(WindowGroup::windowUrl)));
    if (component.isError()) {
        qWarning().noquote() << component.errorString();
        return 1;
    }
    auto *windows =
        m_engine.singletonInstance<WindowGroup *>(qmlTypeId("Quaymeter", 1, 0, "WindowGroup"));
    QVariantMap initialProperties;
    if (portText)
        initialProperties.insert(QStringLiteral("portArgument"), *portText);
    QQuickWindow *window = windows ? windows->openWindow(initialProperties) : nullptr;
    if (!window)
        return 1;
    // Decoding the icon's PNGs costs several milliseconds and nothing shows it before the window
    // is up, so it waits for the first frame; the open windows then take it. Queued: the software
    // render loop emits frameSwapped inside that frame, which a slot run there would hold up.
    QObject::connect(window, &QQuickWindow::frameSwapped, window, setIcon,
                     Qt::ConnectionType(Qt::SingleShotConnection | Qt::QueuedConnection));
    return QGuiApplication::exec();
}
