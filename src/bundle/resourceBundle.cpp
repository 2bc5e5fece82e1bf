#include "resourceBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace {

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
    const auto candidates =
        QDir(dir).entryInfoList({name + QStringLiteral(".*")}, QDir::Files, QDir::Name);
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
    QImageReader reader(path, QFileInfo(path).suffix().toLower().toLatin1());
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
