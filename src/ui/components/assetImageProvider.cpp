#include "assetImageProvider.h"

#include "resourceBundle.h"

QImage AssetImageProvider::requestImage(const QString &id, QSize *size,
                                        const QSize &requestedSize) {
    const QImage image = ResourceBundle::image(id, requestedSize);
    if (size)
        *size = image.size();
    return image;
}
