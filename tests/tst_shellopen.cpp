#include "TestSupport.h"

#include "platform/ShellOpen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <unistd.h>

// Opens files through the real GIO machinery, in a desktop made up in the
// temporary home: a MIME type of our own whose default application is a
// script that writes down the path it was handed. System applications are
// kept out of sight so that "no application" really means none.
class TestShellOpen : public QObject
{
    Q_OBJECT

public:
    enum class Setup { Readable, Missing, Unreadable, FileAsFolder };
    Q_ENUM(Setup)

private Q_SLOTS:
    void initTestCase();
    void init();
    void open_data();
    void open();

private:
    static QString root() { return TestSupport::home().path(); }
    static QString marker() { return root() + QStringLiteral("/opened"); }
    static QString launcherParent() { return root() + QStringLiteral("/opener-parent"); }
    static QByteArray readFile(const QString &path);
    static bool writeFile(const QString &path, const QByteArray &contents);

    std::unique_ptr<QTemporaryDir> m_files;
};

QByteArray TestShellOpen::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool TestShellOpen::writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

void TestShellOpen::initTestCase()
{
    const QString dataHome = root() + QStringLiteral("/data");
    const QString configHome = root() + QStringLiteral("/config");

    // No session bus, no GVfs daemon, no dconf: GIO must neither wait for
    // nor start any of them on a bare machine.
    qputenv("GIO_USE_VFS", "local");
    qputenv("GSETTINGS_BACKEND", "memory");
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QFile::encodeName(QStringLiteral("unix:path=") + root() + QStringLiteral("/runtime/no-bus")));

    // The system's MIME database stays visible, its applications do not.
    const QString systemData = root() + QStringLiteral("/system-data");
    QVERIFY(QDir().mkpath(systemData));
    if (QFileInfo::exists(QStringLiteral("/usr/share/mime")))
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), systemData + QStringLiteral("/mime")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(systemData));
    const QString systemConfig = root() + QStringLiteral("/system-config");
    QVERIFY(QDir().mkpath(systemConfig));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(systemConfig));

    // Three types: one with an application, one whose application cannot
    // start (it needs a terminal and there is none), one with none at all.
    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/mime/packages")));
    QVERIFY(writeFile(dataHome + QStringLiteral("/mime/packages/vardel-test.xml"),
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                      "  <mime-type type=\"application/x-vardel-test\">\n"
                      "    <comment>Vardel test file</comment>\n"
                      "    <glob pattern=\"*.vardeltest\"/>\n"
                      "  </mime-type>\n"
                      "  <mime-type type=\"application/x-vardel-terminal\">\n"
                      "    <glob pattern=\"*.vardelterm\"/>\n"
                      "  </mime-type>\n"
                      "  <mime-type type=\"application/x-vardel-orphan\">\n"
                      "    <comment>Vardel file nobody opens</comment>\n"
                      "    <glob pattern=\"*.vardelorphan\"/>\n"
                      "  </mime-type>\n"
                      "</mime-info>\n"));
    QProcess update;
    update.setProcessChannelMode(QProcess::MergedChannels);
    update.start(QStringLiteral("update-mime-database"), {dataHome + QStringLiteral("/mime")});
    QVERIFY2(update.waitForFinished(60000), "update-mime-database (package shared-mime-info) could not be run");
    QVERIFY2(update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0, update.readAll().constData());

    // Builtins only, so the script does not depend on PATH.
    const QString opener = root() + QStringLiteral("/opener.sh");
    QVERIFY(writeFile(opener,
                      "#!/bin/sh\n"
                      "printf '%s' \"$PPID\" > '"
                          + QFile::encodeName(launcherParent())
                          + "'\n"
                            "printf '%s' \"$1\" > '"
                          + QFile::encodeName(marker()) + "'\n"));
    QVERIFY(QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    QVERIFY(writeFile(dataHome + QStringLiteral("/applications/vardel-test-opener.desktop"),
                      "[Desktop Entry]\n"
                      "Type=Application\n"
                      "Name=Vardel test opener\n"
                      "Exec=\""
                          + QFile::encodeName(opener)
                          + "\" %f\n"
                            "MimeType=application/x-vardel-test;\n"
                            "NoDisplay=true\n"));
    QVERIFY(writeFile(dataHome + QStringLiteral("/applications/vardel-test-console.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Console\nTerminal=true\nExec=\""
                          + QFile::encodeName(opener) + "\" %f\nMimeType=application/x-vardel-terminal;\n"));
    QVERIFY(writeFile(configHome + QStringLiteral("/mimeapps.list"),
                      "[Default Applications]\n"
                      "application/x-vardel-test=vardel-test-opener.desktop;\n"
                      "application/x-vardel-terminal=vardel-test-console.desktop;\n"));
    // No terminal to be found.
    qputenv("PATH", QFile::encodeName(systemConfig));
}

void TestShellOpen::init()
{
    QFile::remove(marker());
    QFile::remove(launcherParent());
    m_files = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/files-XXXXXX"));
    QVERIFY(m_files->isValid());
}

void TestShellOpen::open_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<int>("expected");

    QTest::newRow("handed over") << QStringLiteral("a b%.vardeltest") << Setup::Readable << 42;
    QTest::newRow("handed over, '#' and non-Latin")
        << QStringLiteral("Äpfel #2 жук%20.vardeltest") << Setup::Readable << 42;
    QTest::newRow("missing file") << QStringLiteral("gone.vardeltest") << Setup::Missing << 2;
    QTest::newRow("missing folder") << QStringLiteral("no such folder/x.vardeltest") << Setup::Missing << 3;
    QTest::newRow("folder is a file") << QStringLiteral("plain/x.vardeltest") << Setup::FileAsFolder << 3;
    QTest::newRow("unreadable") << QStringLiteral("locked.vardeltest") << Setup::Unreadable << 5;
    QTest::newRow("no application") << QStringLiteral("nobody.vardelorphan") << Setup::Readable << 31;
    QTest::newRow("application cannot start") << QStringLiteral("console.vardelterm") << Setup::Readable << 27;
}

void TestShellOpen::open()
{
    QFETCH(QString, name);
    QFETCH(Setup, setup);
    QFETCH(int, expected);

    const QString path = m_files->filePath(name);
    switch (setup) {
    case Setup::Readable:
        QVERIFY(writeFile(path, "vardel\n"));
        break;
    case Setup::Missing:
        break;
    case Setup::Unreadable:
        if (geteuid() == 0)
            QSKIP("root reads every file");
        QVERIFY(writeFile(path, "vardel\n"));
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        break;
    case Setup::FileAsFolder:
        QVERIFY(writeFile(QFileInfo(path).absolutePath(), "not a folder\n"));
        break;
    }

    const int code = ShellOpen::open(path);
    QCOMPARE(code, expected);
    if (code <= 32) {
        QVERIFY(!QFile::exists(marker()));
        return;
    }
    // The application gets the path itself back, however it is spelt.
    QTRY_COMPARE_WITH_TIMEOUT(readFile(marker()), QFile::encodeName(path), 10000);
    // Spawned detached: its parent is not this process, so it never lingers
    // here as a zombie.
    QVERIFY(!readFile(launcherParent()).isEmpty());
    QVERIFY(readFile(launcherParent()) != QByteArray::number(QCoreApplication::applicationPid()));
}

QTEST_GUILESS_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
