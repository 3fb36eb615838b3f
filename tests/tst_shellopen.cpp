// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "platform/ShellOpen.h"

#include <QProcess>

#include <memory>

#include <sys/wait.h>

namespace {

QString root()
{
    return TestSupport::home().path();
}

} // namespace

// Real GIO in a made-up desktop: our own types, a script as application noting what it got; no system applications.
class TestShellOpen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // No session bus, GVfs daemon or dconf for GIO to wait for or start.
        qputenv("GIO_USE_VFS", "local");
        qputenv("GSETTINGS_BACKEND", "memory");
        qputenv("DBUS_SESSION_BUS_ADDRESS",
                QFile::encodeName(QStringLiteral("unix:path=") + root() + QStringLiteral("/no-bus")));

        // The system's MIME database stays visible, its applications do not.
        const QString system = root() + QStringLiteral("/system");
        QVERIFY(QDir().mkpath(system));
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), system + QStringLiteral("/mime")));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(system));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));

        // Types with an application, two with one that cannot start (terminal; no interpreter), one with none.

        const QString data = root() + QStringLiteral("/data");
        QByteArray types;
        for (const char *type : {"test", "term", "broken", "orphan"})
            types += QByteArray("<mime-type type=\"application/x-vardel-") + type + "\"><glob pattern=\"*.vardel" + type
                + "\"/></mime-type>\n";
        QVERIFY(TestSupport::writeFile(data + QStringLiteral("/mime/packages/vardel-test.xml"),
                                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                       "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                           + types + "</mime-info>\n"));
        QProcess update;
        update.setProcessChannelMode(QProcess::MergedChannels);
        update.start(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")});
        QVERIFY2(update.waitForFinished(60000), "update-mime-database (package shared-mime-info) could not be run");
        QVERIFY2(update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0, update.readAll().constData());

        // Builtins only, so the script does not depend on PATH.
        const QByteArray opener = QFile::encodeName(root() + QStringLiteral("/opener.sh"));
        const QByteArray broken = QFile::encodeName(root() + QStringLiteral("/broken.sh"));
        QVERIFY(TestSupport::writeFile(opener,
                                       "#!/bin/sh\nprintf '%s|%s|%s' \"$1\" \"$PWD\" \"$DESKTOP_STARTUP_ID\" > '"
                                           + QFile::encodeName(marker()) + "'\n"));
        QVERIFY(TestSupport::writeFile(broken, "#!/nonexistent/interp\n"));
        for (const QByteArray &script : {opener, broken})
            QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner));
        QByteArray defaults = "[Default Applications]\n";
        for (const char *type : {"test", "term", "broken"}) {
            QVERIFY(TestSupport::writeFile(
                data + QStringLiteral("/applications/vardel-%1.desktop").arg(QLatin1String(type)),
                QByteArray("[Desktop Entry]\nType=Application\nName=Opener\nExec=\"")
                    + (qstrcmp(type, "broken") == 0 ? broken : opener) + "\" %f\nMimeType=application/x-vardel-" + type
                    + ";\n" + (qstrcmp(type, "term") == 0 ? "Terminal=true\n" : "")));
            defaults += QByteArray("application/x-vardel-") + type + "=vardel-" + type + ".desktop;\n";
        }
        qputenv("PATH", QFile::encodeName(system)); // no terminal to be found
        QVERIFY(TestSupport::writeFile(root() + QStringLiteral("/config/mimeapps.list"), defaults));
    }

    void init()
    {
        QFile::remove(marker());
        m_files = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/files-XXXXXX"));
        QVERIFY(m_files->isValid());
    }

    void open_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("made"); // a file, a folder, or nothing
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("startWindowMs"); // -1: until the application ends

        QTest::newRow("handed over, blanks, '#', '%' and non-Latin")
            << QStringLiteral("Äpfel #2 жук%20.vardeltest") << "file" << 42 << -1;
        QTest::newRow("running past the start window") << QStringLiteral("a.vardeltest") << "file" << 42 << 0;
        QTest::newRow("missing file") << QStringLiteral("gone.vardeltest") << "" << 2 << -1;
        QTest::newRow("missing folder") << QStringLiteral("no such folder/x.vardeltest") << "" << 3 << -1;
        QTest::newRow("folder in the file's place") << QStringLiteral("dir.vardeltest") << "folder" << 2 << -1;
        QTest::newRow("no application") << QStringLiteral("nobody.vardelorphan") << "file" << 31 << -1;
        QTest::newRow("application cannot start") << QStringLiteral("console.vardelterm") << "file" << 27 << -1;
        QTest::newRow("interpreter missing") << QStringLiteral("script.vardelbroken") << "file" << 27 << -1;
    }

    void open()
    {
        QFETCH(QString, name);
        QFETCH(QString, made);
        QFETCH(int, expected);
        QFETCH(int, startWindowMs);

        const QString path = m_files->filePath(name);
        QVERIFY(made != "file" || TestSupport::writeFile(path, "vardel\n"));
        QVERIFY(made != "folder" || QDir().mkdir(path));
        ShellOpen::setStartWindow(startWindowMs);
        QCOMPARE(ShellOpen::open(path, {m_files->path(), 1234}), expected);
        // The application gets the path itself back, however it is spelt, and starts in the watched folder.
        if (expected > 32)
            QTRY_VERIFY_WITH_TIMEOUT(TestSupport::readFile(marker()).endsWith("_TIME1234"), TestSupport::kWaitMs);
        const QByteArray seen = TestSupport::readFile(marker());
        QCOMPARE(seen.left(seen.lastIndexOf('-')),
                 expected > 32
                     ? QFile::encodeName(path + '|' + m_files->path()) + "|vardel-" + QByteArray::number(::getpid())
                     : "");
        // No child is left unreaped.
        siginfo_t ended {};
        QTRY_VERIFY_WITH_TIMEOUT(::waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid == 0,
                                 TestSupport::kWaitMs);
    }

private:
    static QString marker() { return root() + QStringLiteral("/opened"); }

    std::unique_ptr<QTemporaryDir> m_files;
};

QTEST_GUILESS_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
