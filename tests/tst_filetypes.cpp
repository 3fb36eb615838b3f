#include "TestSupport.h"

#include "filelist/FileTypes.h"

#include <QTest>

class TestFileTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookup_data();
    void lookup();
};

void TestFileTypes::lookup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("iconKey");

    const auto row = [](const char *tag, const QString &name, const char *description, const char *iconKey) {
        QTest::newRow(tag) << name << QString::fromLatin1(description) << QString::fromLatin1(iconKey);
    };

    // Every key of the table, in its order.
    row("EXE", QStringLiteral("setup.exe"), "Application", "Exe");
    row("BAT", QStringLiteral("run.bat"), "MS-DOS Batch File", "Exe");
    row("COM", QStringLiteral("edit.com"), "MS-DOS Application", "Exe");
    row("TXT", QStringLiteral("notes.txt"), "Text Document", "Txt");
    row("LOG", QStringLiteral("debug.log"), "LOG File", "Txt");
    row("INI", QStringLiteral("win.ini"), "Configuration Setting", "Ini");
    row("INF", QStringLiteral("driver.inf"), "Setup Information", "Ini");
    row("WRI", QStringLiteral("letter.wri"), "Write Document", "Ini");
    row("HLP", QStringLiteral("app.hlp"), "Help File", "Hlp");
    row("MSG", QStringLiteral("mail.msg"), "Msg File", "Msg");
    row("DOC", QStringLiteral("cv.doc"), "Microsoft Word Document", "Doc");
    row("XLS", QStringLiteral("sums.xls"), "Microsoft Excel Worksheet", "Xls");
    row("PPT", QStringLiteral("talk.ppt"), "Microsoft PowerPoint Presentation", "Ppt");
    row("PPS", QStringLiteral("show.pps"), "Microsoft PowerPoint SlideShow", "Pps");
    row("ZIP", QStringLiteral("all.zip"), "WinZip File", "Zip");
    row("BMP", QStringLiteral("pic.bmp"), "Bitmap Image", "Bmp");
    row("GIF", QStringLiteral("anim.gif"), "GIF Image", "Gif");
    row("JPG", QStringLiteral("photo.jpg"), "JPEG Image", "Jpg");
    row("PEG", QStringLiteral("photo.jpeg"), "JPEG Image", "Jpg");
    row("M1V", QStringLiteral("clip.m1v"), "Movie Clip", "Mpg");
    row("MPA", QStringLiteral("sound.mpa"), "Movie Clip", "Mpg");
    row("MPE", QStringLiteral("clip.mpe"), "Movie Clip", "Mpg");
    row("MPG", QStringLiteral("clip.mpg"), "Movie Clip", "Mpg");
    row("AVI", QStringLiteral("film.avi"), "Video Clip", "Avi");

    // The key is the last three characters of the whole name, in upper case.
    row("upper case", QStringLiteral("SETUP.EXE"), "Application", "Exe");
    row("mixed case", QStringLiteral("Setup.Exe"), "Application", "Exe");
    row("no dot", QStringLiteral("myexe"), "Application", "Exe");
    row("README is DME", QStringLiteral("README"), "Unknown File", "None");
    row("key with a dot", QStringLiteral("a.c"), "Unknown File", "None");
    row("two characters", QStringLiteral("ab"), "Unknown File", "None");
    row("empty name", QString(), "Unknown File", "None");
    row("mpeg is PEG", QStringLiteral("movie.mpeg"), "JPEG Image", "Jpg");
    row("mpv2 falls back", QStringLiteral("x.mpv2"), "Unknown File", "None");
    row("key from the end only", QStringLiteral("exe.bak"), "Unknown File", "None");
    row("accented letter", QStringLiteral("x.\u00e9xe"), "Unknown File", "None");
    row("dotless i upper-cases to I", QStringLiteral("x.\u0131ni"), "Configuration Setting", "Ini");
    row("emoji", QStringLiteral("x.\U0001F600"), "Unknown File", "None");
}

void TestFileTypes::lookup()
{
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, iconKey);

    const FileType type = LookupFileType(name);
    QCOMPARE(type.description, description);
    QCOMPARE(type.iconKey, iconKey);
    QCOMPARE(type.smallIconKey(), QStringLiteral("sml") + iconKey);

    const FileType &indexed = fileTypeAt(fileTypeIndex(name));
    QCOMPARE(indexed.description, description);
    QCOMPARE(indexed.iconKey, iconKey);
}

QTEST_GUILESS_MAIN(TestFileTypes)
#include "tst_filetypes.moc"
