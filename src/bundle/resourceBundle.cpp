#include "resourceBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <png.h>

namespace {

// Read by libpng itself: Qt's reader first reads what every installed image plugin declares,
// which took the window's first frame milliseconds for one small logo. Within the reader's
// default allocation limit; null when the file does not read.
QImage readPng(const QString &path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, QFile::encodeName(path).constData()))
        return {};
    const quint64 allocationLimit = quint64(QImageReader::allocationLimit()) << 20;
    QImage image;
    if (quint64(png.width) * png.height * 4 <= allocationLimit)
        image = QImage(int(png.width), int(png.height), QImage::Format_ARGB32);
    // QImage::Format_ARGB32 is one 32-bit word a pixel, so its bytes run the other way round
    // on a big-endian machine.
    png.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
    if (image.isNull() || !png_image_finish_read(&png, nullptr, image.bits(),
                                                 png_int_32(image.bytesPerLine()), nullptr)) {
        png_image_free(&png);
        return {};
    }
    return image;
}

QString &overridden() {
    static QString path;
    return path;
}

} // namespace

QString ResourceBundle::directory() {
    if (!overridden().isEmpty())
        return overridden();
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const auto &candidate :
         {QStringLiteral("share/quaymeter"), QStringLiteral("../share/quaymeter")}) {
        if (programDir.exists(candidate))
            return QDir::cleanPath(programDir.filePath(candidate));
    }
    return {};
}

void ResourceBundle::setDirectory(const QString &path) {
    overridden() = path;
}

// The first file named `name` with any extension that reads as an image, and that image.
std::pair<QString, QImage> ResourceBundle::firstImage(const QString &name, const QSize &size) {
    const QString dir = directory();
    if (dir.isEmpty())
        return {};
    // Matched by hand: a wildcard filter compiles a regular expression each time, at start too.
    const auto candidates = QDir(dir).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : candidates) {
        if (file.completeBaseName() != name)
            continue;
        QImage image = readImage(file.absoluteFilePath(), size);
        if (!image.isNull())
            return {file.absoluteFilePath(), std::move(image)};
    }
    return {};
}

QString ResourceBundle::imagePath(const QString &name) {
    return firstImage(name, {}).first;
}

QImage ResourceBundle::image(const QString &name, const QSize &size) {
    return firstImage(name, size).second;
}

QImage ResourceBundle::readImage(const QString &path, const QSize &size) {
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (format == "png") {
        const QImage image = readPng(path);
        return size.isValid() && !image.isNull()
                   ? image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   : image;
    }
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    if (size.isValid())
        reader.setScaledSize(size);
    return reader.read();
}

QStringList ResourceBundle::iconFiles(const QString &name) {
    const QString dir = directory();
    if (dir.isEmpty())
        return {};
    const QDir hicolor(QDir::cleanPath(dir + QStringLiteral("/../icons/hicolor")));
    QStringList files;
    for (const QString &size : hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QFileInfo file(
            hicolor.filePath(size + QStringLiteral("/apps/") + name + QStringLiteral(".png")));
        if (file.isFile())
            files.append(file.absoluteFilePath());
    }
    return files;
}
