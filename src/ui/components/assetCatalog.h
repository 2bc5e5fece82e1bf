#pragma once

#include <QObject>
#include <QString>
#include <QUrl>
#include <QtQml/qqmlregistration.h>

// The named images of the resource folder, as QML asks for them. Every call looks again, so a
// view that asks each time it is built sees the folder as it is then.
class AssetCatalog : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(Assets)
    QML_SINGLETON
    Q_PROPERTY(QString appLogo READ appLogo CONSTANT)
    Q_PROPERTY(QString footerLogo READ footerLogo CONSTANT)

public:
    using QObject::QObject;

    static QString appLogo();
    static QString footerLogo();

    // The file of the named image when it exists and reads as a valid image, else an empty URL.
    Q_INVOKABLE static QUrl imageUrl(const QString &name);
    // The same image through the asset image provider, which reads it without loading every
    // image plugin; empty like imageUrl when there is no valid image.
    Q_INVOKABLE static QUrl providedImageUrl(const QString &name);
};
