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

private Q_SLOTS:
    void init() { QFile::remove(TestSupport::settingsFile()); }
    void cleanup();
    void table_data();
    void table();
    void roundTrip();
    void numbers_data();
    void numbers();
    void garbage();
    void readOnlyFile();

private:
    static void writeFile(const QByteArray &bytes)
    {
        QVERIFY(QDir().mkpath(QFileInfo(TestSupport::settingsFile()).path()));
        QFile file(TestSupport::settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    bool m_immutable = false;
};

void TestSettings::cleanup()
{
    const QString file = TestSupport::settingsFile();
    if (m_immutable)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), file});
    m_immutable = false;
    QFile::setPermissions(QFileInfo(file).path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(file);
}

void TestSettings::table_data()
{
    QTest::addColumn<Setting>("setting");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("fallback"); // null: no default

    const QString none;
    QTest::newRow("Top") << Setting::MainTop << "Main"
                         << "Top" << none;
    QTest::newRow("Left") << Setting::MainLeft << "Main"
                          << "Left" << none;
    QTest::newRow("Width") << Setting::MainWidth << "Main"
                           << "Width" << none;
    QTest::newRow("Height") << Setting::MainHeight << "Main"
                            << "Height" << none;
    QTest::newRow("Window") << Setting::MainWindow << "Main"
                            << "Window" << none;
    QTest::newRow("Driver") << Setting::Driver << "Setting"
                            << "Driver"
                            << "x:\\";
    QTest::newRow("Path") << Setting::Path << "Setting"
                          << "Path"
                          << "x:\\temp\\Pelmo";
    QTest::newRow("Audit Timeout") << Setting::AuditTimeout << "Setting"
                                   << "Audit Timeout"
                                   << "60000";
    for (int c = 1; c <= 4; ++c) {
        const QString key = QStringLiteral("Column%1").arg(c);
        QTest::newRow(qPrintable(key)) << SettingsStore::listViewColumn(c) << "List View" << key << none;
    }
    const char *sizes[] = {"1100", "420", "320", "320", "520"};
    for (int c = 1; c <= 5; ++c) {
        const QString key = QStringLiteral("ColumnSize%1").arg(c);
        QTest::newRow(qPrintable(key)) << SettingsStore::columnSize(c) << "FileList" << key
                                       << QString::fromLatin1(sizes[c - 1]);
    }
}

// Every key has its section, name and default, and an empty store reads them.
void TestSettings::table()
{
    QFETCH(Setting, setting);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, fallback);

    QCOMPARE(SettingsStore::section(setting), section);
    QCOMPARE(SettingsStore::key(setting), key);
    QCOMPARE(SettingsStore::defaultValue(setting).value_or(QString()), fallback);

    const SettingsStore store;
    QCOMPARE(store.read(setting), fallback.isNull() ? QString() : fallback);
    QCOMPARE(store.read(setting, QStringLiteral("given")), QStringLiteral("given"));
    QVERIFY(!QFile::exists(TestSupport::settingsFile()));
}

// Each write is on disk, under its section and key, when it returns.
void TestSettings::roundTrip()
{
    SettingsStore store;
    QCOMPARE(store.fileName(), TestSupport::settingsFile());
    for (int i = 0; i <= int(Setting::ColumnSize5); ++i) {
        const auto setting = Setting(i);
        const QString text = QStringLiteral("value %1 ä/\\=;\"").arg(i);
        store.write(setting, text);
        const QSettings disk(TestSupport::settingsFile(), QSettings::IniFormat);
        QCOMPARE(
            disk.value(SettingsStore::section(setting) + QLatin1Char('/') + SettingsStore::key(setting)).toString(),
            text);
        QCOMPARE(SettingsStore().read(setting), text);
    }
    // A stored empty text is a value, not an absent key.
    store.write(Setting::AuditTimeout, QString());
    QCOMPARE(SettingsStore().read(Setting::AuditTimeout), QString());
}

void TestSettings::numbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("stored"); // the value written back

    QTest::newRow("whole") << "1100" << true << 1100.0 << "1100";
    QTest::newRow("decimal comma") << "1234,5" << true << 1234.5 << "1234,5";
    QTest::newRow("no group separator") << "1234567" << true << 1234567.0 << "1234567";
    QTest::newRow("negative, blanks around") << " -90 " << true << -90.0 << "-90";
    QTest::newRow("C locale point") << "1.5" << true << 1.5 << "1,5";
    QTest::newRow("empty") << "" << false << 0.0 << "";
    QTest::newRow("number then word") << "12px" << false << 0.0 << "";
    QTest::newRow("infinite") << "inf" << false << 0.0 << "";
    QTest::newRow("overflow") << "1e999" << false << 0.0 << "";
}

void TestSettings::numbers()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(double, value);
    QFETCH(QString, stored);

    SettingsStore store;
    store.write(Setting::MainTop, text);
    const std::optional<double> parsed = SettingsStore().readNumber(Setting::MainTop);
    QCOMPARE(parsed.has_value(), isNumber);
    if (!isNumber)
        return;
    QCOMPARE(*parsed, value);
    store.writeNumber(Setting::MainLeft, value);
    QCOMPARE(SettingsStore().read(Setting::MainLeft), stored);
}

// A settings file full of garbage reads as an empty store does, start-up
// keeps its design values, and the next write still lands.
void TestSettings::garbage()
{
    ScriptedDialogs dialogs;
    frmMain clean(dialogs);
    clean.Form_Load();

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
void TestSettings::readOnlyFile()
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
        QVERIFY(win.close());
    }
    QCOMPARE(dialogs.messages().size(), 1);

    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), before);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
