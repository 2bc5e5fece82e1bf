#pragma once

#include <QQuickImageProvider>

// The resource folder's named images as "image://assets/NAME": read in the format their file
// names, where an Image of the file's own URL would load every image plugin to guess it.
class AssetImageProvider : public QQuickImageProvider {
public:
    static constexpr const char *providerId = "assets";

    AssetImageProvider() : QQuickImageProvider(QQuickImageProvider::Image) {}

    QImage requestImage(const QString &id, QSize *size, const QSize &requestedSize) override;
};
