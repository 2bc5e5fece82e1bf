// Renders the application icon's one SVG source to the PNG sizes of the hicolor icon theme:
// OUT_DIR/NxN/apps/NAME.png for every size given. Runs at build time.
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[]) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s SVG OUT_DIR NAME SIZE...\n", argv[0]);
        return 2;
    }
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "%s: not a valid SVG\n", argv[1]);
        return 1;
    }
    const QDir output(QString::fromLocal8Bit(argv[2]));
    const QString name = QString::fromLocal8Bit(argv[3]);
    for (int i = 4; i < argc; ++i) {
        const int side = QByteArray(argv[i]).toInt();
        if (side <= 0) {
            std::fprintf(stderr, "%s: not a size\n", argv[i]);
            return 2;
        }
        QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        svg.render(&painter, QRectF(0, 0, side, side));
        painter.end();
        const QString folder = QStringLiteral("%1x%1/apps").arg(side);
        const QString file = output.filePath(folder + u'/' + name + QStringLiteral(".png"));
        if (!output.mkpath(folder) || !image.save(file)) {
            std::fprintf(stderr, "%s: cannot write\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
