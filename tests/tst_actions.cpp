#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileOps.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QDirIterator>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <memory>

#include <sys/stat.h>

using L = QStringList;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &contents, int mode = 0644)
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
        && file.write(contents) == contents.size() && file.flush()
        && ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Every entry under a folder, sorted, as "path=contents" or "path/"; with the
// inode and modification time when asked.
QStringList snapshot(const QString &root, bool identity = false)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QString entry = QDir(root).relativeFilePath(path)
            + (it.fileInfo().isDir() ? QStringLiteral("/") : QLatin1Char('=') + QString::fromUtf8(readFile(path)));
        struct stat st;
        if (identity && ::stat(QFile::encodeName(path).constData(), &st) == 0)
            entry += QStringLiteral(" #%1 %2.%3").arg(st.st_ino).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
        out.append(entry);
    }
    out.sort();
    return out;
}

// Each text the status panel paints.
class StatusLog : public QObject
{
public:
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QString text = static_cast<QLabel *>(watched)->text();
        if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.constLast() != text))
            texts.append(text);
        return false;
    }
};

// The main window shown on a folder, the audit timer stopped.
struct Window {
    ScriptedDialogs dialogs;
    frmMain win {dialogs};
    StatusLog status;

    bool watch(const QString &dir)
    {
        win.setAuditInterval(0);
        win.show();
        if (!QTest::qWaitForWindowExposed(&win) || !win.folderTree()->setPath(dir))
            return false;
        if (!TestSupport::settle(win.watch()))
            return false;
        win.setStatusText(QStringLiteral("Idle"));
        win.findChild<QLabel *>(QStringLiteral("statusPanel"))->installEventFilter(&status);
        return true;
    }
    QStringList rows() const
    {
        QStringList names;
        for (int i = 0; i < win.listModel()->rowCount(); ++i)
            names.append(win.listModel()->row(i).name);
        return names;
    }
    void select(const QStringList &names)
    {
        for (int i = 0; i < win.listModel()->rowCount(); ++i) {
            if (names.contains(win.listModel()->row(i).name))
                win.listView()->selectionModel()->select(win.listModel()->index(i, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // Each message box as "title|text".
    QStringList boxes() const
    {
        QStringList out;
        for (const ScriptedDialogs::Asked &a : dialogs.messages())
            out.append(a.box.title + QLatin1Char('|') + a.box.text);
        return out;
    }
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

public:
    enum class Setup { None, Existing, ReadOnly, Folder, Pipe, Unreadable };
    Q_ENUM(Setup)

private Q_SLOTS:
    // A desktop of our own, with no session bus and no system applications:
    // *.vardeltest opens with a script that appends its argument to a marker.
    void initTestCase()
    {
        const QString dataHome = root() + QStringLiteral("/data");
        qputenv("GIO_USE_VFS", "local");
        qputenv("GSETTINGS_BACKEND", "memory");
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=") + root() + "/no-bus"));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(root() + QStringLiteral("/system-data")));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root() + QStringLiteral("/system-config")));
        QVERIFY(writeFile(dataHome + QStringLiteral("/mime/packages/vardel-test.xml"),
                          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                          "<mime-type type=\"application/x-vardel-test\"><glob pattern=\"*.vardeltest\"/></mime-type>\n"
                          "</mime-info>\n"));
        // update-mime-database comes with the package shared-mime-info.
        QCOMPARE(QProcess::execute(QStringLiteral("update-mime-database"), {dataHome + QStringLiteral("/mime")}), 0);

        const QString opener = root() + QStringLiteral("/opener.sh");
        QVERIFY(writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(marker()) + "'\n", 0700));
        QVERIFY(writeFile(dataHome + QStringLiteral("/applications/vardel-test-opener.desktop"),
                          "[Desktop Entry]\nType=Application\nName=Opener\nExec=\"" + QFile::encodeName(opener)
                              + "\" %f\nMimeType=application/x-vardel-test;\n"));
        QVERIFY(writeFile(root() + QStringLiteral("/config/mimeapps.list"),
                          "[Default Applications]\napplication/x-vardel-test=vardel-test-opener.desktop;\n"));
    }

    void init()
    {
        QFile::remove(marker());
        m_watched = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/watched-XXXXXX"));
        m_dest = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/dest-XXXXXX"));
        QVERIFY(m_watched->isValid() && m_dest->isValid());
    }

    void open_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("error"); // the box's "title|message"; empty: the file was opened

        QTest::newRow("plain file") << QStringLiteral("plain.vardeltest") << 0644 << false << QString();
        QTest::newRow("exe inside the name") << QStringLiteral("a.exe.vardeltest") << 0644 << false << QString();
        QTest::newRow("owner execute bit") << QStringLiteral("tool.vardeltest") << 0755 << true << QString();
        QTest::newRow("others' execute bit") << QStringLiteral("other.vardeltest") << 0641 << true << QString();
        QTest::newRow("launcher, any case") << QStringLiteral("Launch.DeskTop") << 0644 << true << QString();
        QTest::newRow("SETUP.Exe") << QStringLiteral("SETUP.Exe") << 0644 << true << QString();
        QTest::newRow("run.bat") << QStringLiteral("run.bat") << 0644 << true << QString();
        QTest::newRow("x.CoM") << QStringLiteral("x.CoM") << 0644 << true << QString();
        QTest::newRow("exe, no application")
            << QStringLiteral("exe") << 0644 << false
            << QStringLiteral("Error #31|There is no program associated with the specified type of file.");
    }

    // Each row is opened together with a plain file after it; a question is
    // answered No.
    void open()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(bool, asked);
        QFETCH(QString, error);

        const QString path = m_watched->filePath(name);
        const QString last = m_watched->filePath(QStringLiteral("zzz.vardeltest"));
        QVERIFY(writeFile(path, "x\n", mode) && writeFile(last, "x\n"));
        Window w;
        QVERIFY(w.watch(m_watched->path()));
        w.win.lvwFile_DblClick(); // nothing selected: nothing happens
        QVERIFY(w.dialogs.asked.isEmpty() && !QFile::exists(marker()));

        w.select({name, QStringLiteral("zzz.vardeltest")});
        w.dialogs.answers = {Dialogs::Answer::No};
        w.win.lvwFile_DblClick();

        QStringList expected;
        if (asked)
            expected.append(QStringLiteral("Executable Warning...|Do you want to run ") + name + QLatin1Char('?'));
        if (!error.isEmpty()) {
            expected.append(error + QLatin1Char('\n') + path);
            const Dialogs::Box box = w.dialogs.asked.constLast().box;
            QVERIFY(box.buttons == Dialogs::Buttons::Ok && box.icon == Dialogs::Icon::Critical);
        }
        QCOMPARE(w.boxes(), expected);
        const L handed = asked || !error.isEmpty() ? L {last} : L {path, last};
        QTRY_COMPARE_WITH_TIMEOUT(handedOver(), handed, 10000);
        QCOMPARE(w.win.statusText(), QStringLiteral("Idle"));
    }

    void openWalk_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("Yes") << Dialogs::Answer::Yes;
        QTest::newRow("No") << Dialogs::Answer::No;
    }

    // One answer covers the rest of the walk. The files are gone once
    // selected, so each open shows the path it was handed.
    void openWalk()
    {
        QFETCH(Dialogs::Answer, answer);
        const QStringList names {QStringLiteral("a.txt"), QStringLiteral("b.exe"), QStringLiteral("c.exe")};
        for (const QString &n : names)
            QVERIFY(writeFile(m_watched->filePath(n), "x"));
        Window w;
        QVERIFY(w.watch(m_watched->path()));
        w.select(names);
        for (const QString &n : names)
            QVERIFY(QFile::remove(m_watched->filePath(n)));

        const auto gone = [&](const QString &n) {
            return QStringLiteral("Error #2|The specified file could not be found.\n") + m_watched->filePath(n);
        };
        QStringList expected {gone(names[0]), QStringLiteral("Executable Warning...|Do you want to run b.exe?")};
        if (answer == Dialogs::Answer::Yes)
            expected << gone(names[1]) << gone(names[2]);

        for (auto handler : {&frmMain::mnuOpen_Click, &frmMain::mPopOpen_Click}) { // each asks afresh
            w.dialogs.reset();
            w.dialogs.answers = {Dialogs::Answer::Ok, answer};
            (w.win.*handler)();
            QCOMPARE(w.boxes(), expected);
            const Dialogs::Box q = w.dialogs.messages().at(1).box;
            QVERIFY(q.buttons == Dialogs::Buttons::YesNo && q.icon == Dialogs::Icon::Warning
                    && q.defaultAnswer == Dialogs::Answer::Yes);
        }
    }

    void copy_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("reply"); // {D} the destination, {W} the watched folder; empty: cancel
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("after"); // the destination folder
        QTest::addColumn<QStringList>("status");

        const L ab {"a.txt", "b.txt"};
        const QString intoD = QStringLiteral("{D}/a.txt; b.txt");
        const L copying {"Copying a.txt...", "Copying b.txt...", "Sleeping..."};
        const L both {"a.txt=alpha", "b.txt=bravo"};
        QTest::newRow("two files into a folder") << ab << intoD << Setup::None << both << copying;
        QTest::newRow("existing file replaced") << ab << intoD << Setup::Existing << both << copying;
        QTest::newRow("read-only file kept, the walk goes on")
            << ab << intoD << Setup::ReadOnly << L {"a.txt=old", "b.txt=bravo"} << copying;
        QTest::newRow("whole path typed") << ab << QStringLiteral("{D}/sub/a.txt; b.txt") << Setup::Folder
                                          << L {"sub/", "sub/a.txt=alpha", "sub/b.txt=bravo"} << copying;
        QTest::newRow("onto themselves") << ab << QStringLiteral("{W}/a.txt; b.txt") << Setup::None << L() << copying;
        QTest::newRow("cancel") << ab << QString() << Setup::None << L() << L();
        QTest::newRow("name lengthened") << ab << QStringLiteral("{D}/xa.txt; b.txt") << Setup::None << L() << L();
        QTest::newRow("folder missing") << L {"a.txt"} << QStringLiteral("{D}/nosuch/a.txt") << Setup::None << L()
                                        << L {"Copying a.txt...", "Sleeping..."};
        QTest::newRow("nothing selected") << L() << QStringLiteral("{D}/") << Setup::None << L() << L {"Sleeping..."};
    }

    void copy()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, reply);
        QFETCH(Setup, setup);
        QFETCH(QStringList, after);
        QFETCH(QStringList, status);

        QVERIFY(writeFile(m_watched->filePath(QStringLiteral("a.txt")), "alpha"));
        QVERIFY(writeFile(m_watched->filePath(QStringLiteral("b.txt")), "bravo"));
        if (setup == Setup::Existing || setup == Setup::ReadOnly)
            QVERIFY(
                writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old", setup == Setup::ReadOnly ? 0444 : 0644));
        if (setup == Setup::Folder)
            QVERIFY(QDir(m_dest->path()).mkdir(QStringLiteral("sub")));
        const QStringList source = snapshot(m_watched->path(), true);

        Window w;
        QVERIFY(w.watch(m_watched->path()));
        w.select(selected);
        if (!reply.isEmpty())
            w.dialogs.replies = {
                reply.replace(QStringLiteral("{D}"), m_dest->path()).replace(QStringLiteral("{W}"), m_watched->path())};
        w.win.mnuCopy_Click();

        QCOMPARE(w.dialogs.asked.size(), 1);
        QCOMPARE(w.dialogs.asked[0].kind, ScriptedDialogs::Kind::SaveFile);
        QCOMPARE(w.dialogs.asked[0].defaultText, selected.join(QStringLiteral("; ")));
        QCOMPARE(snapshot(m_dest->path()), after);
        QCOMPARE(snapshot(m_watched->path(), true), source); // not even rewritten in place
        QCOMPARE(w.status.texts, status);
    }

    void copyFile_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("after"); // the destination folder

        QTest::newRow("copied") << Setup::None << L {"a.txt=alpha"};
        QTest::newRow("unreadable source over a file") << Setup::Unreadable << L {"a.txt=old"};
        QTest::newRow("pipe in the file's place") << Setup::Pipe << L();
        QTest::newRow("folder in the destination's place") << Setup::Folder << L {"a.txt/"};
    }

    void copyFile()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, after);

        QString source = m_watched->filePath(QStringLiteral("a.txt"));
        const QString destination = m_dest->filePath(QStringLiteral("a.txt"));
        if (setup == Setup::Unreadable) { // opens as a plain file, but its first read fails
            source = QStringLiteral("/proc/self/mem");
            QVERIFY(writeFile(destination, "old"));
        } else if (setup == Setup::Pipe) {
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        } else {
            QVERIFY(writeFile(source, "alpha", 04755));
            QVERIFY(setup != Setup::Folder || QDir().mkdir(destination));
        }
        QCOMPARE(FileOps::copyFile(source, destination), setup == Setup::None);
        QCOMPARE(snapshot(m_dest->path()), after);
        struct stat st; // the permissions come along, set-user-ID does not
        QVERIFY(setup != Setup::None
                || (::stat(QFile::encodeName(destination).constData(), &st) == 0 && (st.st_mode & 07777) == 0755));
    }

    void deleteFiles_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<bool>("readOnly"); // b.txt
        QTest::addColumn<QStringList>("left"); // the watched folder; each file holds its name

        const L abc {"a.txt", "b.txt", "c.txt"};
        const L all {"a.txt=a.txt", "b.txt=b.txt", "c.txt=c.txt", "new.txt=new.txt"};
        QTest::newRow("No") << abc << Dialogs::Answer::No << false << all;
        QTest::newRow("Yes") << abc << Dialogs::Answer::Yes << false << L {"new.txt=new.txt"};
        QTest::newRow("read-only among them") << abc << Dialogs::Answer::Yes << true << all.mid(1, 1) + all.mid(3);
        QTest::newRow("nothing selected") << L() << Dialogs::Answer::Yes << false << all;
    }

    // "new.txt" arrives after the catalogue and is marked new before the delete.
    void deleteFiles()
    {
        QFETCH(QStringList, selected);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, left);

        for (const char *n : {"a.txt", "b.txt", "c.txt"})
            QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n, readOnly && n[0] == 'b' ? 0444 : 0644));
        Window w;
        QVERIFY(w.watch(m_watched->path()));
        QVERIFY(writeFile(m_watched->filePath(QStringLiteral("new.txt")), "new.txt"));
        w.win.CompareFile();
        TestSupport::settle(w.win.watch());
        QCOMPARE(w.win.lastNewFiles(), QStringLiteral("new.txt"));
        w.win.setStatusText(QStringLiteral("Idle"));
        w.status.texts.clear();
        w.dialogs.reset();
        const QStringList knownBefore = w.win.knownFiles().names();

        w.select(selected);
        w.dialogs.answers = {answer};
        w.win.mnuDelete_Click();
        TestSupport::settle(w.win.watch());

        QCOMPARE(w.boxes(),
                 L {QStringLiteral("Delete Warning|Do you want to delete the file/s ")
                    + selected.join(QStringLiteral(", ")) + QStringLiteral("?  ")});
        const Dialogs::Box q = w.dialogs.asked[0].box;
        QVERIFY(q.buttons == Dialogs::Buttons::YesNo && q.icon == Dialogs::Icon::Question
                && q.defaultAnswer == Dialogs::Answer::Yes);
        QCOMPARE(snapshot(m_watched->path()), left);

        QStringList status;
        QStringList files;
        if (answer == Dialogs::Answer::Yes) {
            for (const QString &n : selected)
                status.append(QStringLiteral("Deleting ") + n + QStringLiteral("..."));
            status.append(QStringLiteral("Sleeping..."));
            for (const QString &entry : left) {
                if (entry.contains(QLatin1Char('=')))
                    files.append(entry.section(QLatin1Char('='), 0, 0));
            }
            QCOMPARE(w.rows(), files);
        } else {
            status.append(QStringLiteral("Idle")); // untouched
        }
        QCOMPARE(w.status.texts, status);
        // On Yes the survivors are the catalogue; on No "new.txt" stays new.
        QCOMPARE(w.win.knownFiles().names(), answer == Dialogs::Answer::Yes ? files : knownBefore);
    }

private:
    static QString root() { return TestSupport::home().path(); }
    static QString marker() { return root() + QStringLiteral("/opened"); }
    static QStringList handedOver()
    {
        QStringList lines = QString::fromUtf8(readFile(marker())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    }

    std::unique_ptr<QTemporaryDir> m_watched;
    std::unique_ptr<QTemporaryDir> m_dest;
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
