#include "TestSupport.h"

#include "filelist/FileIcons.h"

#include <QIcon>
#include <QImageReader>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace {

struct Coverage {
    double clear = 0; // fully transparent
    double ink = 0; // anything drawn
};

Coverage coverage(const QImage &img)
{
    Coverage c;
    const double total = double(img.width()) * img.height();
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const int alpha = qAlpha(img.pixel(x, y));
            (alpha == 0 ? c.clear : c.ink) += 1 / total;
        }
    }
    return c;
}

// Share of pixels that differ visibly; tiny antialiasing shifts do not count.
double difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            const int delta = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                        std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            if (delta > 48)
                ++differing;
        }
    }
    return double(differing) / (x.width() * x.height());
}

QList<QPair<QString, QImage>> allPictures(int size)
{
    QList<QPair<QString, QImage>> pictures;
    for (const QString &key : FileIcons::largeKeys())
        pictures.append({key, FileIcons::picture(key, size)});
    pictures.append({QStringLiteral("eye"), FileIcons::eyePicture(size)});
    pictures.append({QStringLiteral("light on"), FileIcons::lightOnPicture(size)});
    pictures.append({QStringLiteral("window"), FileIcons::windowIcon().pixmap(size, size).toImage()});
    return pictures;
}

} // namespace

class TestFileIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void smallKeysNameLargePictures();
    void picturesStandOnClearGround_data();
    void picturesStandOnClearGround();
    void unknownKeyDrawsPlainPage();
    void smallPicturesStaySharp_data();
    void smallPicturesStaySharp();
    void iconsCarryEachDrawnSize();
    void picturesAreDistinct_data();
    void picturesAreDistinct();
    void iconFilesHoldTheirPictures_data();
    void iconFilesHoldTheirPictures();
    void themeIconsHaveTheirSizes();
};

void TestFileIcons::smallKeysNameLargePictures()
{
    const QStringList large = FileIcons::largeKeys();
    for (const QString &key : FileIcons::smallKeys()) {
        QVERIFY2(key.startsWith(QLatin1String("sml")) && large.contains(key.mid(3)), qPrintable(key));
        QCOMPARE(FileIcons::picture(key, 13), FileIcons::picture(key.mid(3), 13));
    }
}

void TestFileIcons::picturesStandOnClearGround_data()
{
    QTest::addColumn<QImage>("img");
    QTest::addColumn<int>("size");
    for (int size : {32, 13, 16, 48}) {
        for (const auto &[name, img] : allPictures(size))
            QTest::addRow("%s@%d", qPrintable(name), size) << img << size;
    }
}

void TestFileIcons::picturesStandOnClearGround()
{
    QFETCH(QImage, img);
    QFETCH(int, size);
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(img.hasAlphaChannel());
    const Coverage c = coverage(img);
    // Drawn to fill the square, yet on a transparent ground.
    QVERIFY2(c.ink > 0.25, qPrintable(QString::number(c.ink)));
    QVERIFY2(c.clear > 0.04, qPrintable(QString::number(c.clear)));
}

void TestFileIcons::unknownKeyDrawsPlainPage()
{
    const QImage none = FileIcons::picture(QStringLiteral("None"), 32);
    QCOMPARE(FileIcons::picture(QStringLiteral("Qqq"), 32), none);
    QCOMPARE(FileIcons::picture(QString(), 32), none);
    QVERIFY(FileIcons::picture(QStringLiteral("Txt"), 0).isNull());
}

void TestFileIcons::smallPicturesStaySharp_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("size");
    for (int size : {13, 16, 32}) {
        for (const QString &key : FileIcons::largeKeys()) {
            // "Non" is translucent on purpose.
            if (key != QLatin1String("Non"))
                QTest::addRow("%s@%d", qPrintable(key), size) << key << size;
        }
    }
}

// Edges on whole pixels: a picture off the grid turns to grey mush at 13 px.
void TestFileIcons::smallPicturesStaySharp()
{
    QFETCH(QString, key);
    QFETCH(int, size);
    const QImage img = FileIcons::picture(key, size);
    int ink = 0;
    int partial = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int alpha = qAlpha(img.pixel(x, y));
            ink += alpha > 0;
            partial += alpha > 0 && alpha < 255;
        }
    }
    QVERIFY2(partial < ink * 0.15, qPrintable(QStringLiteral("%1 of %2").arg(partial).arg(ink)));
}

void TestFileIcons::iconsCarryEachDrawnSize()
{
    const QIcon icon = FileIcons::icon(QStringLiteral("smlXls"));
    for (int size : {13, 16, 32, 64}) {
        QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        // The small sizes are their own simpler drawings, not a scaled-down copy.
        QCOMPARE(icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 FileIcons::picture(QStringLiteral("Xls"), size));
    }
}

void TestFileIcons::picturesAreDistinct_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("32") << 32;
    QTest::newRow("13") << 13;
}

void TestFileIcons::picturesAreDistinct()
{
    QFETCH(int, size);
    const auto pictures = allPictures(size);
    for (int i = 0; i < pictures.size(); ++i) {
        for (int j = i + 1; j < pictures.size(); ++j) {
            const double d = difference(pictures[i].second, pictures[j].second);
            QVERIFY2(d > 0.04,
                     qPrintable(QStringLiteral("%1 and %2 differ in only %3 of the pixels")
                                    .arg(pictures[i].first, pictures[j].first)
                                    .arg(d)));
        }
    }
}

void TestFileIcons::iconFilesHoldTheirPictures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QImage>("expected");
    QTest::newRow("eye") << QStringLiteral("Eye.ico") << FileIcons::eyePicture(32);
    QTest::newRow("light on") << QStringLiteral("Lighton.ico") << FileIcons::lightOnPicture(32);
}

void TestFileIcons::iconFilesHoldTheirPictures()
{
    QFETCH(QString, file);
    QFETCH(QImage, expected);
    const QString path = qEnvironmentVariable("VARDEL_SOURCE_DIR") + QStringLiteral("/resources/") + file;

    QImageReader reader(path);
    QImage found;
    QList<QSize> sizes;
    do {
        const QImage img = reader.read();
        QVERIFY2(!img.isNull(), qPrintable(reader.errorString()));
        sizes << img.size();
        if (img.size() == QSize(32, 32))
            found = img;
    } while (reader.jumpToNextImage());
    QCOMPARE(sizes, QList<QSize>({{16, 16}, {32, 32}, {48, 48}}));
    // Same drawing, transparency intact: a stale or swapped file shows here.
    QVERIFY(difference(found, expected) < 0.02);
    QVERIFY(QIcon(path).availableSizes().contains(QSize(32, 32)));
}

void TestFileIcons::themeIconsHaveTheirSizes()
{
    const QString root = qEnvironmentVariable("VARDEL_SOURCE_DIR") + QStringLiteral("/resources/icons/hicolor/");
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage img(root + QStringLiteral("%1x%1/apps/vardel.png").arg(size));
        QCOMPARE(img.size(), QSize(size, size));
        QVERIFY(img.hasAlphaChannel());
    }
}

QTEST_MAIN(TestFileIcons)
#include "tst_fileicons.moc"
