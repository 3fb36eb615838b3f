// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "audit/AuditPeriod.h"
#include "audit/FileListing.h"

#include <QFont>
#include <QSignalSpy>

#include <map>
#include <random>

#include <cstring>

// A listed file that a lookup does not find for a moment ("vanishing...").
static std::atomic<bool> g_vanishing {false};

// A share's fault: unreadable attributes ("unreadable...", of a link's own too: "unreadable.").
extern "C" int fstatat(int dirFd, const char *name, struct stat *st, int flags) noexcept
{
    static const auto real
        = reinterpret_cast<int (*)(int, const char *, struct stat *, int)>(dlsym(RTLD_NEXT, "fstatat"));
    const bool unreadable = std::strncmp(name, "unreadable", 10) == 0 && (flags == 0 || name[10] == '.');
    if (unreadable || (g_vanishing && std::strncmp(name, "vanishing", 9) == 0))
        return errno = unreadable ? EIO : ENOENT, -1;
    return real(dirFd, name, st, flags);
}

// A watch and the list it feeds, as the window has them: whole rows set, changes applied in place.
struct Shown {
    Watch watch;
    FileListModel model;
    QStringList told; // alert counts, "quiet", "error N"
    QStringList status;
    std::atomic<int> opened {0}; // sources the watch asked for
    bool fed = false;

    explicit Shown(const QString &folder, bool withSource = false)
        : fed(withSource)
    {
        watch.setSourceOpener([this](const QString &) {
            ++opened;
            return fed ? std::make_unique<ChangeSource>() : nullptr;
        });
        QObject::connect(&watch, &Watch::rowsReady, &watch, [this] {
            Watch::Rows listed = watch.takeRows();
            if (listed.changes)
                model.applyChanges(listed.rows);
            else
                model.setRows(std::move(listed.rows), FileListModel::RowOrder::ByName);
            model.setSource(listed.folder);
        });
        QObject::connect(&watch, &Watch::alert, &watch, [this](qsizetype n) { told.append(QString::number(n)); });
        QObject::connect(&watch, &Watch::quiet, &watch, [this] { told.append(QStringLiteral("quiet")); });
        QObject::connect(&watch, &Watch::statusChanged, &watch, [this](const QString &text) { status.append(text); });
        QObject::connect(&watch, &Watch::rowError, &watch,
                         [this](int error) { told.append(QStringLiteral("error %1").arg(error)); });
        watch.setFolder(folder);
    }
    bool pass()
    {
        watch.CompareFile();
        return TestSupport::settle(watch);
    }
};

class TestWatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Shown> m_shown;

    QString rows() const { return m_shown ? TestSupport::rows(m_shown->model) : QString(); }
    QString told() const { return m_shown ? m_shown->told.join(QLatin1Char(',')) : QString(); }
    void touch(const QString &name, const QByteArray &data = "x") const
    {
        QVERIFY(TestSupport::writeFile(m_dir->filePath(name), data));
    }
    // Leaves the folder holding just these files (names apart by '|').
    void setFolder(const QString &names) const
    {
        const QStringList wanted = names.split(QLatin1Char('|'), Qt::SkipEmptyParts);
        for (const QString &name : QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (!wanted.contains(name))
                QVERIFY(QFile::remove(m_dir->filePath(name)));
        for (const QString &name : wanted)
            if (!QFile::exists(m_dir->filePath(name)))
                touch(name);
    }
    // A watch of the temporary folder after its first catalogue, told nothing yet.
    Watch &start(bool withSource = false)
    {
        m_shown = std::make_unique<Shown>(m_dir->path(), withSource);
        m_shown->watch.ReadFile();
        settle();
        m_shown->told.clear();
        return m_shown->watch;
    }
    void settle() const { QVERIFY(TestSupport::settle(m_shown->watch)); }
    void pass() const { QVERIFY(m_shown->pass()); }

private Q_SLOTS:
    void init() { QVERIFY((m_dir = std::make_unique<QTemporaryDir>())->isValid()); }
    void cleanup() { m_shown.reset(); }

    void passes_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("passes"); // the folder's files at each pass, apart by ';'; "!": a new catalogue
        QTest::addColumn<QString>("rows"); // after the last pass
        QTest::addColumn<QString>("told"); // the alerts' counts, and quiet
        const auto row
            = [](const char *name, const char *catalogue, const char *passes, const char *rows, const char *told) {
                  QTest::newRow(name) << QString::fromLatin1(catalogue) << QString::fromLatin1(passes)
                                      << QString::fromLatin1(rows) << QString::fromLatin1(told);
              };
        row("renamed", "abc1.txt", "abc2.txt", "abc2.txt:New", "1");
        row("case only", "a.txt", "A.txt", "A.txt:New", "1");
        row("catalogued file removed", "a|b|c", "a|c", "a:,c:", "");
        row("hidden", "a.txt", ".a.txt", "", "");
        row("grows and shrinks", "k", "k|n1;k|n1;k|n1|n2;k|n1;k", "k:", "1,2,1,quiet");
        // Two different sets of new files never count as the same.
        row("sets with one signature", "", "xy.txt;x|y.txt;x,y.txt", "x,y.txt:New", "1,2,1");
        // Case is ignored; names equal but for case come upper case first, whatever the folder's order.
        row("order", "e|b|C|a|E|B.txt|d|A|c|D", "e|b|C|a|E|B.txt|d|A|c|D|Ab",
            "A:,a:,Ab:New,b:,B.txt:,C:,c:,D:,d:,E:,e:", "1");
        // A new catalogue turns quiet; a told file removed and made again is told again, same signature or not.
        row("new catalogues", "", "!early;early|back;!early;early|back", "back:New,early:", "quiet,1,quiet,1");
    }

    void passes()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, passes);
        setFolder(catalogue);
        start();
        for (const QString &files : passes.split(QLatin1Char(';'))) {
            setFolder(QString(files).remove(QLatin1Char('!')));
            files.startsWith(QLatin1Char('!')) ? m_shown->watch.ReadFile() : m_shown->watch.CompareFile();
            settle();
        }
        QTEST(rows(), "rows");
        QTEST(told(), "told");
        QCOMPARE(m_shown->status.constLast(), QStringLiteral("Sleeping..."));
    }

    void folderAway_data()
    {
        QTest::addColumn<bool>("halfWay");
        QTest::newRow("folder gone") << false;
        QTest::newRow("listing fails half way") << true;
    }
    // A folder that cannot be listed shows no rows and keeps its catalogue; files told before are not told again.
    void folderAway()
    {
        QFETCH(bool, halfWay);
        setFolder(QStringLiteral("a|b"));
        Watch &w = start();
        touch(QStringLiteral("n1"));
        pass();
        g_readdirFailsAt = halfWay ? 3 : 0;
        QVERIFY(halfWay || QDir(m_dir->path()).removeRecursively());
        w.ReadFile();
        settle();
        g_readdirFailsAt = halfWay ? 3 : 0;
        pass();
        QCOMPARE(rows(), QString());
        QCOMPARE(m_shown->status.constLast(), QStringLiteral("Folder not available: ") + m_dir->path());

        QVERIFY(halfWay || QDir().mkdir(m_dir->path()));
        setFolder(QStringLiteral("a|n1"));
        pass();
        QCOMPARE(rows(), QStringLiteral("a:,n1:New"));
        QVERIFY(told() == "1" && m_shown->status.constLast() == "Sleeping...");
    }

    // Unreadable attributes keep the row; the failure is told once while it lasts.
    void rowError()
    {
        Watch &w = start();
        auto error = std::make_shared<std::atomic<int>>(0);
        w.setLister([error](const QString &, RowTable &rows) {
            const NameView a {"a", 1};
            rows = RowTable();
            rows.append(a, AddListItem(a, 0, 0, error->load(), false));
            return true;
        });
        for (int e : {EACCES, EACCES, 0, EIO, EIO}) {
            error->store(e);
            pass();
        }
        QCOMPARE(rows(), QStringLiteral("a:New"));
        QCOMPARE(told(), QStringLiteral("error 13,1,error 5"));
    }

    void linksAndSpecialFiles_data()
    {
        QTest::addColumn<bool>("noTypes");
        QTest::newRow("local disk") << false;
        QTest::newRow("no file types (NFS, FUSE)") << true;
    }
    // Only plain files and links to them are rows, readable or not (not a folder); one gone a moment is no new file
    // once back.
    void linksAndSpecialFiles()
    {
        QFETCH(bool, noTypes);
        const QByteArray dir = QFile::encodeName(m_dir->path());
        setFolder(QStringLiteral("file.txt|unreadable.txt|vanishing.txt"));
        QVERIFY(::mkdir((dir + "/unreadable").constData(), 0755) == 0
                && ::mkfifo((dir + "/pipe").constData(), 0644) == 0);
        for (const auto &[link, target] : {std::pair {"dangling", "nowhere"},
                                           {"loop", "loop"},
                                           {"to-folder", "unreadable"},
                                           {"to-pipe", "pipe"},
                                           {"to-file", "file.txt"}})
            QVERIFY(::symlink(target, (dir + '/' + link).constData()) == 0);
        g_noTypes = noTypes;
        g_vanishing = true;
        start();
        g_vanishing = false;
        QCOMPARE(rows(), QStringLiteral("file.txt:,to-file:,unreadable.txt:"));
        pass();
        g_noTypes = false;
        QCOMPARE(rows(), QStringLiteral("file.txt:,to-file:,unreadable.txt:,vanishing.txt:"));
        QCOMPARE(m_shown->model.text(2, FileListModel::SizeColumn) // unreadable: no time
                     + m_shown->model.text(2, FileListModel::ModifiedColumn),
                 QStringLiteral("0"));
    }

    // A period as stored, as shown, and as typed in a German locale, "." still read as the decimal point.
    void period_data()
    {
        QTest::addColumn<int>("ms"); // a period as stored
        QTest::addColumn<bool>("usable"); // when read back
        QTest::addColumn<int>("shown"); // in the dialog, in whole seconds
        QTest::addColumn<QString>("reply"); // typed there, in a German locale
        QTest::addColumn<int>("set"); // the period it sets; -1: the period stays

        QTest::newRow("a minute; half of one") << 60000 << true << 60 << "30" << 30000;
        QTest::newRow("halves to even; a decimal comma") << 2500 << true << 2 << "1,5" << 1500;
        QTest::newRow("halves to even, up; a point") << 1500 << true << 2 << "1.5" << 1500;
        QTest::newRow("the longest") << 65535 << true << 66 << "65,535" << 65535;
        QTest::newRow("too long") << 65536 << false << 66 << "65,536" << -1;
        QTest::newRow("stopped; a reply that rounds to it") << 0 << true << 0 << "0,0004" << 0;
        QTest::newRow("negative; nought") << -1 << false << 0 << "0" << -1;
        QTest::newRow("half a second; negative") << 500 << true << 0 << "-5" << -1;
        QTest::newRow("blanks around") << 1499 << true << 1 << " 2 " << 2000;
        QTest::newRow("no number") << 64500 << true << 64 << "abc" << -1;
        QTest::newRow("infinite") << 64501 << true << 65 << "inf" << -1;
    }
    void period()
    {
        QFETCH(int, ms);
        QFETCH(bool, usable);
        QFETCH(QString, reply);
        QCOMPARE(AuditPeriod::fromStored(QString::number(ms)), usable ? std::optional(ms) : std::nullopt);
        QTEST(int(AuditPeriod::shownSeconds(ms)), "shown");
        QTEST(AuditPeriod::fromReply(reply, QLocale(QLocale::German)).value_or(-1), "set");
    }

    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto u = [](std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); };
        QTest::newRow("invalid byte") << QByteArray("a\xff.") << u(u"a\xDCFF.");
        QTest::newRow("overlong, three bytes") << QByteArray("\xe0\x9f\xbf") << u(u"\xDCE0\xDC9F\xDCBF");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << u(u"\xDCED\xDCA0\xDC80");
        QTest::newRow("the last surrogate") << QByteArray("\xed\xbf\xbf") << u(u"\xDCED\xDCBF\xDCBF");
        QTest::newRow("first of three bytes, last of four")
            << QByteArray("\xe0\xa0\x80\xf4\x8f\xbf\xbf") << u(u"\u0800\U0010FFFF");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u(u"\xDCF4\xDC90\xDC80\xDC80");
        QTest::newRow("escape before valid") << QByteArray("\xff\xc3\xa9") << u(u"\xDCFF\u00e9");
        QTest::newRow("escape, then a pair at the end") << QByteArray("\xff\xf0\x9f\x98\x80") << u(u"\xDCFF\U0001F600");
        QTest::newRow("escape, a pair, a letter") << QByteArray("\xff\xf0\x9f\x98\x80x") << u(u"\xDCFF\U0001F600x");
    }

    // Every byte string is a name whose text turns back into the same bytes.
    void fileNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QVERIFY(FileNames::decode(bytes) == text && FileNames::encode(text) == bytes);
    }

    void slowListing_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("atOnce"); // listings started before the first ends
        QTest::addColumn<int>("listings");
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QString>("told");
        // Passes asked for meanwhile run once, after it.
        QTest::newRow("passes") << QStringLiteral("pass") << 1 << 2 << QStringLiteral("n1:New") << QStringLiteral("1");
        // A new catalogue starts at once and drops the pass it overtakes.
        QTest::newRow("new catalogue") << QStringLiteral("catalogue") << 2 << 3 << QStringLiteral("n1:")
                                       << QStringLiteral("quiet");
        // Leaving never waits for a listing; nothing is told after.
        QTest::newRow("leave") << QStringLiteral("leave") << 1 << 1 << QString() << QString();
    }

    // Nothing waits for a listing stuck on a slow share.
    void slowListing()
    {
        QFETCH(QString, meanwhile);
        QFETCH(int, atOnce);
        // The first listing waits for the gate, later ones for a latch of their own.
        auto gate = std::make_shared<TestSupport::Latch>(), later = std::make_shared<TestSupport::Latch>();
        const auto listings = [=] { return gate->entered + later->entered; };
        Watch &w = start();
        w.setLister([=](const QString &folder, RowTable &rows) {
            (gate->entered ? later : gate)->wait();
            return FileListing::list(folder, rows);
        });
        touch(QStringLiteral("n1"));
        w.CompareFile();
        QTRY_COMPARE(listings(), 1);
        QCOMPARE(m_shown->status.constLast(), QStringLiteral("Checking for new file..."));
        if (meanwhile == QLatin1String("catalogue")) {
            w.ReadFile();
            QCOMPARE(m_shown->status.constLast(), QStringLiteral("Sleeping...")); // the pass left behind
        }
        w.CompareFile();
        w.CompareFile();
        QTRY_COMPARE(listings(), atOnce);
        if (meanwhile == QLatin1String("leave")) {
            w.stop();
            m_shown.reset();
        }
        gate->open = true;
        if (atOnce > 1) { // the pass left behind ends alone, and is dropped
            QTRY_COMPARE(Background::busyCount(), 1);
            QCoreApplication::processEvents();
        }
        later->open = true;
        if (m_shown)
            settle();
        else
            QVERIFY(TestSupport::quiet());
        QTEST(listings(), "listings");
        QTEST(rows(), "rows");
        QTEST(told(), "told");
    }

    // A stuck share holds up no other folder, and switching between its folders leaves few threads.
    void stuckShare()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("share/a"))
                && QDir(m_dir->path()).mkpath(QStringLiteral("share/b")));
        touch(QStringLiteral("local.txt"));
        auto gate = std::make_shared<TestSupport::Latch>();
        m_shown = std::make_unique<Shown>(QString());
        Watch &w = m_shown->watch;
        const auto shown = [this] { return m_shown->model.folder() + QLatin1Char('|') + rows(); };
        // A stuck share: listings of its folders wait for the latch.
        w.setLister([gate, share = m_dir->filePath(QStringLiteral("share"))](const QString &folder, auto &rows) {
            if (folder.startsWith(share))
                gate->wait();
            return FileListing::list(folder, rows);
        });
        const int threads = Background::threadCount();
        QSignalSpy busy(&w, &Watch::busyChanged);
        for (int i = 0; i < 50; ++i) {
            w.setFolder(m_dir->filePath(i % 2 ? QStringLiteral("share/a") : QStringLiteral("share/b")));
            w.ReadFile();
            w.CompareFile();
            // Each lane lets two listings in; the rest wait their turn. The first one stuck is told as busy.
            QTRY_COMPARE(gate->entered.load(), std::min(i + 1, 2 * Background::kPerLane));
            QTRY_VERIFY(i > 0 || busy.value(0) == QVariantList {true});
        }
        w.setFolder(m_dir->path());
        w.ReadFile();
        settle();
        QCOMPARE(shown(), m_dir->path() + QStringLiteral("|local.txt:"));
        QVERIFY(Background::threadCount() - threads <= 2 * Background::kPerLane + 1);
        gate->open = true;
        QTRY_COMPARE(Background::busyCount(), 0);
        // Those overtaken while they waited their turn listed nothing.
        QCOMPARE(gate->entered.load(), 2 * Background::kPerLane);
        QCOMPARE(shown(), m_dir->path() + QStringLiteral("|local.txt:"));
    }

    void changeSource_data()
    {
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<bool>("untoldSeen"); // a file made without an event: seen only by a listing in full
        QTest::addColumn<int>("opened");
        QTest::newRow("events only") << QString() << false << 1;
        QTest::newRow("events lost") << QStringLiteral("lost") << true << 1;
        QTest::newRow("more names than kept") << QStringLiteral("bound") << true << 1;
        QTest::newRow("watch gone") << QStringLiteral("gone") << true << 2;
        QTest::newRow("no source to be had") << QStringLiteral("none") << true << 2;
        QTest::newRow("the hourly check") << QStringLiteral("check") << true << 1;
    }
    // A pass looks up the names told, in any order and number; where events cannot be trusted it lists in full.
    void changeSource()
    {
        QFETCH(QString, trouble);
        setFolder(QStringLiteral("known|gone|.hidden"));
        Watch &w = start(trouble != QLatin1String("none"));
        touch(QStringLiteral("untold"));
        touch(QStringLiteral("made"));
        touch(QStringLiteral("known"), QByteArray(2500, 'x'));
        touch(QStringLiteral(".hidden"), "y");
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("gone"))));
        if (ChangeSource *source = w.source()) {
            if (trouble == QLatin1String("bound"))
                source->setBound(3); // of the four names told
            for (const auto &[kind, name] : {std::pair {ChangeSource::ClosedWrite, "made"},
                                             {ChangeSource::Deleted, "gone"},
                                             {ChangeSource::Modified, "known"},
                                             {ChangeSource::Created, "made"},
                                             {ChangeSource::Modified, ".hidden"},
                                             {ChangeSource::Deleted, "gone"}})
                source->tell(kind, name);
            if (trouble == QLatin1String("lost"))
                source->tellLost();
            if (trouble == QLatin1String("gone"))
                source->tellGone();
        }
        if (trouble == QLatin1String("check"))
            w.setCheckEvery(0);
        QSignalSpy changed(&m_shown->model, &QAbstractItemModel::dataChanged);
        pass();
        QFETCH(bool, untoldSeen);
        if (!untoldSeen) // the changed row is drawn again
            QVERIFY(!changed.isEmpty() && changed.constFirst().constFirst().toModelIndex().row() == 0);
        QCOMPARE(rows(), QStringLiteral("known:,made:New") + (untoldSeen ? QStringLiteral(",untold:New") : QString()));
        QCOMPARE(m_shown->model.text(0, FileListModel::SizeColumn), QStringLiteral("2"));
        QTEST(m_shown->opened.load(), "opened");
        QCOMPARE(told(), untoldSeen ? QStringLiteral("2") : QStringLiteral("1"));
    }

    void randomChanges_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (unsigned seed : {1u, 2u, 3u, 4u, 5u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    // Random changes to a real folder, the kernel's names told shuffled, twice, now and then lost: after every pass the
    // rows changed in place (sorted by any column) and what was told match a watch that lists in full.
    void randomChanges()
    {
        QFETCH(unsigned, seed);
        std::mt19937 random(seed);
        const auto pick = [&](int n) { return int(random() % unsigned(n)); };
        QTemporaryDir outside;
        const QStringList names {"a", "B", "b", "c.txt", "D.TXT", "\u00e9t\u00e9", "x1", "x2", "x10", "z", ".h"};
        touch(QStringLiteral("a"));
        touch(QStringLiteral("c.txt"));
        std::unique_ptr<ChangeSource> kernel = ChangeSource::openInotify(m_dir->path());
        QVERIFY(kernel);
        Shown events(m_dir->path(), true), full(m_dir->path());
        for (Shown *s : {&events, &full}) {
            s->watch.ReadFile();
            QVERIFY(TestSupport::settle(s->watch));
        }
        const auto path = [&](const QString &name) { return QFile::encodeName(m_dir->filePath(name)); };
        for (int step = 0; step < 60; ++step) {
            for (int n = pick(5); n > 0; --n) {
                const QString name = names[pick(int(names.size()))], other = names[pick(int(names.size()))];
                const QByteArray away = QFile::encodeName(outside.filePath(name));
                const struct timespec times[2] = {{0, UTIME_OMIT}, {1'600'000'000 + pick(1000) * 3600, 0}};
                switch (pick(8)) {
                case 0: // made or written
                    TestSupport::writeFile(m_dir->filePath(name), QByteArray(pick(3000), 'x'));
                    break;
                case 1:
                    ::unlink(path(name));
                    break;
                case 2: // moved in from outside
                    ::unlink(away);
                    TestSupport::writeFile(outside.filePath(name), "in");
                    ::rename(away, path(name));
                    break;
                case 3: // moved out, or to another name
                    ::rename(path(name), pick(2) ? away : path(other));
                    break;
                case 4:
                    ::utimensat(AT_FDCWD, path(name), times, 0);
                    break;
                case 5: // a link, or a second name: their files change under the other name only
                    // The name may be taken already: then nothing changes, which is a step too.
                    if ((pick(2) ? ::symlink(QFile::encodeName(other), path(name)) : ::link(path(other), path(name)))
                        != 0)
                        break;
                    break;
                case 6:
                    if (QFile out(m_dir->filePath(name)); out.open(QIODevice::Append))
                        out.write(QByteArray(1000 + pick(5000), 'y'));
                    break;
                default: // a folder of that name, for a moment
                    QDir().mkdir(m_dir->filePath(name));
                    QDir(m_dir->filePath(name)).removeRecursively();
                }
            }
            kernel->readAvailable();
            std::vector<ChangeSource::Named> told = kernel->take().names;
            std::shuffle(told.begin(), told.end(), random);
            if (!told.empty())
                told.push_back(told[std::size_t(pick(int(told.size())))]);
            for (const ChangeSource::Named &named : told)
                events.watch.source()->tell(ChangeSource::Kind(pick(ChangeSource::KindCount)), named.name);
            if (pick(12) == 0)
                events.watch.source()->tellLost();
            const int sortBy = pick(10) == 0 ? pick(FileListModel::ColumnCount) : -2;
            const bool catalogue = pick(15) == 0;
            for (Shown *s : {&events, &full}) {
                if (sortBy > -2)
                    s->model.sortByColumn(sortBy);
                catalogue ? s->watch.ReadFile() : s->watch.CompareFile();
                QVERIFY(TestSupport::settle(s->watch));
            }
            QCOMPARE(TestSupport::rows(events.model, FileListModel::ColumnCount),
                     TestSupport::rows(full.model, FileListModel::ColumnCount));
            QCOMPARE(events.told, full.told);
        }
        QCOMPARE(events.opened.load(), 1);
    }

    // The kernel's events of a real folder, each of its kind and in its order; the watch gone with the folder.
    void kernelSource()
    {
        std::unique_ptr<ChangeSource> source = ChangeSource::openInotify(m_dir->path());
        QVERIFY(source && source->descriptor() >= 0);
        touch(QStringLiteral("new"));
        QVERIFY(QFile::rename(m_dir->filePath(QStringLiteral("new")), m_dir->filePath(QStringLiteral("moved"))));
        touch(QStringLiteral(".hidden"));
        QVERIFY(QFile::setPermissions(m_dir->filePath(QStringLiteral("moved")), QFile::ReadOwner));
        std::map<QByteArray, std::array<std::uint32_t, ChangeSource::KindCount>> seen;
        QVERIFY(QTest::qWaitFor([&] {
            source->readAvailable();
            for (const ChangeSource::Named &named : source->take().names)
                seen[named.name] = named.seen;
            return seen.count("moved");
        }));
        QCOMPARE(seen.size(), std::size_t(3)); // a hidden name too: it may be a second name of a file
        const auto &made = seen["new"], &moved = seen["moved"];
        QVERIFY(made[ChangeSource::Created] && made[ChangeSource::Created] < made[ChangeSource::ClosedWrite]);
        QVERIFY(made[ChangeSource::ClosedWrite] < made[ChangeSource::MovedOut]);
        QVERIFY(made[ChangeSource::MovedOut] < moved[ChangeSource::MovedIn]);
        QVERIFY(moved[ChangeSource::MovedIn] < moved[ChangeSource::Attributes]);
        QVERIFY(!made[ChangeSource::Deleted] && !moved[ChangeSource::Modified]);
        RowTable rows; // another folder under its name (or one mounted on it) is not the one watched
        QCOMPARE(FileListing::lookUp(m_dir->path(), {}, source->device(), source->inode() + 1, rows),
                 FileListing::LookUp::Replaced);
        QVERIFY(!source->gone() && source->take().complete && QDir(m_dir->path()).removeRecursively());
        QVERIFY(QTest::qWaitFor([&] {
            source->readAvailable();
            return source->gone();
        }));
        QVERIFY(!source->take().complete);
    }

    // Steps: "make", "grow" (a write, told), "close", "closed" (the pass comes by itself), "movein", "old" (time put
    // back), "lost", "hang" (a period and a minute since the last write); "0"/"1": a pass, and whether still written.
    // While held ("hold"), "read" (events read) and "look" (a tick) tell it complete ("ended:N": N times) with no pass.
    void arrivals_data()
    {
        QTest::addColumn<bool>("events");
        QTest::addColumn<QString>("steps");
        QTest::newRow("written, then closed") << true << "make,1,grow,1,close,0";
        QTest::newRow("closed: told soon") << true << "make,1,grow,closed";
        QTest::newRow("made and closed between two passes") << true << "make,close,0";
        QTest::newRow("its time put back while written") << true << "make,1,old,1,close,0";
        QTest::newRow("a writer that hangs") << true << "make,1,1,hang,0";
        QTest::newRow("moved in whole") << true << "movein,0";
        QTest::newRow("events lost: changed, then still") << true << "make,1,lost,grow,1,0";
        QTest::newRow("share: grows, then still") << false << "make,1,grow,1,0,0";
        QTest::newRow("share: copied with its old time") << false << "make,old,0";
        QTest::newRow("share: copied with a time a second before the listing") << false << "make,edge,1";
        QTest::newRow("share: a writer that hangs") << false << "make,1,grow,hang,1,0";
        QTest::newRow("gone while written, then closed") << true << "make,1,gone,close,read,ended:0,make,1,close,0";
        QTest::newRow("held: closed") << true << "make,1,hold,grow,read,ended:0,close,read,ended:1";
        QTest::newRow("held: closed, then written again") << true << "make,1,hold,close,grow,read,ended:0";
        QTest::newRow("held: a share's file still")
            << false << "make,1,hold,grow,look,ended:0,look,ended:1,look,ended:1";
    }
    void arrivals()
    {
        QFETCH(bool, events);
        QFETCH(QString, steps);
        qint64 clock = QDateTime::currentSecsSinceEpoch() * 1000;
        m_shown = std::make_unique<Shown>(m_dir->path(), events);
        Watch &w = m_shown->watch;
        w.setClock([&] { return clock; });
        w.setSettleTime(120 * 1000);
        w.ReadFile();
        settle();
        m_shown->told.clear();
        const QString f = m_dir->filePath(QStringLiteral("f"));
        QSignalSpy ended(&w, &Watch::arrivalEnded);
        const auto tell = [&](ChangeSource::Kind kind) {
            if (w.source())
                w.source()->tell(kind, "f");
        };
        for (const QString &step : steps.split(QLatin1Char(','))) {
            if (step == "make" || step == "grow") {
                if (QFile out(f); out.open(QIODevice::Append))
                    out.write("data");
                tell(step == "make" ? ChangeSource::Created : ChangeSource::Modified);
            } else if (step == "close" || step == "closed") {
                tell(ChangeSource::ClosedWrite);
                if (step == "closed") {
                    w.changesRead();
                    QTRY_VERIFY(w.isIdle() && !m_shown->model.isArriving(0));
                }
            } else if (step == "movein") {
                QVERIFY(TestSupport::writeFile(f + QStringLiteral(".part")));
                QVERIFY(QFile::rename(f + QStringLiteral(".part"), f));
                tell(ChangeSource::MovedIn);
            } else if (step == "old" || step == "edge") {
                const struct timespec times[2]
                    = {{0, UTIME_OMIT}, {step == "old" ? 1'600'000'000 : clock / 1000 - 1, 0}};
                QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(f), times, 0), 0);
                tell(ChangeSource::Attributes);
            } else if (step == "lost") {
                w.source()->tellLost();
            } else if (step == "gone") {
                tell(ChangeSource::Deleted);
                QVERIFY(QFile::remove(f) && m_shown->pass());
            } else if (step == "hang") {
                clock += 118 * 1000;
            } else if (step == "hold") {
                w.hold();
            } else if (step == "read") {
                w.changesRead();
            } else if (step == "look") {
                w.CompareFile();
            } else if (step.startsWith("ended:")) {
                QTRY_COMPARE(Background::busyCount(), 0);
                QCOMPARE(ended.size(), step.mid(6).toInt());
                QVERIFY(ended.isEmpty() || ended.constFirst().constFirst() == QStringLiteral("f"));
            } else {
                clock += 1000;
                QVERIFY(m_shown->pass() && rows() == QStringLiteral("f:New"));
                // Drawn aslant, with a tip; the size follows the file.
                const QModelIndex cell = m_shown->model.index(0, FileListModel::ModifiedColumn);
                QCOMPARE(m_shown->model.isArriving(0), step == "1");
                QCOMPARE(cell.data(Qt::FontRole).value<QFont>().italic(), step == "1");
                QCOMPARE(cell.data(Qt::ToolTipRole).toString(),
                         step == "1" ? QStringLiteral("Still being written") : QString());
                QCOMPARE(m_shown->model.row(0).size, QFileInfo(f).size());
            }
        }
        QCOMPARE(told(), steps.contains("gone") ? "1,quiet,1" : "1");
    }

    // A real writer, told by the kernel: arriving while it holds the file open, complete once closed, with no pass.
    void arrivalsKernel()
    {
        m_shown = std::make_unique<Shown>(m_dir->path());
        Watch &w = m_shown->watch;
        w.setSourceOpener(&ChangeSource::openInotify);
        w.ReadFile();
        settle();
        QFile out(m_dir->filePath(QStringLiteral("f")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        for (int i = 0; i < 2; ++i) {
            QVERIFY(out.write("data") == 4 && out.flush() && m_shown->pass());
            QVERIFY(w.source() && m_shown->model.isArriving(0) && m_shown->model.row(0).size == 4 * (i + 1));
        }
        out.close();
        QTRY_VERIFY(!m_shown->model.isArriving(0));
        QCOMPARE(told(), QStringLiteral("quiet,1"));
    }

    // Only file systems whose every change this machine makes are trusted to tell of it: ext4, btrfs and tmpfs; not
    // NFS, SMB, FUSE, overlay or one not known.
    void fileSystems()
    {
        QList<bool> trusted;
        for (unsigned long type :
             {0xEF53ul, 0x9123683Eul, 0x01021994ul, 0x6969ul, 0xFF534D42ul, 0x65735546ul, 0x794c7630ul, 0ul})
            trusted << ChangeSource::deliversEvents(type);
        QCOMPARE(trusted, (QList<bool> {true, true, true, false, false, false, false, false}));
    }

    // While held (a box open, a copy running) a finished pass waits for the last release; none after exit.

    void held()
    {
        Watch &w = start();
        touch(QStringLiteral("n1"));
        w.CompareFile();
        w.hold();
        w.hold();
        QTRY_COMPARE(w.phase(), Watch::Phase::Parked);
        w.release();
        QCoreApplication::processEvents();
        QCOMPARE(told(), QString());
        w.release();
        settle();
        QCOMPARE(told(), QStringLiteral("1"));
        // While copies run a pass waits; a new catalogue does not.
        w.holdPasses();
        touch(QStringLiteral("n2"));
        w.CompareFile();
        QCOMPARE(w.phase(), Watch::Phase::Idle);
        w.ReadFile();
        QTRY_COMPARE(m_shown->told.size(), 2);
        QCOMPARE(rows(), QStringLiteral("n1:,n2:"));
        w.releasePasses();
        settle();
        QCOMPARE(told(), QStringLiteral("1,quiet,quiet"));
        // A new catalogue asked for beneath a box runs before a pass asked after it.
        w.hold();
        touch(QStringLiteral("n3"));
        w.ReadFile();
        w.CompareFile();
        w.release();
        settle();
        QCOMPARE(told(), QStringLiteral("1,quiet,quiet,quiet"));
        w.stop();
        const qsizetype statuses = m_shown->status.size();
        w.CompareFile();
        QCoreApplication::processEvents();
        QCOMPARE(m_shown->status.size(), statuses);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
