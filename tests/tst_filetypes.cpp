#include "TestSupport.h"

#include "filelist/FileTypes.h"

class TestFileTypes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookup_data();
    void lookup();
};

// The key is the last three characters of the whole name, upper-cased.
void TestFileTypes::lookup_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("iconKey");

    const auto row = [](const char *tag, const QString &name, const char *description, const char *iconKey) {
        QTest::newRow(tag) << name << QString::fromLatin1(description) << QString::fromLatin1(iconKey);
    };
    row("lower case, z at the end of the alphabet", QStringLiteral("all.zip"), "WinZip File", "Zip");
    row("upper case", QStringLiteral("SETUP.EXE"), "Application", "Exe");
    row("mixed case", QStringLiteral("Notes.Txt"), "Text Document", "Txt");
    row("no dot", QStringLiteral("myexe"), "Application", "Exe");
    row("README is DME", QStringLiteral("README"), "Unknown File", "None");
    row("key with a dot", QStringLiteral("a.c"), "Unknown File", "None");
    // Two characters that follow "E" in memory: nothing before the name is read.
    row("two characters", QString::fromRawData(reinterpret_cast<const QChar *>(u"EXE") + 1, 2), "Unknown File", "None");
    row("empty name", QString(), "Unknown File", "None");
    row("mpeg is PEG", QStringLiteral("movie.mpeg"), "JPEG Image", "Jpg");
    row("second key of a row", QStringLiteral("sound.mpa"), "Movie Clip", "Mpg");
    row("key from the end only", QStringLiteral("exe.bak"), "Unknown File", "None");
    row("accented letter", QStringLiteral("x.\u00e9xe"), "Unknown File", "None");
    row("dotless i upper-cases to I", QStringLiteral("x.\u0131ni"), "Configuration Setting", "Ini");
    row("emoji", QStringLiteral("x.\U0001F600"), "Unknown File", "None");
}

void TestFileTypes::lookup()
{
    QFETCH(QString, name);
    QFETCH(QString, iconKey);
    const FileType type = LookupFileType(name);
    QTEST(type.description, "description");
    QCOMPARE(type.iconKey, iconKey);

    QCOMPARE(type.smallIconKey(), QStringLiteral("sml") + iconKey);
}

QTEST_GUILESS_MAIN(TestFileTypes)
#include "tst_filetypes.moc"
