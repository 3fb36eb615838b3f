#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileActions.h"
#include "actions/FileOps.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QDirIterator>
#include <QLabel>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

using L = QStringList;

// A time no copy gets by chance.
const struct timespec kOldTime[2] = {{1000000000, 5}, {1000000000, 5}};

namespace {

bool writeFile(const QString &path, const QByteArray &contents, int mode = 0644)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush()
        && ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Every entry in a folder, hidden ones included, sorted, as "name=contents"
// or "name/".
QStringList snapshot(const QString &folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile file(it.next());
        out.append(it.fileName()
                   + (it.fileInfo().isDir() ? QStringLiteral("/")
                                            : QLatin1Char('=')
                              + QString::fromUtf8(file.open(QIODevice::ReadOnly) ? file.readAll() : "")));
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

// Writes into an unnamed file, or a named temporary, and gives the copy up
// at its first block when asked.
struct Monitor : FileOps::CopyMonitor {
    bool unnamed = true, giveUp = false, stop = false;
    QByteArray temporary;
    bool cancelled() const override { return stop; }
    void copied(qint64) override { stop = giveUp; }
    bool naming(const std::function<bool()> &step) override { return !stop && step(); }
    void setTemporary(const QByteArray &path) override { temporary = path; }
    bool takeTemporary(const QByteArray &path) override { return temporary == path; }
    bool unnamedTemporary() const override { return unnamed; }
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

public:
    enum class Setup { None, Existing, ReadOnly, Folder, Pipe, Unreadable, Itself, Named, GiveUp, GiveUpNamed };
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
        QVERIFY(writeFile(m_watched->filePath(name), "x", mode));
        QCOMPARE(FileOps::isExecutable(name, m_watched->filePath(name)), executable);
    }

    void open_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QStringList>("handed");
        QTest::addColumn<QStringList>("errors"); // "#code|text|name"

        const QString e2 = QStringLiteral("#2|The specified file could not be found.|a.txt");
        const QString e27 = QStringLiteral("#27|The filename association is either incomplete or invalid.|c.txt");
        const QString e31 = QStringLiteral("#31|There is no program associated with the specified type of file.|d.exe");
        QTest::newRow("Yes") << Dialogs::Answer::Yes << L {"a.txt", "b.exe", "c.txt", "d.exe"} << L {e2, e27, e31};
        QTest::newRow("No") << Dialogs::Answer::No << L {"a.txt", "c.txt"} << L {e2, e27};
    }

    // Every open is told its result (0 shows nothing); one answer covers the
    // rest of the walk, and each walk asks afresh.
    void open()
    {
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, handed);
        QFETCH(QStringList, errors);
        const QHash<QString, int> codes {{"a.txt", 2}, {"b.exe", 0}, {"c.txt", 27}, {"d.exe", 31}};
        QStringList opened;
        ScriptedDialogs dialogs;
        const FileActions actions(dialogs, nullptr, [&](const QString &path) {
            opened.append(QFileInfo(path).fileName());
            return codes.value(QFileInfo(path).fileName(), 42);
        });
        QStringList expected;
        for (const QString &e : errors)
            expected.append(QStringLiteral("Error ") + e.section(QLatin1Char('|'), 0, 1) + QLatin1Char('\n')
                            + m_watched->filePath(e.section(QLatin1Char('|'), 2)));
        expected.insert(1, QStringLiteral("Executable Warning...|Do you want to run b.exe?"));

        for (int walk = 0; walk < 2; ++walk) {
            dialogs.reset();
            opened.clear();
            dialogs.answers = {Dialogs::Answer::Ok, answer};
            actions.open(m_watched->path() + QLatin1Char('/'), {"a.txt", "b.exe", "c.txt", "d.exe"});
            QCOMPARE(opened, handed);
            QCOMPARE(boxes(dialogs), expected);
            const QList<ScriptedDialogs::Asked> asked = dialogs.messages();
            QVERIFY(asked[0].box.buttons == Dialogs::Buttons::Ok && asked[0].box.icon == Dialogs::Icon::Critical);
            QVERIFY(asked[1].box.buttons == Dialogs::Buttons::YesNo && asked[1].box.icon == Dialogs::Icon::Warning
                    && asked[1].box.defaultAnswer == Dialogs::Answer::Yes);
        }
    }

    void askCopy_data()
    {
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QString>("reply"); // empty: cancelled
        QTest::addColumn<ScriptedDialogs::Kind>("asked");
        QTest::addColumn<QString>("destination"); // empty: nothing is copied

        const auto file = ScriptedDialogs::Kind::SaveFile;
        const L ab {"a.txt", "b.txt"};
        QTest::newRow("into a folder") << ab << "/d/a.txt; b.txt" << file << "/d/";
        QTest::newRow("cancelled") << ab << "" << file << "";
        QTest::newRow("name lengthened") << ab << "/d/xa.txt; b.txt" << file << "";
        const L odd {"say\"hi\".txt", "~notes", " both ends "};
        QTest::newRow("quotes, tilde, blanks") << odd << "/d/" + odd.join(QStringLiteral("; ")) << file << "/d/";
        // Eleven names of 23 bytes and their separators: 273 bytes, more than
        // a file name holds.
        QStringList many;
        for (int i = 0; i < 11; ++i)
            many.append(QStringLiteral("IMG_20240101_1234%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QTest::newRow("too many for a name") << many << "/d" << ScriptedDialogs::Kind::Folder << "/d/";
        QTest::newRow("folder dialog cancelled") << many << "" << ScriptedDialogs::Kind::Folder << "";
    }

    void askCopy()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, reply);
        QFETCH(ScriptedDialogs::Kind, asked);
        QFETCH(QString, destination);
        ScriptedDialogs dialogs;
        if (!reply.isEmpty())
            dialogs.replies = {reply};
        const std::optional<FileActions::CopyJob> job = FileActions(dialogs, nullptr).askCopy("/w", selected);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked[0].kind, asked);
        QCOMPARE(dialogs.asked[0].defaultText, asked == ScriptedDialogs::Kind::Folder ? "" : selected.join("; "));
        QCOMPARE(job ? job->destinationFolder : QString(), destination);
        QVERIFY(!job || (job->sourceFolder == "/w/" && job->names == selected));
    }

    void copyFile_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QStringList>("after"); // the destination folder

        QTest::newRow("copied") << Setup::None << true << L {"a.txt=alpha"};
        QTest::newRow("copied through a named temporary") << Setup::Named << true << L {"a.txt=alpha"};
        QTest::newRow("replaced") << Setup::Existing << true << L {"a.txt=alpha"};
        QTest::newRow("read-only file kept") << Setup::ReadOnly << false << L {"a.txt=old"};
        QTest::newRow("onto itself, untouched") << Setup::Itself << true << L();
        QTest::newRow("given up over a file") << Setup::GiveUp << false << L {"a.txt=old"};
        QTest::newRow("given up over a file, named temporary") << Setup::GiveUpNamed << false << L {"a.txt=old"};
        QTest::newRow("unreadable source over a file") << Setup::Unreadable << false << L {"a.txt=old"};
        QTest::newRow("pipe in the file's place") << Setup::Pipe << false << L();
        QTest::newRow("folder in the destination's place") << Setup::Folder << false << L {"a.txt/"};
    }

    // Nothing but the finished file ever appears in the destination folder.
    void copyFile()
    {
        QFETCH(Setup, setup);
        QFETCH(bool, copied);
        QFETCH(QStringList, after);

        QString source = m_watched->filePath(QStringLiteral("a.txt"));
        const QString destination = setup == Setup::Itself ? source : m_dest->filePath(QStringLiteral("a.txt"));
        const QByteArray target = QFile::encodeName(destination);
        if (setup == Setup::Unreadable) // opens as a plain file, but its first read fails
            source = QStringLiteral("/proc/self/mem");
        else if (setup == Setup::Pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        else
            QVERIFY(writeFile(source, "alpha", 04755) && (setup != Setup::Folder || QDir().mkdir(destination))
                    && ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), kOldTime, 0) == 0);
        const bool giveUp = setup == Setup::GiveUp || setup == Setup::GiveUpNamed;
        if (giveUp || setup == Setup::Unreadable || setup == Setup::Existing || setup == Setup::ReadOnly)
            QVERIFY(writeFile(destination, "old", setup == Setup::ReadOnly ? 0444 : 0644));
        struct stat before, st;
        QCOMPARE(::stat(QFile::encodeName(source).constData(), &before), 0);

        Monitor monitor;
        monitor.unnamed = setup != Setup::Named && setup != Setup::GiveUpNamed;
        monitor.giveUp = giveUp;
        QCOMPARE(FileOps::copyFile(source, destination, &monitor), copied);
        QCOMPARE(snapshot(m_dest->path()), after);
        if (setup == Setup::Itself) // not even rewritten in place
            QVERIFY(::stat(target.constData(), &st) == 0 && st.st_ino == before.st_ino && st.st_mode == before.st_mode);
        else if (copied) // the permissions come along, set-user-ID does not; so does the time
            QVERIFY(::stat(target.constData(), &st) == 0 && (st.st_mode & 07777) == 0755
                    && st.st_mtim.tv_sec == before.st_mtim.tv_sec && st.st_mtim.tv_nsec == before.st_mtim.tv_nsec);
    }

    // No deletes nothing; Yes deletes all but a read-only file, telling each.
    void deleteFiles()
    {
        const L abc {"a.txt", "b.txt", "c.txt"};
        for (const QString &n : abc)
            QVERIFY(writeFile(m_watched->filePath(n), n.toUtf8(), n == abc[1] ? 0444 : 0644));
        ScriptedDialogs dialogs;
        QStringList status;
        const auto remove = [&](Dialogs::Answer answer) {
            dialogs.reset();
            dialogs.answers = {answer};
            return FileActions(dialogs, nullptr).deleteFiles(m_watched->path(), abc, [&](const QString &text) {
                status.append(text);
            });
        };
        QVERIFY(!remove(Dialogs::Answer::No));
        QCOMPARE(snapshot(m_watched->path()), L({"a.txt=a.txt", "b.txt=b.txt", "c.txt=c.txt"}));
        QVERIFY(status.isEmpty());
        QVERIFY(remove(Dialogs::Answer::Yes));
        QCOMPARE(snapshot(m_watched->path()), L {"b.txt=b.txt"});
        QCOMPARE(status, L({"Deleting a.txt...", "Deleting b.txt...", "Deleting c.txt...", "Sleeping..."}));
        QCOMPARE(boxes(dialogs), L {"Delete Warning|Do you want to delete the file/s a.txt, b.txt, c.txt?  "});
        const Dialogs::Box q = dialogs.asked[0].box;
        QVERIFY(q.buttons == Dialogs::Buttons::YesNo && q.icon == Dialogs::Icon::Question
                && q.defaultAnswer == Dialogs::Answer::Yes);
    }

    // The window copies on, past a file it cannot replace, showing each copy
    // in its status panel; it holds the audit tick until the copies end, and
    // takes a new catalogue after a delete.
    void window()
    {
        for (const char *n : {"a.txt", "b.txt"})
            QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n));
        QVERIFY(writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old", 0444));
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.setAuditInterval(65535);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win) && win.folderTree()->setPath(m_watched->path()));
        QVERIFY(TestSupport::settle(win.watch()));
        QCOMPARE(win.listModel()->rowCount(), 2);
        const auto select = [&](int last) {
            win.listView()->selectionModel()->select(
                QItemSelection(win.listModel()->index(0, 0), win.listModel()->index(last, 0)),
                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        };
        struct Log : QObject { // the panel's texts as painted, each once
            QStringList texts;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                const QString text = static_cast<QLabel *>(watched)->text();
                if (event->type() == QEvent::Paint && (texts.isEmpty() || texts.constLast() != text))
                    texts.append(text);
                return false;
            }
        } log;
        win.findChild<QLabel *>(QStringLiteral("statusPanel"))->installEventFilter(&log);

        select(1);
        dialogs.replies = {m_dest->filePath(QStringLiteral("a.txt; b.txt"))};
        win.mnuCopy_Click();
        QVERIFY(win.isCopying());
        QVERIFY(writeFile(m_watched->filePath(QStringLiteral("new.txt")), "new"));
        win.Timer1_Timer(); // held until the copies end
        QVERIFY(win.lastNewFiles().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!win.isCopying(), 10000);
        QCOMPARE(snapshot(m_dest->path()), L({"a.txt=old", "b.txt=b.txt"}));
        QCOMPARE(log.texts.mid(0, 3), L({"Copying a.txt...", "Copying b.txt...", "Sleeping..."}));
        QTRY_COMPARE_WITH_TIMEOUT(win.lastNewFiles(), QStringLiteral("new.txt"), 10000);

        dialogs.reset();
        dialogs.answers = {Dialogs::Answer::Yes};
        select(0);
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
