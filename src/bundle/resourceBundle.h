#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <utility>

// The folder of named resources that ships beside the program: share/quaymeter next to the
// executable in the build tree, ../share/quaymeter from an installed bin/.
class ResourceBundle {
public:
    static QString directory();
    // Points every later lookup at another folder; an empty path restores the default.
    static void setDirectory(const QString &path);

    // A file named `name` with any image extension that reads as a valid image, or empty.
    static QString imagePath(const QString &name);
    // The image that path holds, read once, scaled to `size` when valid; null when there is none.
    static QImage image(const QString &name, const QSize &size = {});
    // The image in `path`, in the format its extension names, scaled to `size` when valid; null
    // when it does not read. Guessing the format instead would load every image plugin there is
    // (TIFF, WebP, MNG...) for one PNG; a PNG is read without them.
    static QImage readImage(const QString &path, const QSize &size = {});
    // The PNGs of the named icon, one a size, in the hicolor theme folder that ships beside the
    // resource folder (share/icons/hicolor/NxN/apps/); none when there is no such folder.
    static QStringList iconFiles(const QString &name);

private:
    static std::pair<QString, QImage> firstImage(const QString &name, const QSize &size);
};
