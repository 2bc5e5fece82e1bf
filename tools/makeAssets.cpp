// Draws the maker's small footer mark into the resource folder. Run by hand when the mark
// changes; its output is committed. (The application icon is drawn from packaging/icon.svg.)
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>

namespace {

// A small "B" monogram in a ring, in the window's cyan and mint.
QImage drawFooterMark(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 36.0, side / 36.0);
    painter.setPen(QPen(QColor::fromRgbF(0.24f, 0.92f, 1.0f), 2.2));
    painter.drawEllipse(QRectF(2.5, 2.5, 31, 31));
    QFont font(QStringLiteral("JetBrains Mono"));
    font.setPixelSize(20);
    font.setWeight(QFont::ExtraBold);
    painter.setFont(font);
    painter.setPen(QColor::fromRgbF(0.48f, 1.0f, 0.93f));
    painter.drawText(QRectF(0, 0, 36, 36.5), Qt::AlignCenter, QStringLiteral("B"));
    return image;
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s RESOURCE_DIR\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    if (!drawFooterMark(72).save(output.filePath(QStringLiteral("BrennickFooterLogo.png"))))
        return 1;
    return 0;
}
