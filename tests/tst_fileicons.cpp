#include "TestSupport.h"

#include "filelist/FileIcons.h"

#include <QIcon>
#include <QImageReader>

class TestFileIcons : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Small keys name large pictures, unknown ones the plain page; icons are drawn per size, not scaled.
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

    void resourceFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QList<QSize>>("sizes");

        const QList<QSize> icoSizes {{16, 16}, {32, 32}, {48, 48}};
        QTest::newRow("eye") << QStringLiteral("Eye.ico") << icoSizes;
        QTest::newRow("light on") << QStringLiteral("Lighton.ico") << icoSizes;
        for (int size : {16, 32, 48, 64, 128, 256})
            QTest::addRow("theme %d", size)
                << QStringLiteral("icons/hicolor/%1x%1/apps/vardel.png").arg(size) << QList<QSize> {{size, size}};
    }

    // A swapped or missing file shows here.
    void resourceFiles()
    {
        QFETCH(QString, file);
        QImageReader reader(qEnvironmentVariable("VARDEL_SOURCE_DIR") + QStringLiteral("/resources/") + file);
        QList<QSize> found;
        do {
            const QImage img = reader.read();
            QVERIFY2(!img.isNull() && img.hasAlphaChannel(),
                     qPrintable(file + QLatin1Char(' ') + reader.errorString()));
            found << img.size();
        } while (reader.jumpToNextImage());
        QTEST(found, "sizes");
    }
};

QTEST_MAIN(TestFileIcons)
#include "tst_fileicons.moc"
