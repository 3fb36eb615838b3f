// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "actions/ShellErrors.h"
#include "platform/ShellOpen.h"

#include <sys/wait.h>

// Real GIO in a made-up desktop (TestSupport.h), with no terminal to be found.
class TestShellOpen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(TestSupport::fakeDesktop(), "update-mime-database (package shared-mime-info) could not be run");
        qputenv("PATH", QFile::encodeName(TestSupport::home().filePath(QStringLiteral("system"))));
    }

    void init()
    {
        QFile::remove(TestSupport::openedMarker());
        m_files = std::make_unique<QTemporaryDir>(TestSupport::home().filePath(QStringLiteral("files-XXXXXX")));
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
        QVERIFY((made != "file" || TestSupport::writeFile(path, "vardel\n"))
                && (made != "folder" || QDir().mkdir(path)));
        ShellOpen::setStartWindow(startWindowMs);
        QCOMPARE(ShellOpen::open(path, {m_files->path(), 1234}), expected);
        QCOMPARE(ShellErrors::message(expected).isEmpty(), expected > 32); // each failure has its words
        // The application gets the path itself back, however it is spelt, and starts in the watched folder.
        if (expected > 32)
            QTRY_VERIFY(TestSupport::readFile(TestSupport::openedMarker()).endsWith("_TIME1234"));
        const QByteArray seen = TestSupport::readFile(TestSupport::openedMarker());
        QCOMPARE(seen.left(seen.lastIndexOf('-')),
                 expected > 32
                     ? QFile::encodeName(path + '|' + m_files->path()) + "|vardel-" + QByteArray::number(::getpid())
                     : "");
        // No child is left unreaped.
        siginfo_t ended {};
        QTRY_VERIFY(::waitid(P_ALL, 0, &ended, WEXITED | WNOHANG | WNOWAIT) != 0 || ended.si_pid == 0);
    }

private:
    std::unique_ptr<QTemporaryDir> m_files;
};

QTEST_GUILESS_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
