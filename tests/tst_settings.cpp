#include "TestSupport.h"

#include "settings/SettingsStore.h"

#include <cerrno>

// A decimal comma locale, so that a number stored or read in the C locale shows.
static void useCommaLocale()
{
    qputenv("LC_ALL", "de_DE.UTF-8");
}
Q_CONSTRUCTOR_FUNCTION(useCommaLocale)

Q_DECLARE_METATYPE(Setting)

// Stands in for a full disk: while set, every write to a file fails.
static bool g_diskFull = false;

extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void *, size_t)>(dlsym(RTLD_NEXT, "write"));
    if (g_diskFull && fd > STDERR_FILENO) {
        errno = ENOSPC;
        return -1;
    }
    return real(fd, data, size);
}

// What QSettings reads from a copy of the file (objects of one file share unwritten values).
static QVariant onDisk(const QString &key)
{
    QTemporaryDir copy;
    const QString name = copy.filePath(QStringLiteral("copy.ini"));
    return QFile::copy(TestSupport::settingsFile(), name) ? QSettings(name, QSettings::IniFormat).value(key)
                                                          : QVariant();
}

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QFile::remove(TestSupport::settingsFile()); }

    void fileFormat_data()
    {
        QTest::addColumn<Setting>("setting");
        QTest::addColumn<QString>("text");

        QTest::newRow("a key with a space") << Setting::AuditTimeout << "12345";
        QTest::newRow("a section with a space") << Setting::Column1 << "1234,5";
        QTest::newRow("quotes and separators") << Setting::Path << QString::fromUtf8("C:\\a \"ä\";b=c");
        QTest::newRow("spaces at both ends") << Setting::Path << " x ";
        QTest::newRow("a typed value's look") << Setting::Path << "@Variant(x)";
        QTest::newRow("control characters") << Setting::Path
                                            << QString::fromUtf8("a\nb\x01"
                                                                 "c\t");
        // Hex digits and a blank right after escapes, each range's ends.
        QTest::newRow("after escapes") << Setting::Path
                                       << QChar(1) + QStringList {"0", "9", "a", "f", "A", "F", " x"}.join(QChar(1));
        QTest::newRow("beyond 16 bits") << Setting::Driver << QString::fromUtf8("\xF0\x9F\x98\x80");
        // A folder whose name is not valid UTF-8 keeps its bytes.
        QTest::newRow("a byte that is no UTF-8") << Setting::Path
                                                 << FileNames::decode(QByteArray("/w/bad\xff"
                                                                                 "d"));
        QTest::newRow("empty, not absent") << Setting::Path << QString();
    }

    // QSettings reads each text back; values another program left in the file stay.
    void fileFormat()
    {
        QFETCH(Setting, setting);
        QFETCH(QString, text);

        QSettings(TestSupport::settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("Other/a=%b"), QStringList {"a", "b c"});
        SettingsStore().write(setting, text);
        const QString key = SettingsStore::section(setting) + QLatin1Char('/') + SettingsStore::key(setting);
        QCOMPARE(onDisk(key), QVariant(text));
        QCOMPARE(onDisk(QStringLiteral("Other/a=%b")), QVariant(QStringList {"a", "b c"}));
        QCOMPARE(SettingsStore().read(setting), text);
    }

    // A refused write leaves the old file whole; the next one, same text or not, tries again.

    void diskFull()
    {
        SettingsStore store;
        store.write(Setting::Path, QStringLiteral("old"));
        g_diskFull = true;
        store.write(Setting::Path, QStringLiteral("new"));
        g_diskFull = false;
        QCOMPARE(onDisk(QStringLiteral("Setting/Path")), QVariant(QStringLiteral("old")));
        store.write(Setting::Path, QStringLiteral("new"));
        QCOMPARE(onDisk(QStringLiteral("Setting/Path")), QVariant(QStringLiteral("new")));
    }

    void numbers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("stored"); // the value written back; null: not a number

        QTest::newRow("decimal comma") << "1234,5" << 1234.5 << "1234,5";
        QTest::newRow("no group separator") << "1234567" << 1234567.0 << "1234567";
        QTest::newRow("negative") << " -90 " << -90.0 << "-90";
        QTest::newRow("C locale point") << "1.5" << 1.5 << "1,5";
        QTest::newRow("whole, written with an exponent") << "1e5" << 1e5 << "100000";
        for (const char *text : {"", "12px", "inf", "1e999"})
            QTest::newRow(text) << QString::fromLatin1(text) << 0.0 << QString();
    }

    void numbers()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(QString, stored);

        // As a person or another program would write it: "1234,5" reads as a list.
        QVERIFY(TestSupport::writeFile(TestSupport::settingsFile(), "[Main]\nTop=" + text.toUtf8() + '\n'));

        const std::optional<double> parsed = SettingsStore().readNumber(Setting::MainTop);
        QCOMPARE(parsed.has_value(), !stored.isNull());
        if (!parsed)
            return;
        QCOMPARE(*parsed, value);
        SettingsStore().writeNumber(Setting::MainLeft, value);
        QCOMPARE(SettingsStore().read(Setting::MainLeft), stored);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
