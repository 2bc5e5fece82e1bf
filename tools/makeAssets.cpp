// Draws the shipped image resources: "AppIcon.icns" from the emblem, and the maker's small
// footer mark. Run by hand when the emblem changes; its output is committed.
#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(QuaymeterPlugin)

namespace {

QImage renderEmblem(QQmlEngine &engine, int side) {
    QQmlComponent component(&engine);
    component.setData(QByteArrayLiteral("import QtQuick\nimport Quaymeter\n"
                                        "Item { NetworkIcon { anchors.centerIn: parent;"
                                        " width: 62; height: 62 } }"),
                      QUrl(QStringLiteral("qrc:/emblem.qml")));
    QQuickWindow window;
    window.setColor(Qt::transparent);
    window.resize(side, side);
    auto *item = qobject_cast<QQuickItem *>(component.create());
    if (!item) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return {};
    }
    item->setParentItem(window.contentItem());
    item->setSize(QSizeF(side, side));
    item->setScale(side / 80.0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return {};
    QTest::qWait(200);
    QImage image = window.grabWindow();
    delete item;
    return image;
}

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
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));

    const QImage emblem = renderEmblem(engine, 512);
    QImageWriter icon(output.filePath(QStringLiteral("AppIcon.icns")), "icns");
    if (emblem.isNull() || !icon.write(emblem)) {
        std::fprintf(stderr, "AppIcon.icns: %s\n", qPrintable(icon.errorString()));
        return 1;
    }
    if (!drawFooterMark(72).save(output.filePath(QStringLiteral("BrennickFooterLogo.png"))))
        return 1;
    return 0;
}
