#include "assetImageProvider.h"

#include "resourceBundle.h"

QImage AssetImageProvider::requestImage(const QString &id, QSize *size,
                                        const QSize &requestedSize) {
    const QString path = ResourceBundle::imagePath(id);
    const QImage image = path.isEmpty() ? QImage() : ResourceBundle::readImage(path, requestedSize);
    if (size)
        *size = image.size();
    return image;
}
