#include "TestSupport.h"

#include "filelist/FileIcons.h"

#include <QIcon>
#include <QImageReader>
#include <QTest>

#include <algorithm>
#include <cstdlib>

namespace {

// Share of pixels that differ visibly; tiny antialiasing shifts do not count.
double difference(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    int differing = 0;
    for (qsizetype i = 0; i < x.sizeInBytes(); i += 4) {
        int delta = 0;
        for (int c = 0; c < 4; ++c)
            delta = std::max(delta, std::abs(x.constBits()[i + c] - y.constBits()[i + c]));
        differing += delta > 48;
    }
    return 4.0 * differing / x.sizeInBytes();
}

} // namespace

class TestFileIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Small keys name the large pictures, an unknown key draws the plain
    // page, and an icon carries the picture drawn at each size, not scaled.
    void keys()
    {
        for (const QString &key : FileIcons::smallKeys()) {
            QVERIFY2(key.startsWith(QLatin1String("sml")) && FileIcons::largeKeys().contains(key.mid(3)),
                     qPrintable(key));
            QCOMPARE(FileIcons::picture(key, 13), FileIcons::picture(key.mid(3), 13));
        }
        QCOMPARE(FileIcons::picture(QStringLiteral("Qqq"), 32), FileIcons::picture(QStringLiteral("None"), 32));
        const QIcon icon = FileIcons::icon(QStringLiteral("smlXls"));
        for (int size : {13, 64})
            QCOMPARE(icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                     FileIcons::picture(QStringLiteral("Xls"), size));
    }

    void pictures_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {13, 16, 32, 48})
            QTest::addRow("%d", size) << size;
    }

    // Each picture fills the square on a transparent ground, with edges on
    // whole pixels (off the grid it turns to grey mush at 13 px), and no two
    // look alike.
    void pictures()
    {
        QFETCH(int, size);
        QList<QPair<QString, QImage>> all;
        for (const QString &key : FileIcons::largeKeys())
            all.append({key, FileIcons::picture(key, size)});
        all.append({QStringLiteral("eye"), FileIcons::eyePicture(size)});
        all.append({QStringLiteral("light on"), FileIcons::lightOnPicture(size)});
        all.append({QStringLiteral("window"), FileIcons::windowIcon().pixmap(size, size).toImage()});
        for (int i = 0; i < all.size(); ++i) {
            const auto &[name, img] = all[i];
            QCOMPARE(img.size(), QSize(size, size));
            int clear = 0, partial = 0;
            for (int p = 0; p < size * size; ++p) {
                const int alpha = qAlpha(img.pixel(p % size, p / size));
                clear += alpha == 0;
                partial += alpha > 0 && alpha < 255;
            }
            const int ink = size * size - clear;
            QVERIFY2(ink > 0.25 * size * size && clear > 0.04 * size * size, qPrintable(name));
            // "Non" is translucent on purpose.
            if (size < 48 && name != QLatin1String("Non") && FileIcons::largeKeys().contains(name))
                QVERIFY2(partial < ink * 0.15, qPrintable(name));
            for (int j = i + 1; j < all.size(); ++j)
                QVERIFY2(difference(img, all[j].second) > 0.04, qPrintable(name + QLatin1String(" ~ ") + all[j].first));
        }
    }

    void resourceFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::addColumn<QImage>("expected"); // its 32 px image; null: none to compare

        const QList<QSize> icoSizes {{16, 16}, {32, 32}, {48, 48}};
        QTest::newRow("eye") << QStringLiteral("Eye.ico") << icoSizes << FileIcons::eyePicture(32);
        QTest::newRow("light on") << QStringLiteral("Lighton.ico") << icoSizes << FileIcons::lightOnPicture(32);
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("theme %d", size) << QStringLiteral("icons/hicolor/%1x%1/apps/vardel.png").arg(size)
                                            << QList<QSize> {{size, size}} << QImage();
    }

    // A stale, swapped or missing file shows here.
    void resourceFiles()
    {
        QFETCH(QString, file);
        QFETCH(QList<QSize>, sizes);
        QFETCH(QImage, expected);
        QImageReader reader(qEnvironmentVariable("VARDEL_SOURCE_DIR") + QStringLiteral("/resources/") + file);
        QList<QSize> found;
        do {
            const QImage img = reader.read();
            QVERIFY2(!img.isNull() && img.hasAlphaChannel(),
                     qPrintable(file + QLatin1Char(' ') + reader.errorString()));
            found << img.size();
            if (!expected.isNull() && img.size() == expected.size())
                QVERIFY(difference(img, expected) < 0.02);
        } while (reader.jumpToNextImage());
        QCOMPARE(found, sizes);
    }
};

QTEST_MAIN(TestFileIcons)
#include "tst_fileicons.moc"
