#include "assetCatalog.h"

#include "assetImageProvider.h"
#include "generatedAssetSymbols.h"
#include "resourceBundle.h"

QString AssetCatalog::appLogo() {
    return QString::fromLatin1(GeneratedAssetSymbols::appLogo);
}

QString AssetCatalog::footerLogo() {
    return QString::fromLatin1(GeneratedAssetSymbols::brennickFooterLogo);
}

QUrl AssetCatalog::imageUrl(const QString &name) {
    const QString path = ResourceBundle::imagePath(name);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path);
}

QUrl AssetCatalog::providedImageUrl(const QString &name) {
    if (ResourceBundle::imagePath(name).isEmpty())
        return {};
    return QUrl(QStringLiteral("image://%1/%2")
                    .arg(QString::fromLatin1(AssetImageProvider::providerId), name));
}
