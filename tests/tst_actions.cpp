// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "actions/FileOps.h"

#include <cerrno>

// The errors of the next calls that name a file (0: made): no naming of unnamed files, a name taken, a failing disk.
static QList<int> g_namingErrors;
static bool namingFails()
{
    const int error = g_namingErrors.isEmpty() ? 0 : g_namingErrors.takeFirst();
    return error && (errno = error);
}
extern "C" int linkat(int fromDir, const char *from, int toDir, const char *to, int flags)
{
    static const auto real
        = reinterpret_cast<int (*)(int, const char *, int, const char *, int)>(dlsym(RTLD_NEXT, "linkat"));
    return namingFails() ? -1 : real(fromDir, from, toDir, to, flags);
}
// While set, the kernel copies two bytes, then fails (EIO), as a file system that gives up its own copy half way; reads
// of the file then fail with g_readError (EINTR: the first only), or writes of the copy, where the disk is full.
static bool g_kernelStops = false, g_diskFull = false, g_kernelMute = false; // mute: it copies none, as of /proc
static int g_readError = 0;
static int g_failingRead = -1, g_failingWrite = -1;
extern "C" ssize_t copy_file_range(int in, off64_t *inAt, int out, off64_t *outAt, size_t size, unsigned flags)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, off64_t *, int, off64_t *, size_t, unsigned)>(
        dlsym(RTLD_NEXT, "copy_file_range"));
    if (g_kernelMute)
        return 0;
    if (g_kernelStops && ::lseek(in, 0, SEEK_CUR) > 0)
        return g_failingRead = g_readError ? in : -1, g_failingWrite = g_diskFull ? out : -1, errno = EIO, -1;
    return real(in, inAt, out, outAt, g_kernelStops ? std::min<size_t>(size, 2) : size, flags);
}
extern "C" ssize_t read(int fd, void *data, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, void *, size_t)>(dlsym(RTLD_NEXT, "read"));
    if (fd != g_failingRead)
        return real(fd, data, size);
    if (g_readError == EINTR)
        g_failingRead = -1;
    return errno = g_readError, -1;
}
extern "C" ssize_t write(int fd, const void *data, size_t size)
{
    static const auto real = reinterpret_cast<ssize_t (*)(int, const void *, size_t)>(dlsym(RTLD_NEXT, "write"));
    return fd == g_failingWrite ? (errno = ENOSPC, -1) : real(fd, data, size);
}
extern "C" int rename(const char *from, const char *to)
{
    static const auto real = reinterpret_cast<int (*)(const char *, const char *)>(dlsym(RTLD_NEXT, "rename"));
    return namingFails() ? -1 : real(from, to);
}

using L = QStringList;
using B = QByteArrayList;

// A plain file despite ".exe" in its name, a program by its suffix, a program by its execute bit, a launcher.
const QStringList kOpened {"a.exe.txt", "B.Exe", "tool", "Launch.DeskTop"};

const struct timespec kOldTime[2] = {{1000000000, 5}, {1000000000, 5}}; // A time no copy gets by chance.

// A lookup that fails: while set, every stat() of this path fails with EIO, from the second on if none was seen.
static QByteArray g_failingStat;
static std::atomic<int> g_statsSeen {0};

extern "C" int stat(const char *path, struct stat *st) noexcept
{
    static const auto real = reinterpret_cast<int (*)(const char *, struct stat *)>(dlsym(RTLD_NEXT, "stat"));
    const bool fails = !g_failingStat.isEmpty() && g_failingStat == path && g_statsSeen++ > 0;
    return fails ? (errno = EIO, -1) : real(path, st);
}

namespace {

// Writes into an unnamed file or a named temporary. Put before the copier's own monitor, it keeps the copy stuck after
// its first block until the latch opens, and may hide a give-up from the first looks of the contents' loop.
struct Monitor : FileOps::CopyMonitor {
    bool unnamed = true;
    FileOps::CopyMonitor *inner = nullptr;
    TestSupport::Latch *latch = nullptr;
    mutable int blind = 0;
    bool cancelled() const override { return blind-- <= 0 && inner && inner->cancelled(); }
    void copied(qint64 bytes) override
    {
        if (inner)
            inner->copied(bytes), latch->wait();
    }
    bool unnamedTemporary() const override { return unnamed; }
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

public:
    enum class Setup { None, Exists, Locked, Unsure, Blind, Folder, Pipe, Self, Named, Mute, Half, Retry, Fails, Full };
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

    // Every open is told its result (0 shows nothing). A program (suffix in any case, anyone's execute bit) is asked
    // about first, one answer a walk; the disk is never asked on the window's thread.
    void open()
    {
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, handed);
        QFETCH(QStringList, errors);
        QVERIFY(TestSupport::writeFile(m_watched->filePath(kOpened[0]), "x")
                && TestSupport::writeFile(m_watched->filePath(kOpened[2]), "x", 0641));
        const QHash<QString, int> codes {{kOpened[0], 2}, {kOpened[1], 0}, {kOpened[2], 27}, {kOpened[3], 31}};
        QStringList opened;
        ScriptedDialogs dialogs;
        TestSupport::Latch disk; // open: it notes who asks
        disk.open = true;
        FileActions::Ops ops;
        ops.isProgram
            = [&](const QString &name, const QString &path) { return disk.wait(), FileOps::isExecutable(name, path); };
        ops.open = [&](const QString &path, const ShellOpen::Context &context) {
            disk.wait();
            opened.append(QFileInfo(path).fileName() + (context.folder == m_watched->path() + '/' ? "" : " elsewhere"));
            return codes.value(QFileInfo(path).fileName(), 42);
        };
        FileActions actions(dialogs, nullptr, ops);
        QStringList expected;
        for (const QString &e : errors)
            expected.append(QStringLiteral("Error ") + e.section(QLatin1Char('|'), 0, 1) + QLatin1Char('\n')
                            + m_watched->filePath(e.section(QLatin1Char('|'), 2)));
        expected.insert(1, QStringLiteral("Executable Warning...|Do you want to run B.Exe?"));

        for (int walk = 0; walk < 2; ++walk) {
            dialogs.reset();
            opened.clear();
            dialogs.answers = {Dialogs::Answer::Ok, answer};
            bool done = false;
            actions.open(m_watched->path() + QLatin1Char('/'), kOpened, [&] { done = true; });
            QTRY_VERIFY(done);
            QVERIFY(opened == handed && dialogs.boxes() == expected);
        }
        QVERIFY(disk.entered == 2 * (kOpened.size() + handed.size()) && !disk.windowWaited);
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
        QTest::newRow("name lengthened") << ab << "/d/xa.txt; b.txt" << file << "";
        const L odd {"say\"hi\".txt", "~notes", " both ends "};
        QTest::newRow("quotes, tilde, blanks") << odd << "/d/" + odd.join(QStringLiteral("; ")) << file << "/d/";
        QStringList many; // Eleven names of 23 bytes and their separators: 273 bytes, more than a file name holds.
        for (int i = 0; i < 11; ++i)
            many.append(QStringLiteral("IMG_20240101_1234%1.jpg").arg(i, 2, 10, QLatin1Char('0')));
        QTest::newRow("too many for a name") << many << "/d" << ScriptedDialogs::Kind::Folder << "/d/";
        // A folder chosen with slashes at its end still gets exactly one.
        QTest::newRow("folder with two slashes") << many << "/d//" << ScriptedDialogs::Kind::Folder << "/d/";
        QTest::newRow("the root") << many << "/" << ScriptedDialogs::Kind::Folder << "/";
    }

    void askCopy()
    {
        QFETCH(QStringList, selected);
        QFETCH(QString, reply);
        QFETCH(ScriptedDialogs::Kind, asked);
        ScriptedDialogs dialogs;
        if (!reply.isEmpty())
            dialogs.replies = {reply};
        const std::optional<FileActions::CopyJob> job = FileActions(dialogs, nullptr).askCopy("/w", selected);
        QVERIFY(dialogs.asked.size() == 1 && dialogs.asked[0].kind == asked);
        QCOMPARE(dialogs.asked[0].defaultText, asked == ScriptedDialogs::Kind::Folder ? "" : selected.join("; "));
        QTEST(job ? job->destinationFolder : QString(), "destination");
        QVERIFY(!job || (job->sourceFolder == "/w/" && job->names == selected));
    }

    void copyFile_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<bool>("copied");
        QTest::addColumn<QByteArrayList>("after"); // the destination folder
        QTest::addColumn<QList<int>>("refused"); // see g_namingErrors

        const auto row = [](const char *tag, Setup setup, bool copied, const B &after, const QList<int> &refused = {}) {
            QTest::newRow(tag) << setup << copied << after << refused;
        };
        const B alpha {"a.txt=alpha"}, old {"a.txt=old"};
        row("copied", Setup::None, true, alpha);
        row("copied through a named temporary", Setup::Named, true, alpha);
        row("replaced", Setup::Exists, true, alpha);
        row("the kernel's copy given up half way", Setup::Half, true, alpha);
        row("the kernel copies none", Setup::Mute, true, alpha);
        row("a read interrupted after that", Setup::Retry, true, alpha);
        row("the disk failing after that", Setup::Fails, false, {});
        row("the disk full after that", Setup::Full, false, {});
        row("written again, named, where no link is made", Setup::None, true, alpha, {EPERM});
        row("replaced, a temporary name taken", Setup::Exists, true, alpha, {0, EEXIST});
        row("replaced, its rename refused", Setup::Exists, false, old, {0, 0, EIO});
        row("a named temporary's rename refused", Setup::Named, false, {}, {EIO});
        row("read-only file kept", Setup::Locked, false, old);
        row("kept when its check fails", Setup::Unsure, false, old);
        row("kept when it cannot be looked at", Setup::Blind, false, old);
        row("onto itself, untouched", Setup::Self, true, {});
        row("pipe in the file's place", Setup::Pipe, false, {});
        row("folder in the destination's place", Setup::Folder, false, {"a.txt/"});
    }

    // Nothing but the finished file ever appears in the destination folder.
    void copyFile()
    {
        QFETCH(Setup, setup);
        QFETCH(bool, copied);

        const QString source = m_watched->filePath(QStringLiteral("a.txt"));
        const QString destination = setup == Setup::Self ? source : m_dest->filePath(QStringLiteral("a.txt"));
        const QByteArray target = QFile::encodeName(destination);
        if (setup == Setup::Pipe)
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
        else
            QVERIFY(TestSupport::writeFile(source, "alpha", 04755)
                    && (setup != Setup::Folder || QDir().mkdir(destination))
                    && ::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), kOldTime, 0) == 0);
        if (setup >= Setup::Exists && setup <= Setup::Blind)
            QVERIFY(TestSupport::writeFile(destination, "old", setup == Setup::Exists ? 0644 : 0444));
        struct stat before, st;
        QCOMPARE(::stat(QFile::encodeName(source).constData(), &before), 0);

        Monitor monitor;
        monitor.unnamed = setup != Setup::Named;
        if (setup == Setup::Unsure || setup == Setup::Blind)
            g_statsSeen = setup == Setup::Blind, g_failingStat = QFile::encodeName(destination);
        QFETCH(QList<int>, refused);
        g_namingErrors = refused;
        g_kernelStops = setup >= Setup::Half;
        g_kernelMute = setup == Setup::Mute;
        g_readError = setup == Setup::Fails ? EIO : setup == Setup::Retry ? EINTR : 0;
        g_diskFull = setup == Setup::Full;
        QCOMPARE(FileOps::copyFile(source, destination, setup == Setup::None ? nullptr : &monitor), copied);
        g_kernelStops = g_kernelMute = false;
        g_readError = 0, g_failingRead = g_failingWrite = -1, g_diskFull = false;
        g_failingStat.clear();
        QTEST(TestSupport::entries(m_dest->path()), "after");
        if (setup == Setup::Self) // not even rewritten in place
            QVERIFY(::stat(target.constData(), &st) == 0 && st.st_ino == before.st_ino && st.st_mode == before.st_mode);
        else if (copied) // the permissions come along, set-user-ID does not; so does the time
            QVERIFY(::stat(target.constData(), &st) == 0 && (st.st_mode & 07777) == 0755
                    && st.st_mtim.tv_sec == before.st_mtim.tv_sec && st.st_mtim.tv_nsec == before.st_mtim.tv_nsec);
    }

    // No deletes nothing; Yes all but a read-only file and a pipe in a file's place, telling each, off the window.
    void deleteFiles()
    {
        const L abc {"a.txt", "b.txt", "c.txt", "d.txt"};
        for (const QString &n : abc.first(3))
            QVERIFY(TestSupport::writeFile(m_watched->filePath(n), n.toUtf8(), n == abc[1] ? 0444 : 0644));
        QCOMPARE(::mkfifo(QFile::encodeName(m_watched->filePath(abc[3])).constData(), 0644), 0);
        ScriptedDialogs dialogs;
        TestSupport::Latch disk;
        disk.open = true;
        FileActions actions(dialogs, nullptr,
                            {{}, {}, [&](const QString &path) { return disk.wait(), FileOps::deleteFile(path); }});
        QStringList told;
        const auto remove = [&](Dialogs::Answer answer) {
            dialogs.reset();
            dialogs.answers = {answer};
            const auto tell = [&](const QString &text) { told.append(text); };
            return actions.deleteFiles(m_watched->path(), abc,
                                       {tell, [&](const QString &name) { told.append(name + " gone"); },
                                        [&] { told.append(QStringLiteral("end")); }});
        };
        QVERIFY(!remove(Dialogs::Answer::No));
        QCOMPARE(TestSupport::entries(m_watched->path()), B({"a.txt=a.txt", "b.txt=b.txt", "c.txt=c.txt", "d.txt/"}));
        g_statsSeen = 0, g_failingStat = QFile::encodeName(m_watched->filePath(abc[1]));
        QVERIFY(remove(Dialogs::Answer::Yes));
        QTRY_COMPARE(told,
                     L({"Deleting a.txt...", "a.txt gone", "Deleting b.txt...", "Deleting c.txt...", "c.txt gone",
                        "Deleting d.txt...", "end"}));
        g_failingStat.clear();
        QVERIFY(disk.entered == 4 && !disk.windowWaited);
        QCOMPARE(TestSupport::entries(m_watched->path()), B({"b.txt=b.txt", "d.txt/"}));
        QCOMPARE(dialogs.boxes(), L {"Delete Warning|Do you want to delete the file/s a.txt, b.txt, c.txt, d.txt?  "});
    }

    void copier_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("unnamed");
        QTest::addColumn<bool>("leave");
        QTest::addColumn<bool>("untold"); // left before its start reached the window
        QTest::newRow("to the end") << 3 << true << false << false;
        QTest::newRow("left mid-file, named temporary") << 3 << false << true << false;
        QTest::newRow("left before it was told") << 3 << true << true << true;
        QTest::newRow("left after the last block") << 0 << true << true << false;
        QTest::newRow("left after the last block, named temporary") << 0 << false << true << false;
    }

    // Copies follow one another, each told as it starts with the bytes before it shown; left mid-copy, nothing takes a
    // name, no temporary stays, nothing more is told. An old leftover goes, not a look-alike or a running copy's.
    void copier()
    {
        QFETCH(int, size); // MiB; 0: five bytes
        QFETCH(bool, unnamed);
        QFETCH(bool, leave);
        QFETCH(bool, untold);
        const QByteArray big = size ? QByteArray(size << 20, 'x') : QByteArray("small");
        QVERIFY(TestSupport::writeFile(m_watched->filePath("a.bin"), big)
                && TestSupport::writeFile(m_watched->filePath("b.txt"), "b.txt"));
        QVERIFY(TestSupport::writeFile(m_dest->filePath("a.bin"), "old")
                && TestSupport::writeFile(m_dest->filePath(".vardel-copy-Ab12Cd"), "left")
                && TestSupport::writeFile(m_dest->filePath(".vardel-copy-Ab12C"), "mine"));
        TestSupport::Latch latch;
        std::atomic<int> ended {0};
        FileCopier copier;
        copier.setCopy([&](const QString &from, const QString &to, FileOps::CopyMonitor *monitor) {
            Monitor stuck;
            stuck.unnamed = unnamed, stuck.inner = monitor, stuck.latch = &latch;
            // A file of one block: the give-up is first seen as it is to be named.
            stuck.blind = size ? 0 : 2;
            const bool copied = FileOps::copyFile(from, to, &stuck);
            ++ended;
            return copied;
        });
        QStringList told;
        qint64 shown = -1, shownAtStart = -1;
        connect(&copier, &FileCopier::progress, this, [&](qint64 done, qint64) { shown = done; });
        connect(&copier, &FileCopier::copying, this, [&](const QString &n) {
            told.append(FileActions::copyingText(n));
            shownAtStart = shown;
        });
        // Waits without turning the event loop (the window hears nothing meanwhile).
        const auto waitFor = [](const std::atomic<int> &count, int value) {
            for (int i = 0; i < 12000 && count < value; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        };
        connect(&copier, &FileCopier::finished, this, [&] { told.append(QStringLiteral("end")); });
        copier.add(m_watched->path() + QLatin1Char('/'), m_dest->path() + QLatin1Char('/'), {"a.bin"});
        copier.add(m_watched->path() + QLatin1Char('/'), m_dest->path() + QLatin1Char('/'), {"b.txt"});
        const L first = untold ? L() : L {"Copying a.bin..."};
        if (untold)
            waitFor(latch.entered, 1);
        else
            QTRY_VERIFY(latch.entered == 1 && !told.isEmpty()); // told as a result, after the copy began
        QCOMPARE(told, first);
        FileOps::removeStrayTemporaries(m_dest->path());
        QCOMPARE(TestSupport::entries(m_dest->path()).size(),
                 unnamed ? 2 : 3); // the named temporary beside the old file
        if (leave)
            copier.abandon();
        latch.open = true;
        waitFor(ended, 1); // the last blocks' count is told with the copy's end only
        if (leave) {
            QVERIFY(TestSupport::quiet() && latch.entered == 1); // the copy went no further
            QCOMPARE(TestSupport::entries(m_dest->path()), B({".vardel-copy-Ab12C=mine", "a.bin=old"}));
            QVERIFY(told == first && !copier.isBusy());
        } else {
            QTRY_VERIFY(!copier.isBusy());
            QCOMPARE(told, L({"Copying a.bin...", "Copying b.txt...", "end"}));
            QCOMPARE(shownAtStart, qint64(big.size()));
            QCOMPARE(TestSupport::entries(m_dest->path()),
                     B({".vardel-copy-Ab12C=mine", "a.bin=" + big, "b.txt=b.txt"}));
        }
    }

private:
    std::unique_ptr<QTemporaryDir> m_watched;
    std::unique_ptr<QTemporaryDir> m_dest;
};

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
