#include "TestSupport.h"

#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void cleanup() { QFile::remove(TestSupport::settingsFile()); }

    void table_data()
    {
        QTest::addColumn<Setting>("setting");
        QTest::addColumn<QString>("path"); // section/key as on disk
        QTest::addColumn<QString>("fallback"); // null: no default

        const auto row = [](Setting setting, const QString &path, const char *fallback) {
            QTest::newRow(qPrintable(path)) << setting << path << QString::fromLatin1(fallback);
        };
        row(Setting::MainTop, QStringLiteral("Main/Top"), nullptr);
        row(Setting::MainLeft, QStringLiteral("Main/Left"), nullptr);
        row(Setting::MainWidth, QStringLiteral("Main/Width"), nullptr);
        row(Setting::MainHeight, QStringLiteral("Main/Height"), nullptr);
        row(Setting::MainWindow, QStringLiteral("Main/Window"), nullptr);
        row(Setting::Driver, QStringLiteral("Setting/Driver"), "x:\\");
        row(Setting::Path, QStringLiteral("Setting/Path"), "x:\\temp\\Pelmo");
        row(Setting::AuditTimeout, QStringLiteral("Setting/Audit Timeout"), "60000");
        const char *sizes[] = {"1100", "420", "320", "320", "520"};
        for (int c = 1; c <= 5; ++c) {
            if (c <= 4)
                row(SettingsStore::listViewColumn(c), QStringLiteral("List View/Column%1").arg(c), nullptr);
            row(SettingsStore::columnSize(c), QStringLiteral("FileList/ColumnSize%1").arg(c), sizes[c - 1]);
        }
    }

    // An empty store reads each key's default. Each write is on disk, under
    // its section and key, when it returns (or when its batch ends); a stored
    // empty text is a value, not an absent key.
    void table()
    {
        QFETCH(Setting, setting);
        QFETCH(QString, path);
        QFETCH(QString, fallback);

        SettingsStore store;
        QCOMPARE(store.read(setting), fallback);
        for (const QString &text : {QStringLiteral("value ä/\\=;\""), QString()}) {
            if (text.isEmpty()) {
                // Within a batch the write reaches the disk when the batch ends.
                SettingsStore::Batch batch(store);
                store.write(setting, text);
            } else {
                store.write(setting, text);
            }
            // Read from a copy: settings objects of one file share what is not yet written.
            QTemporaryDir copy;
            QVERIFY(QFile::copy(TestSupport::settingsFile(), copy.filePath(QStringLiteral("copy.ini"))));
            QCOMPARE(QSettings(copy.filePath(QStringLiteral("copy.ini")), QSettings::IniFormat).value(path).toString(),
                     text);
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
        QFile file(TestSupport::settingsFile());
        QVERIFY(QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly));
        file.write("[Main]\nTop=" + text.toUtf8() + '\n');
        file.close();
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
