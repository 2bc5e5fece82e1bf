#include "resourceBundle.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

class TestResourceBundle : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ResourceBundle::setDirectory({}); }

    // A named image is the first file in name order whose name, less its last extension, is
    // exactly the name asked for and whose bytes read as an image of the format it claims.
    void namedImageIsTheFirstThatReads() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QImage pixels(4, 4, QImage::Format_RGB32);
        pixels.fill(Qt::cyan);
        QVERIFY(pixels.save(folder.filePath("Logo.a.png"))); // another name: "Logo.a"
        QVERIFY(pixels.save(folder.filePath("logo.bmp")));
        QFile broken(folder.filePath("Logo.png"));
        QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("\x89PNG\r\n\x1a\n") > 0);
        broken.close();
        QVERIFY(pixels.save(folder.filePath("Logo.ppm")));
        ResourceBundle::setDirectory(folder.path());

        QCOMPARE(ResourceBundle::imagePath("Logo"), folder.filePath("Logo.ppm"));
        QCOMPARE(ResourceBundle::imagePath("logo"), folder.filePath("logo.bmp")); // not Logo.ppm
        QCOMPARE(ResourceBundle::image("Logo", QSize(2, 2)).size(), QSize(2, 2));
        QCOMPARE(ResourceBundle::imagePath("Missing"), QString());
        QVERIFY(ResourceBundle::image("Missing").isNull());
    }
};

QTEST_GUILESS_MAIN(TestResourceBundle)
#include "tst_resourceBundle.moc"
