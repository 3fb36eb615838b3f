#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "actions/FileOps.h"

#include <QDirIterator>
#include <QTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>

using L = QStringList;

// A plain file despite ".exe" in its name, a program by its suffix, a
// program by its execute bit, a launcher.
const QStringList kOpened {"a.exe.txt", "B.Exe", "tool", "Launch.DeskTop"};

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
    enum class Setup { None, Existing, ReadOnly, Folder, Pipe, Itself, Named, GiveUp };
    Q_ENUM(Setup)

private Q_SLOTS:
    void init()
    {
        m_watched = std::make_unique<QTemporaryDir>();
        m_dest = std::make_unique<QTemporaryDir>();
        QVERIFY(m_watched->isValid() && m_dest->isValid());
    }

    void open_data()
    {
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QStringList>("handed");
        QTest::addColumn<QStringList>("errors"); // "#code|text|name"

        const QString e2 = QStringLiteral("#2|The specified file could not be found.|a.exe.txt");
        const QString e27 = QStringLiteral("#27|The filename association is either incomplete or invalid.|tool");
        const QString e31
            = QStringLiteral("#31|There is no program associated with the specified type of file.|Launch.DeskTop");
        QTest::newRow("Yes") << Dialogs::Answer::Yes << kOpened << L {e2, e27, e31};
        QTest::newRow("No") << Dialogs::Answer::No << L {"a.exe.txt"} << L {e2};
    }

    // Every open is told its result (0 shows nothing). A program, by its
    // suffix in any case or by anyone's execute bit, is asked about first;
    // one answer covers the rest of the walk, and each walk asks afresh.
    void open()
    {
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, handed);
        QFETCH(QStringList, errors);
        QVERIFY(writeFile(m_watched->filePath(kOpened[0]), "x")
                && writeFile(m_watched->filePath(kOpened[2]), "x", 0641));
        const QHash<QString, int> codes {{kOpened[0], 2}, {kOpened[1], 0}, {kOpened[2], 27}, {kOpened[3], 31}};
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
        expected.insert(1, QStringLiteral("Executable Warning...|Do you want to run B.Exe?"));

        for (int walk = 0; walk < 2; ++walk) {
            dialogs.reset();
            opened.clear();
            dialogs.answers = {Dialogs::Answer::Ok, answer};
            actions.open(m_watched->path() + QLatin1Char('/'), kOpened);
            QCOMPARE(opened, handed);
            QCOMPARE(boxes(dialogs), expected);
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
        QTest::newRow("given up over a file, named temporary") << Setup::GiveUp << false << L {"a.txt=old"};
        QTest::newRow("pipe in the file's place") << Setup::Pipe << false << L();
        QTest::newRow("folder in the destination's place") << Setup::Folder << false << L {"a.txt/"};
    }

    // Nothing but the finished file ever appears in the destination folder.
    void copyFile()
    {
        QFETCH(Setup, setup);
        QFETCH(bool, copied);
        QFETCH(QStringList, after);

        const QString source = m_watched->filePath(QStringLiteral("a.txt"));
        const QString destination = setup == Setup::Itself ? source : m_dest->filePath(QStringLiteral("a.txt"));
        const QByteArray target = QFile::encodeName(destination);
        if (setup == Setup::Pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        else
            QVERIFY(writeFile(source, "alpha", 04755) && (setup != Setup::Folder || QDir().mkdir(destination))
                    && ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), kOldTime, 0) == 0);
        const bool giveUp = setup == Setup::GiveUp;
        if (giveUp || setup == Setup::Existing || setup == Setup::ReadOnly)
            QVERIFY(writeFile(destination, "old", setup == Setup::ReadOnly ? 0444 : 0644));
        struct stat before, st;
        QCOMPARE(::stat(QFile::encodeName(source).constData(), &before), 0);

        Monitor monitor;
        monitor.unnamed = setup != Setup::Named && !giveUp;
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
    }

    // Copies go on past a file that cannot be replaced, each told as it
    // starts, and the end after the last.
    void copier()
    {
        for (const char *n : {"a.txt", "b.txt"})
            QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n));
        QVERIFY(writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old", 0444));
        FileCopier copier;
        QStringList told;
        connect(&copier, &FileCopier::copying, this,
                [&](const QString &n) { told.append(FileActions::copyingText(n)); });
        connect(&copier, &FileCopier::finished, this, [&] { told.append(QStringLiteral("end")); });
        copier.add(m_watched->path() + QLatin1Char('/'), m_dest->path() + QLatin1Char('/'), {"a.txt", "b.txt"});
        QTRY_VERIFY_WITH_TIMEOUT(!copier.isBusy(), 10000);
        QCOMPARE(told, L({"Copying a.txt...", "Copying b.txt...", "end"}));
        QCOMPARE(snapshot(m_dest->path()), L({"a.txt=old", "b.txt=b.txt"}));
    }

private:
    std::unique_ptr<QTemporaryDir> m_watched;
    std::unique_ptr<QTemporaryDir> m_dest;
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
