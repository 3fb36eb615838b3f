#include "TestSupport.h"

#include "platform/SysInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Starts fake tools for real: each is a script in a temporary folder that
// leaves a marker file named after itself when it runs.
class TestSysInfo : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Absent, Runs, NotExecutable, WontStart };
    Q_ENUM(Kind)

    struct Fake {
        QString name;
        Kind kind;
    };

private Q_SLOTS:
    void init();
    void cleanup();
    void start_data();
    void start();

private:
    void makeFake(const QString &folder, const QString &name, Kind kind);
    QStringList markers() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_savedPath;
    bool m_hadPath = false;
};

Q_DECLARE_METATYPE(TestSysInfo::Fake)

static const QString kFallback = QStringLiteral("vardel-fake-hardinfo");

void TestSysInfo::init()
{
    m_dir = std::make_unique<QTemporaryDir>(TestSupport::home().path() + QStringLiteral("/sysinfo-XXXXXX"));
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("fallback")));
    m_hadPath = qEnvironmentVariableIsSet("PATH");
    m_savedPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("bin"))));
}

void TestSysInfo::cleanup()
{
    if (m_hadPath)
        qputenv("PATH", m_savedPath);
    else
        qunsetenv("PATH");
}

void TestSysInfo::makeFake(const QString &folder, const QString &name, Kind kind)
{
    if (kind == Kind::Absent)
        return;
    const QString path = m_dir->filePath(folder + QLatin1Char('/') + name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (kind == Kind::WontStart) {
        // Executable, but the kernel cannot run it: its interpreter is missing.
        file.write("#!/nonexistent/vardel-shell\n");
    } else {
        const QByteArray marker = QFile::encodeName(m_dir->filePath(QStringLiteral("started-") + name));
        file.write("#!/bin/sh\nprintf started > '" + marker + "'\n");
    }
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (kind != Kind::NotExecutable)
        permissions |= QFile::ExeOwner;
    QVERIFY(QFile::setPermissions(path, permissions));
}

QStringList TestSysInfo::markers() const
{
    QStringList names = QDir(m_dir->path()).entryList({QStringLiteral("started-*")}, QDir::Files);
    for (QString &name : names)
        name.remove(0, int(qstrlen("started-")));
    return names;
}

void TestSysInfo::start_data()
{
    QTest::addColumn<QStringList>("tools");
    QTest::addColumn<QList<Fake>>("onPath");
    QTest::addColumn<Kind>("fallback");
    QTest::addColumn<bool>("expected");
    QTest::addColumn<QString>("started");

    const QString a = QStringLiteral("vardel-fake-a");
    const QString b = QStringLiteral("vardel-fake-b");
    using K = Kind;

    QTest::newRow("first of the list found")
        << QStringList {a, b} << QList<Fake> {{a, K::Runs}, {b, K::Runs}} << K::Runs << true << a;
    QTest::newRow("first absent, second found")
        << QStringList {a, b} << QList<Fake> {{b, K::Runs}} << K::Runs << true << b;
    QTest::newRow("not executable counts as absent")
        << QStringList {a, b} << QList<Fake> {{a, K::NotExecutable}, {b, K::Runs}} << K::Runs << true << b;
    QTest::newRow("none found, fallback runs") << QStringList {a} << QList<Fake> {} << K::Runs << true << kFallback;
    QTest::newRow("empty list, fallback runs") << QStringList {} << QList<Fake> {} << K::Runs << true << kFallback;
    QTest::newRow("found one will not start, nothing else tried")
        << QStringList {a, b} << QList<Fake> {{a, K::WontStart}, {b, K::Runs}} << K::Runs << false << QString();
    QTest::newRow("fallback will not start") << QStringList {} << QList<Fake> {} << K::WontStart << false << QString();
    QTest::newRow("fallback not executable")
        << QStringList {a} << QList<Fake> {} << K::NotExecutable << false << QString();
    QTest::newRow("nothing anywhere") << QStringList {a} << QList<Fake> {} << K::Absent << false << QString();
}

void TestSysInfo::start()
{
    QFETCH(QStringList, tools);
    QFETCH(QList<Fake>, onPath);
    QFETCH(Kind, fallback);
    QFETCH(bool, expected);
    QFETCH(QString, started);

    for (const Fake &fake : onPath)
        makeFake(QStringLiteral("bin"), fake.name, fake.kind);
    makeFake(QStringLiteral("fallback"), kFallback, fallback);

    const SysInfo::Locations where {tools, m_dir->filePath(QStringLiteral("fallback")), kFallback};
    QCOMPARE(SysInfo::start(where), expected);
    if (started.isEmpty()) {
        QVERIFY(markers().isEmpty());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!markers().isEmpty(), 10000);
    QCOMPARE(markers(), QStringList {started});
}

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
