#include "windowGroup.h"

#include "assetImageProvider.h"
#include "menuItemAccessible.h"

#include <QQmlComponent>
#include <QQmlEngine>

WindowGroup::~WindowGroup() {
    for (const auto &window : std::as_const(m_windows))
        delete window.data();
}

QQuickWindow *WindowGroup::openWindow(const QVariantMap &initialProperties) {
    QQmlEngine *engine = qmlEngine(this);
    if (!engine)
        return nullptr;
    MenuItemAccessible::install();
    if (!engine->imageProvider(QString::fromLatin1(AssetImageProvider::providerId)))
        engine->addImageProvider(QString::fromLatin1(AssetImageProvider::providerId),
                                 new AssetImageProvider);
    QQmlComponent component(engine, QUrl(QString::fromLatin1(windowUrl)));
    QObject *object = component.createWithInitialProperties(initialProperties);
    auto *window = qobject_cast<QQuickWindow *>(object);
    if (!window) {
        qWarning().noquote() << component.errorString();
        delete object;
        return nullptr;
    }
    QQmlEngine::setObjectOwnership(window, QQmlEngine::CppOwnership);
    m_windows.append(window);
    connect(window, &QWindow::visibleChanged, this, [this, window](bool visible) {
        if (visible)
            return;
        m_windows.removeAll(window);
        window->deleteLater();
        emit countChanged();
    });
    emit countChanged();
    return window;
}
