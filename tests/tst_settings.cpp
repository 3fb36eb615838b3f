#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>

// The whole process runs in a locale with a decimal comma, so that a number
// stored or read in the C locale shows.
static void useCommaLocale()
{
    qputenv("LC_ALL", "de_DE.UTF-8");
}
Q_CONSTRUCTOR_FUNCTION(useCommaLocale)

Q_DECLARE_METATYPE(Setting)

class TestSettings : public QObject
{
    Q_OBJECT

private:
    static void writeFile(const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(TestSupport::settingsFile()).path()));
        QFile file(TestSupport::settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    bool m_immutable = false;

private Q_SLOTS:
    void cleanup()
    {
        const QString file = TestSupport::settingsFile();
        if (m_immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file});
        m_immutable = false;
        QFile::setPermissions(QFileInfo(file).path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QFile::remove(file);
    }

    void table_data()
    {
        QTest::addColumn<Setting>("setting");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("fallback"); // null: no default

        const struct {
            Setting setting;
            const char *section, *key, *fallback;
        } rows[] = {
            {Setting::MainTop, "Main", "Top", nullptr},
            {Setting::MainLeft, "Main", "Left", nullptr},
            {Setting::MainWidth, "Main", "Width", nullptr},
            {Setting::MainHeight, "Main", "Height", nullptr},
            {Setting::MainWindow, "Main", "Window", nullptr},
            {Setting::Driver, "Setting", "Driver", "x:\\"},
            {Setting::Path, "Setting", "Path", "x:\\temp\\Pelmo"},
            {Setting::AuditTimeout, "Setting", "Audit Timeout", "60000"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.key) << r.setting << r.section << r.key << QString::fromLatin1(r.fallback);
        const char *sizes[] = {"1100", "420", "320", "320", "520"};
        for (int c = 1; c <= 5; ++c) {
            const QString column = QStringLiteral("Column%1").arg(c), size = QStringLiteral("ColumnSize%1").arg(c);
            if (c <= 4)
                QTest::newRow(qPrintable(column))
                    << SettingsStore::listViewColumn(c) << "List View" << column << QString();
            QTest::newRow(qPrintable(size))
                << SettingsStore::columnSize(c) << "FileList" << size << QString::fromLatin1(sizes[c - 1]);
        }
    }

    // Every key has its section, name and default, and an empty store reads
    // them. Each write is on disk, under its section and key, when it
    // returns; a stored empty text is a value, not an absent key.
    void table()
    {
        QFETCH(Setting, setting);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, fallback);

        QCOMPARE(SettingsStore::section(setting), section);
        QCOMPARE(SettingsStore::key(setting), key);
        QCOMPARE(SettingsStore::defaultValue(setting).value_or(QString()), fallback);

        SettingsStore store;
        QCOMPARE(store.read(setting), fallback);
        QCOMPARE(store.read(setting, QStringLiteral("given")), QStringLiteral("given"));
        QVERIFY(!QFile::exists(TestSupport::settingsFile()));

        for (const QString &text : {QStringLiteral("value ä/\\=;\""), QString()}) {
            store.write(setting, text);
            const QSettings disk(TestSupport::settingsFile(), QSettings::IniFormat);
            QCOMPARE(disk.value(section + QLatin1Char('/') + key).toString(), text);
            QCOMPARE(SettingsStore().read(setting), text);
        }
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("stored"); // the value written back; null: not a number

        QTest::newRow("decimal comma") << "1234,5" << 1234.5 << "1234,5";
        QTest::newRow("no group separator") << "1234567" << 1234567.0 << "1234567";
        QTest::newRow("negative, blanks around") << " -90 " << -90.0 << "-90";
        QTest::newRow("C locale point") << "1.5" << 1.5 << "1,5";
        for (const char *text : {"", "12px", "inf", "1e999"})
            QTest::newRow(text) << QString::fromLatin1(text) << 0.0 << QString();
    }

    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, stored);

        SettingsStore store;
        store.write(Setting::MainTop, text);
        const std::optional<double> parsed = SettingsStore().readNumber(Setting::MainTop);
        QCOMPARE(parsed.has_value(), !stored.isNull());
        if (!parsed)
            return;
        QCOMPARE(*parsed, value);
        store.writeNumber(Setting::MainLeft, value);
        QCOMPARE(SettingsStore().read(Setting::MainLeft), stored);
    }

    // A settings file full of garbage reads as an empty store does, start-up
    // keeps its design values, and the next write still lands.
    void garbage()
    {
        ScriptedDialogs dialogs;
        frmMain clean(dialogs);
        clean.Form_Load();
        TestSupport::settle(clean.watch());

        static const char kJunk[] = "\x00\x01\xff\xfe\x80garbage\r\n[Main\nTop\n=5\nLeft=\x01\x02\nWidth=abc\n"
                                    "Window=zwei\n[Setting]\nDriver=\xc3\x28\nAudit%20Timeout=lots\n[List%20View]\n"
                                    "Column1=\x00\x00\nColumn2==\n[FileList]\nColumnSize1=wide\nColumnSize2=1e999\n"
                                    "[[[\n=\n\\\n\"\n";
        QByteArray junk(kJunk, sizeof kJunk - 1);
        for (int i = 0; i < 256; ++i)
            junk.append(char(i));
        writeFile(junk);

        const SettingsStore store;
        for (int i = 0; i <= int(Setting::ColumnSize5); ++i) {
            const auto setting = Setting(i);
            if (setting == Setting::Driver || setting == Setting::Path)
                continue;
            // Nothing usable, or the default of a key the garbage hid.
            const std::optional<double> n = store.readNumber(setting);
            const std::optional<QString> fallback = SettingsStore::defaultValue(setting);
            QVERIFY2(!n || (fallback && *n == fallback->toDouble()), qPrintable(SettingsStore::key(setting)));
        }

        frmMain win(dialogs);
        win.Form_Load();
        TestSupport::settle(win.watch());
        QCOMPARE(win.geometry(), clean.geometry());
        QVERIFY(!win.isMinimized() && !win.isMaximized());
        QCOMPARE(win.auditInterval(), 60000);
        for (int c = 1; c <= 5; ++c)
            QCOMPARE(win.columnWidthTwips(c), clean.columnWidthTwips(c));
        QVERIFY(dialogs.asked.isEmpty());

        SettingsStore().write(Setting::AuditTimeout, QStringLiteral("30000"));
        QCOMPARE(SettingsStore().read(Setting::AuditTimeout), QStringLiteral("30000"));
    }

    // A write the file system refuses is dropped: the window still closes and
    // the file stays as it was.
    void readOnlyFile()
    {
        const QString file = TestSupport::settingsFile();
        const QByteArray before("[Setting]\nAudit%20Timeout=30000\n");
        writeFile(before);
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(QFileInfo(file).path(), QFile::ReadOwner | QFile::ExeOwner));
        if (QFileInfo(file).isWritable()) {
            // Root writes any file, but not an immutable one.
            m_immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), file}) == 0;
            if (QFileInfo(file).isWritable())
                QSKIP("the settings file stays writable for this user");
        }

        SettingsStore().write(Setting::Path, QStringLiteral("/nowhere"));
        ScriptedDialogs dialogs;
        {
            frmMain win(dialogs);
            win.Form_Load();
            TestSupport::settle(win.watch());
            QVERIFY(win.close());
        }
        QCOMPARE(dialogs.messages().size(), 1);

        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
