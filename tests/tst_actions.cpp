#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "actions/FileOps.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QDirIterator>
#include <QLabel>
#include <QSignalSpy>
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

// Every entry under a folder, hidden ones included, sorted, as
// "path=contents" or "path/"; with the inode and modification time when asked.
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

// Each message box as "title|text".
QStringList boxes(const ScriptedDialogs &dialogs)
{
    QStringList out;
    for (const ScriptedDialogs::Asked &a : dialogs.messages())
        out.append(a.box.title + QLatin1Char('|') + a.box.text);
    return out;
}

// Writes into a named temporary, or an unnamed file, and gives the copy up
// at its first block when asked.
class Monitor : public FileOps::CopyMonitor
{
public:
    Monitor(bool unnamed, bool giveUp)
        : m_unnamed(unnamed)
        , m_giveUp(giveUp)
    { }
    bool cancelled() const override { return m_stop; }
    void copied(qint64) override { m_stop = m_giveUp; }
    bool naming(const std::function<bool()> &step) override { return !m_stop && step(); }
    void setTemporary(const QByteArray &path) override { temporary = path; }
    bool takeTemporary(const QByteArray &path) override { return temporary == path; }
    bool unnamedTemporary() const override { return m_unnamed; }
    QByteArray temporary;

private:
    bool m_unnamed;
    bool m_giveUp;
    bool m_stop = false;
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

public:
    enum class Setup { None, Existing, ReadOnly, Folder, Pipe, Unreadable, Named, GiveUp, GiveUpNamed };
    Q_ENUM(Setup)

private Q_SLOTS:
    void init()
    {
        m_watched = std::make_unique<QTemporaryDir>();
        m_dest = std::make_unique<QTemporaryDir>();
        QVERIFY(m_watched->isValid() && m_dest->isValid());
    }

    void isExecutable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("executable");

        QTest::newRow("plain file") << QStringLiteral("plain.txt") << 0644 << false;
        QTest::newRow("exe inside the name") << QStringLiteral("a.exe.txt") << 0644 << false;
        QTest::newRow("three letters") << QStringLiteral("exe") << 0644 << false;
        QTest::newRow("owner execute bit") << QStringLiteral("tool") << 0744 << true;
        QTest::newRow("others' execute bit") << QStringLiteral("other") << 0641 << true;
        QTest::newRow("launcher, any case") << QStringLiteral("Launch.DeskTop") << 0644 << true;
        QTest::newRow("SETUP.Exe") << QStringLiteral("SETUP.Exe") << 0644 << true;
        QTest::newRow("run.bat") << QStringLiteral("run.bat") << 0644 << true;
        QTest::newRow("x.CoM") << QStringLiteral("x.CoM") << 0644 << true;
    }

    void isExecutable()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(bool, executable);
        const QString path = m_watched->filePath(name);
        QVERIFY(writeFile(path, "x", mode));
        QCOMPARE(FileOps::isExecutable(name, path), executable);
    }

    void open_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::newRow("Yes") << Dialogs::Answer::Yes;
        QTest::newRow("No") << Dialogs::Answer::No;
    }

    // Every open is told its result; one answer covers the rest of the walk.
    void open()
    {
        QFETCH(Dialogs::Answer, answer);
        const L names {"a.txt", "b.exe", "c.txt", "d.exe"};
        for (const QString &n : names)
            QVERIFY(writeFile(m_watched->filePath(n), "x"));
        const QHash<QString, int> codes {{"a.txt", 2}, {"b.exe", 0}, {"c.txt", 27}, {"d.exe", 31}};
        QStringList handed;
        ScriptedDialogs dialogs;
        const FileActions actions(dialogs, nullptr, [&](const QString &path) {
            handed.append(path);
            return codes.value(QFileInfo(path).fileName(), 42);
        });
        actions.open(m_watched->path(), {});
        QVERIFY(dialogs.asked.isEmpty() && handed.isEmpty());

        for (int run = 0; run < 2; ++run) { // each walk asks afresh
            dialogs.reset();
            handed.clear();
            dialogs.answers = {Dialogs::Answer::Ok, answer};
            actions.open(m_watched->path() + QLatin1Char('/'), names);

            const auto box = [&](const QString &title, const QString &text, const QString &name) {
                return title + QLatin1Char('|') + text + QLatin1Char('\n') + m_watched->filePath(name);
            };
            QStringList expected {
                box(QStringLiteral("Error #2"), QStringLiteral("The specified file could not be found."), names[0]),
                QStringLiteral("Executable Warning...|Do you want to run b.exe?"),
                box(QStringLiteral("Error #27"),
                    QStringLiteral("The filename association is either incomplete or invalid."), names[2])};
            QStringList paths {m_watched->filePath(names[0]), m_watched->filePath(names[2])};
            if (answer == Dialogs::Answer::Yes) { // b.exe's 0 shows nothing
                expected.append(box(QStringLiteral("Error #31"),
                                    QStringLiteral("There is no program associated with the specified type of file."),
                                    names[3]));
                paths = {m_watched->filePath(names[0]), m_watched->filePath(names[1]), m_watched->filePath(names[2]),
                         m_watched->filePath(names[3])};
            }
            QCOMPARE(boxes(dialogs), expected);
            QCOMPARE(handed, paths);
            const QList<ScriptedDialogs::Asked> asked = dialogs.messages();
            QCOMPARE(asked.size(), expected.size());
            QVERIFY(asked[0].box.buttons == Dialogs::Buttons::Ok && asked[0].box.icon == Dialogs::Icon::Critical);
            QVERIFY(asked[1].box.buttons == Dialogs::Buttons::YesNo && asked[1].box.icon == Dialogs::Icon::Warning
                    && asked[1].box.defaultAnswer == Dialogs::Answer::Yes);
        }
    }

    void copy_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("reply"); // {D} the destination, {W} the watched folder; empty: cancel
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<ScriptedDialogs::Kind>("asked");
        QTest::addColumn<QStringList>("after"); // the destination folder; each file holds its name
        QTest::addColumn<QStringList>("copying");

        const auto F = ScriptedDialogs::Kind::SaveFile;
        const L ab {"a.txt", "b.txt"};
        const QString intoD = QStringLiteral("{D}/a.txt; b.txt");
        const L both {"a.txt=a.txt", "b.txt=b.txt"};
        QTest::newRow("two files into a folder") << ab << intoD << Setup::None << F << both << ab;
        QTest::newRow("existing file replaced") << ab << intoD << Setup::Existing << F << both << ab;
        QTest::newRow("read-only file kept, the walk goes on")
            << ab << intoD << Setup::ReadOnly << F << L {"a.txt=old", "b.txt=b.txt"} << ab;
        QTest::newRow("whole path typed") << ab << QStringLiteral("{D}/sub/a.txt; b.txt") << Setup::Folder << F
                                          << L {"sub/", "sub/a.txt=a.txt", "sub/b.txt=b.txt"} << ab;
        QTest::newRow("onto themselves") << ab << QStringLiteral("{W}/a.txt; b.txt") << Setup::None << F << L() << ab;
        QTest::newRow("cancel") << ab << QString() << Setup::None << F << L() << L();
        QTest::newRow("name lengthened") << ab << QStringLiteral("{D}/xa.txt; b.txt") << Setup::None << F << L() << L();
        QTest::newRow("folder missing") << L {"a.txt"} << QStringLiteral("{D}/nosuch/a.txt") << Setup::None << F << L()
                                        << L {"a.txt"};
        QTest::newRow("nothing selected") << L() << QStringLiteral("{D}/") << Setup::None << F << L() << L();
        const L odd {"say\"hi\".txt", "~notes", " both ends "};
        QStringList oddAfter;
        for (const QString &n : odd)
            oddAfter.append(n + QLatin1Char('=') + n);
        oddAfter.sort();
        QTest::newRow("quotes, tilde, blanks")
            << odd << QStringLiteral("{D}/") + odd.join(QStringLiteral("; ")) << Setup::None << F << oddAfter << odd;

        // Eleven names of 23 bytes and their separators: 273 bytes, more than a file name holds.
        QStringList many, manyAfter;
        for (int i = 0; i < 11; ++i)
            many.append(QStringLiteral("IMG_20240101_1234%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        for (const QString &n : many)
            manyAfter.append(n + QLatin1Char('=') + n);
        QTest::newRow("too many for a name: a folder is asked")
            << many << QStringLiteral("{D}") << Setup::None << ScriptedDialogs::Kind::Folder << manyAfter << many;
        QTest::newRow("folder dialog cancelled")
            << many << QString() << Setup::None << ScriptedDialogs::Kind::Folder << L() << L();
    }

    void copy()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, reply);
        QFETCH(Setup, setup);
        QFETCH(ScriptedDialogs::Kind, asked);
        QFETCH(QStringList, after);
        QFETCH(QStringList, copying);

        for (const QString &n : selected + L {"a.txt", "b.txt"})
            QVERIFY(writeFile(m_watched->filePath(n), n.toUtf8()));
        if (setup == Setup::Existing || setup == Setup::ReadOnly)
            QVERIFY(
                writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old", setup == Setup::ReadOnly ? 0444 : 0644));
        if (setup == Setup::Folder)
            QVERIFY(QDir(m_dest->path()).mkdir(QStringLiteral("sub")));
        const QStringList source = snapshot(m_watched->path(), true);

        ScriptedDialogs dialogs;
        if (!reply.isEmpty())
            dialogs.replies = {
                reply.replace(QStringLiteral("{D}"), m_dest->path()).replace(QStringLiteral("{W}"), m_watched->path())};
        const std::optional<FileActions::CopyJob> job
            = FileActions(dialogs, nullptr).askCopy(m_watched->path(), selected);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked[0].kind, asked);
        if (asked == ScriptedDialogs::Kind::SaveFile)
            QCOMPARE(dialogs.asked[0].defaultText, selected.join(QStringLiteral("; ")));

        QStringList started;
        if (job) {
            FileCopier copier;
            QSignalSpy finished(&copier, &FileCopier::finished);
            connect(&copier, &FileCopier::copying, this, [&](const QString &name) { started.append(name); });
            copier.add(job->sourceFolder, job->destinationFolder, job->names);
            QVERIFY(copier.isBusy());
            QVERIFY(finished.wait(10000));
            QVERIFY(!copier.isBusy());
        }
        QCOMPARE(started, copying);
        QCOMPARE(snapshot(m_dest->path()), after);
        QCOMPARE(snapshot(m_watched->path(), true), source); // not even rewritten in place
    }

    void copyFile_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("after"); // the destination folder

        QTest::newRow("copied") << Setup::None << L {"a.txt=alpha"};
        QTest::newRow("copied through a named temporary") << Setup::Named << L {"a.txt=alpha"};
        QTest::newRow("replaced") << Setup::Existing << L {"a.txt=alpha"};
        QTest::newRow("given up over a file") << Setup::GiveUp << L {"a.txt=old"};
        QTest::newRow("given up over a file, named temporary") << Setup::GiveUpNamed << L {"a.txt=old"};
        QTest::newRow("unreadable source over a file") << Setup::Unreadable << L {"a.txt=old"};
        QTest::newRow("pipe in the file's place") << Setup::Pipe << L();
        QTest::newRow("folder in the destination's place") << Setup::Folder << L {"a.txt/"};
    }

    // Nothing but the finished file ever appears in the destination folder.
    void copyFile()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, after);

        QString source = m_watched->filePath(QStringLiteral("a.txt"));
        const QString destination = m_dest->filePath(QStringLiteral("a.txt"));
        if (setup == Setup::Unreadable) { // opens as a plain file, but its first read fails
            source = QStringLiteral("/proc/self/mem");
        } else if (setup == Setup::Pipe) {
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        } else {
            QVERIFY(writeFile(source, "alpha", 04755));
            QVERIFY(setup != Setup::Folder || QDir().mkdir(destination));
        }
        if (setup == Setup::Unreadable || setup == Setup::Existing || setup == Setup::GiveUp
            || setup == Setup::GiveUpNamed)
            QVERIFY(writeFile(destination, "old"));
        Monitor monitor(setup != Setup::Named && setup != Setup::GiveUpNamed,
                        setup == Setup::GiveUp || setup == Setup::GiveUpNamed);
        const bool copied = setup == Setup::None || setup == Setup::Named || setup == Setup::Existing;
        QCOMPARE(FileOps::copyFile(source, destination, &monitor), copied);
        QCOMPARE(snapshot(m_dest->path()), after);
        struct stat st; // the permissions come along, set-user-ID does not, nor the time
        QVERIFY(!copied
                || (::stat(QFile::encodeName(destination).constData(), &st) == 0 && (st.st_mode & 07777) == 0755
                    && QFileInfo(destination).lastModified() == QFileInfo(source).lastModified()));
    }

    void deleteFiles_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<bool>("readOnly"); // b.txt
        QTest::addColumn<QStringList>("left"); // the watched folder; each file holds its name

        const L abc {"a.txt", "b.txt", "c.txt"};
        const L all {"a.txt=a.txt", "b.txt=b.txt", "c.txt=c.txt"};
        QTest::newRow("No") << abc << Dialogs::Answer::No << false << all;
        QTest::newRow("Yes") << abc << Dialogs::Answer::Yes << false << L();
        QTest::newRow("read-only among them") << abc << Dialogs::Answer::Yes << true << all.mid(1, 1);
        QTest::newRow("nothing selected") << L() << Dialogs::Answer::Yes << false << all;
    }

    void deleteFiles()
    {
        QFETCH(QStringList, selected);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(bool, readOnly);
        QFETCH(QStringList, left);

        for (const char *n : {"a.txt", "b.txt", "c.txt"})
            QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n, readOnly && n[0] == 'b' ? 0444 : 0644));
        ScriptedDialogs dialogs;
        dialogs.answers = {answer};
        QStringList status;
        const bool yes = FileActions(dialogs, nullptr).deleteFiles(m_watched->path(), selected, [&](const QString &t) {
            status.append(t);
        });

        QCOMPARE(yes, answer == Dialogs::Answer::Yes);
        QCOMPARE(boxes(dialogs),
                 L {QStringLiteral("Delete Warning|Do you want to delete the file/s ")
                    + selected.join(QStringLiteral(", ")) + QStringLiteral("?  ")});
        const Dialogs::Box q = dialogs.asked[0].box;
        QVERIFY(q.buttons == Dialogs::Buttons::YesNo && q.icon == Dialogs::Icon::Question
                && q.defaultAnswer == Dialogs::Answer::Yes);
        QCOMPARE(snapshot(m_watched->path()), left);
        QStringList expected;
        if (yes) {
            for (const QString &n : selected)
                expected.append(QStringLiteral("Deleting ") + n + QStringLiteral("..."));
            expected.append(QStringLiteral("Sleeping..."));
        }
        QCOMPARE(status, expected);
    }

    // The window shows each copy in its status panel, holds the audit tick
    // until the copies end, and takes a new catalogue after a delete.
    void window()
    {
        for (const char *n : {"a.txt", "b.txt"})
            QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n));
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.setAuditInterval(65535);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win) && win.folderTree()->setPath(m_watched->path()));
        QVERIFY(TestSupport::settle(win.watch()));
        QCOMPARE(win.listModel()->rowCount(), 2);
        win.listView()->selectionModel()->select(
            QItemSelection(win.listModel()->index(0, 0), win.listModel()->index(1, 0)),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QStringList status;
        struct Log : QObject {
            QStringList *texts;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                const QString text = static_cast<QLabel *>(watched)->text();
                if (event->type() == QEvent::Paint && (texts->isEmpty() || texts->constLast() != text))
                    texts->append(text);
                return false;
            }
        } log;
        log.texts = &status;
        win.findChild<QLabel *>(QStringLiteral("statusPanel"))->installEventFilter(&log);

        dialogs.replies = {m_dest->filePath(QStringLiteral("a.txt; b.txt"))};
        win.mnuCopy_Click();
        QVERIFY(win.isCopying());
        QVERIFY(writeFile(m_watched->filePath(QStringLiteral("new.txt")), "new"));
        win.Timer1_Timer(); // held until the copies end
        QVERIFY(win.lastNewFiles().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!win.isCopying(), 10000);
        QCOMPARE(snapshot(m_dest->path()), L({"a.txt=a.txt", "b.txt=b.txt"}));
        QCOMPARE(status.mid(0, 3), L({"Copying a.txt...", "Copying b.txt...", "Sleeping..."}));
        QTRY_COMPARE_WITH_TIMEOUT(win.lastNewFiles(), QStringLiteral("new.txt"), 10000);

        dialogs.reset();
        dialogs.answers = {Dialogs::Answer::Yes};
        win.listView()->selectionModel()->clearSelection();
        win.listView()->selectionModel()->select(win.listModel()->index(0, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QString deleted = win.listModel()->row(0).name;
        win.mnuDelete_Click();
        QVERIFY(TestSupport::settle(win.watch()));
        QVERIFY(!QFile::exists(m_watched->filePath(deleted)));
        QCOMPARE(win.knownFiles().names().size(), 2);
        QVERIFY(!win.knownFiles().names().contains(deleted));
    }

private:
    std::unique_ptr<QTemporaryDir> m_watched;
    std::unique_ptr<QTemporaryDir> m_dest;
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
