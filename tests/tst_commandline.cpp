// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "app/AppPath.h"
#include "app/CommandLine.h"

class TestCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *name : {"folder", "stored", "locked", "-reverse"})
            QVERIFY(QDir(m_root.path()).mkdir(QLatin1String(name)));
        QVERIFY(QFile::setPermissions(m_root.filePath(QStringLiteral("locked")), QFile::ReadOwner));
        QVERIFY(::mkdir(FileNames::encode(m_root.filePath(bad())).constData(), 0700) == 0);
        QVERIFY(TestSupport::writeFile(m_root.filePath(QStringLiteral("file.txt"))));
    }

    void parse_data()
    {
        // "@" stands for the temporary folder, which is also the current one.
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode"); // -1: the program runs
        QTest::addColumn<QString>("told"); // the folder watched, or the text on standard output (0) or error

        QTest::newRow("relative") << QStringList {"stored/../folder/"} << -1 << "@/folder";
        QTest::newRow("not valid UTF-8") << QStringList {bad()} << -1 << "@/" + bad();
        QTest::newRow("missing") << QStringList {"@/missing"} << 2 << "vardel: @/missing: no such folder\n";
        QTest::newRow("file") << QStringList {"file.txt"} << 2 << "vardel: file.txt: not a folder\n";
        QTest::newRow("cannot be listed") << QStringList {"locked"} << 2 << "vardel: locked: folder cannot be read\n";
        QTest::newRow("two") << QStringList {"folder", "stored"} << 2
                             << "vardel: one folder can be watched, 2 were given\n";
        QTest::newRow("version") << QStringList {"--version", "@/missing"} << 0 << "Vardel 1.0.0";
        QTest::newRow("help") << QStringList {"-h"} << 0 << "Usage: vardel [options] [folder]";
        QTest::newRow("empty") << QStringList {""} << 2 << "vardel: : no such folder\n";
        // Qt's own options, and their values, are Qt's; after "--" all is the program's.
        QTest::newRow("Qt's options") << QStringList {"--reverse", "-style=fusion", "-name", "folder", "stored"} << -1
                                      << "@/stored";
        QTest::newRow("after --") << QStringList {"--", "-reverse"} << -1 << "@/-reverse";
        QTest::newRow("version, Qt's") << QStringList {"-platform", "xcb", "--version"} << 0 << "Vardel 1.0.0";
        QTest::newRow("Qt's, no value") << QStringList {"-session"} << 2 << "vardel: -session needs a value\n";
    }

    void parse()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, told);
        if (arguments == QStringList {"locked"} && geteuid() == 0)
            QSKIP("root lists every folder");

        const auto here = [this](QString s) { return s.replace(QLatin1Char('@'), m_root.path()); };
        QStringList all {QStringLiteral("/usr/bin/vardel")};
        for (const QString &a : arguments)
            all << here(a);
        const CommandLine::Outcome o = CommandLine::parse(all, m_root.path());
        QCOMPARE(o.exit ? o.exitCode : -1, exitCode);
        // What is printed, of help and version their first line; nothing else.
        QCOMPARE(exitCode < 0        ? o.folder
                     : exitCode == 0 ? o.output.section(QLatin1Char('\n'), 0, 0)
                                     : o.error,
                 here(told));
        QCOMPARE(o.folder.isEmpty() + o.output.isEmpty() + o.error.isEmpty(), told.isEmpty() ? 3 : 2);
        // Of the rows that run, one gives Qt anything: its options and the value of -name, each once.
        QStringList qt;
        for (const int i : o.qtArguments)
            qt << all.value(i);
        QCOMPARE(qt, QTest::currentDataTag() == QLatin1String("Qt's options") ? arguments.mid(0, 4) : QStringList());
    }

    // The program folder gets one slash at its end; a development folder's project folder lies below it.
    void appPath()
    {
        QStringList got;
        for (const char *folder : {"/w", "/", "/d/VB", "/d/vb98/", "/d/VB6"})
            got << appPathFor(QLatin1String(folder));
        QCOMPARE(got, (QStringList {"/w/", "/", "/d/VB/My app/Vardel/", "/d/vb98/My app/Vardel/", "/d/VB6/"}));
    }

private:
    static QString bad() { return FileNames::decode("bad\xff-dir"); }
    QTemporaryDir m_root;
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
