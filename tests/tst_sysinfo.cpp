#include "TestSupport.h"

#include "platform/SysInfo.h"

#include <memory>

// Fake tools, scripts leaving a marker named after themselves; the search path holds only them.
class TestSysInfo : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Absent, Runs, NotExecutable, WontStart };
    Q_ENUM(Kind)

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    void makeFake(const QString &path, Kind kind)
    {
        if (kind == Kind::Absent)
            return;
        // One that will not start is executable, but its interpreter is missing.
        const QString marker = m_dir->filePath(QStringLiteral("started-") + QFileInfo(path).fileName());
        QVERIFY(TestSupport::writeFile(path,
                                       kind == Kind::WontStart
                                           ? QByteArray("#!/nonexistent/vardel-shell\n")
                                           : "#!/bin/sh\n: > '" + QFile::encodeName(marker) + "'\n"));
        QVERIFY(QFile::setPermissions(path,
                                      QFile::ReadOwner | QFile::WriteOwner
                                          | (kind == Kind::NotExecutable ? QFile::Permissions() : QFile::ExeOwner)));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && QDir(m_dir->path()).mkdir(QStringLiteral("bin")));
        qputenv("PATH", QFile::encodeName(m_dir->filePath(QStringLiteral("bin"))));
    }

    void start_data()
    {
        // Two tools on the search path in turn, then the folder's own; "started": the one that ran.

        QTest::addColumn<Kind>("first");
        QTest::addColumn<Kind>("second");
        QTest::addColumn<Kind>("fallback");
        QTest::addColumn<QString>("started");

        using K = Kind;
        QTest::newRow("first of the list found") << K::Runs << K::Runs << K::Runs << "first";
        QTest::newRow("not executable counts as absent") << K::NotExecutable << K::Runs << K::Runs << "second";
        QTest::newRow("none found, fallback runs") << K::Absent << K::Absent << K::Runs << "fallback";
        QTest::newRow("found one will not start, nothing else tried") << K::WontStart << K::Runs << K::Runs << "";
    }

    void start()
    {
        QFETCH(Kind, first);
        QFETCH(Kind, second);
        QFETCH(Kind, fallback);
        QFETCH(QString, started);

        makeFake(m_dir->filePath(QStringLiteral("bin/first")), first);
        makeFake(m_dir->filePath(QStringLiteral("bin/second")), second);
        makeFake(m_dir->filePath(QStringLiteral("fallback")), fallback);
        const auto markers = [&] { return QDir(m_dir->path()).entryList({QStringLiteral("started-*")}, QDir::Files); };

        QCOMPARE(SysInfo::start(
                     {{QStringLiteral("first"), QStringLiteral("second")}, m_dir->path(), QStringLiteral("fallback")}),
                 !started.isEmpty());
        if (!started.isEmpty())
            QTRY_VERIFY_WITH_TIMEOUT(!markers().isEmpty(), 10000);
        QCOMPARE(markers(), started.isEmpty() ? QStringList() : QStringList {QStringLiteral("started-") + started});
    }
};

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
