// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include <cerrno>
#include <cstdarg>

// A decimal comma locale, so that a number stored or read in the C locale shows.
static void useCommaLocale()
{
    qputenv("LC_ALL", "de_DE.UTF-8");
}
Q_CONSTRUCTOR_FUNCTION(useCommaLocale)

Q_DECLARE_METATYPE(Setting)

// Faults of the settings file, armed by the test: a full disk, a file that cannot be read, a disk that stops answering.
enum class Fault { None, DiskFull, Unreadable, Stuck };
static std::atomic<Fault> g_fault {Fault::None};
static TestSupport::Latch *g_stuck = nullptr;

// Only the rewrites write beside the window's thread here. Others write too, and also before and after the
// application (fontconfig writes its caches as the application goes, on a machine that has none yet).
extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void *, size_t)>(dlsym(RTLD_NEXT, "write"));
    const QCoreApplication *app = g_fault == Fault::None ? nullptr : QCoreApplication::instance();
    const bool rewrite = app && fd > STDERR_FILENO && QThread::currentThread() != app->thread();
    if (rewrite && g_fault == Fault::Stuck)
        g_stuck->wait();
    else if (rewrite && g_fault == Fault::DiskFull)
        return errno = ENOSPC, -1;
    return real(fd, data, size);
}

extern "C" int open64(const char *path, int flags, ...)
{
    static const auto real = reinterpret_cast<int (*)(const char *, int, ...)>(dlsym(RTLD_NEXT, "open64"));
    va_list args;
    va_start(args, flags);
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
    va_end(args);
    const bool fails
        = g_fault == Fault::Unreadable && (flags & O_ACCMODE) == O_RDONLY && QByteArray(path).endsWith("/Vardel.ini");
    return fails ? (errno = EIO, -1) : real(path, flags, mode);
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
        QTest::newRow("control characters") << Setting::Path << QString::fromUtf8("a\nb\001c\t");
        // Hex digits and a blank right after escapes, each range's ends.
        QTest::newRow("after escapes") << Setting::Path
                                       << QChar(1)
                + QStringList {"0", "9", "a", "f", "g", "A", "F", " x"}.join(QChar(1));
        QTest::newRow("beyond 16 bits") << Setting::Driver << QString::fromUtf8("\xF0\x9F\x98\x80");
        // A folder whose name is not valid UTF-8 keeps its bytes.
        QTest::newRow("a byte that is no UTF-8") << Setting::Path << FileNames::decode("/w/bad\377d");
        QTest::newRow("empty, not absent") << Setting::Path << QString();
    }

    // QSettings reads each text back; values another program left in the file stay.
    void fileFormat()
    {
        QFETCH(Setting, setting);
        QFETCH(QString, text);

        QSettings(TestSupport::settingsFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("Other/a09zAZ_-.=%b"), QStringList {"a", "b c"});
        SettingsStore store; // which reads what it wrote, as a new one reads the file
        store.write(setting, text);
        const QString key = SettingsStore::section(setting) + QLatin1Char('/') + SettingsStore::key(setting);
        QCOMPARE(TestSupport::stored(key), QVariant(text));
        QCOMPARE(TestSupport::stored(QStringLiteral("Other/a09zAZ_-.=%b")), QVariant(QStringList {"a", "b c"}));
        QVERIFY(SettingsStore().read(setting) == text && store.read(setting) == text);
        const QByteArray file = TestSupport::readFile(TestSupport::settingsFile()); // keys as QSettings has them
        QVERIFY(!file.contains("\\x67") && file.contains("\na09zAZ_-.%3D%25b=")); // a "g" is no hex digit
    }

    void faults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<bool>("fromStart"); // the file cannot be read at the store's first use either
        QTest::newRow("disk full") << Fault::DiskFull << false;
        QTest::newRow("unreadable at the rewrite") << Fault::Unreadable << false;
        QTest::newRow("never readable") << Fault::Unreadable << true;
        QTest::newRow("a rewrite stuck") << Fault::Stuck << false;
    }

    // Nothing the file held is lost: a rewrite that cannot read it back writes over what it read last; one that fails
    // or never read it leaves it whole, and the next tries again. Writes meanwhile follow a stuck one; the newest wins.
    void faults()
    {
        QFETCH(Fault, fault);
        QFETCH(bool, fromStart);
        const QByteArray before = "[Main]\nTop=900\n\n[Other]\nlist=a, b\nrow=" + QByteArray(QTest::currentDataTag())
            + "\n\n[Setting]\nAudit%20Timeout=7000\nPath=/old\n\n";
        QVERIFY(TestSupport::writeFile(TestSupport::settingsFile(), before));
        TestSupport::Latch latch;
        g_stuck = &latch;
        SettingsStore store;
        g_fault = fromStart ? fault : Fault::None;
        QCOMPARE(store.read(Setting::Path), fromStart ? "x:\\temp\\Pelmo" : "/old");
        // Rewritten unseen by another program: what the store read is all it knows of the file.
        QVERIFY(TestSupport::writeFile(TestSupport::settingsFile(), before));
        g_fault = fault == Fault::Unreadable ? fault : Fault::None;
        store.write(Setting::Column1, QStringLiteral("100"));
        QVERIFY(SettingsStore::awaitRewrites(10000));
        g_fault = fault;
        store.write(Setting::Column2, QStringLiteral("200"));
        if (fault == Fault::Stuck) {
            QTRY_COMPARE(latch.entered.load(), 1);
            store.write(Setting::Column2, QStringLiteral("300"));
            QVERIFY(!SettingsStore::awaitRewrites(0) && !latch.windowWaited);
            latch.open = true;
        }
        QVERIFY(SettingsStore::awaitRewrites(10000));
        g_fault = Fault::None;
        const QByteArray columns = "[List%20View]\nColumn1=100\n";
        if (fault == Fault::DiskFull || fromStart) {
            QCOMPARE(TestSupport::readFile(TestSupport::settingsFile()), fromStart ? before : columns + '\n' + before);
            store.write(Setting::Column1, QStringLiteral("100"));
        }
        QCOMPARE(TestSupport::readFile(TestSupport::settingsFile()),
                 columns + "Column2=" + (fault == Fault::Stuck ? "300" : "200") + "\n\n" + before);
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
