#include "TestSupport.h"

#include "audit/AuditPeriod.h"
#include "audit/Catalogue.h"
#include "audit/FileListing.h"
#include "audit/Watch.h"
#include "platform/Background.h"
#include "platform/FileNames.h"

#include <memory>

#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

// A share's faults: a listing failing half way, no file types, unreadable attributes ("unreadable..."), a lookup
// that does not find a listed file for a moment ("vanishing...").
static std::atomic<int> g_readdirFailsAt {0}; // the n-th call from now on fails; 0: none
static std::atomic<bool> g_noTypes {false};
static std::atomic<bool> g_vanishing {false};

extern "C" dirent *readdir(DIR *dir)
{
    static const auto real = reinterpret_cast<dirent *(*)(DIR *)>(dlsym(RTLD_NEXT, "readdir"));
    if (g_readdirFailsAt > 0 && --g_readdirFailsAt == 0) {
        errno = EIO;
        return nullptr;
    }
    dirent *entry = real(dir);
    if (entry && g_noTypes)
        entry->d_type = DT_UNKNOWN;
    return entry;
}

extern "C" int fstatat(int dirFd, const char *name, struct stat *st, int flags) noexcept
{
    static const auto real
        = reinterpret_cast<int (*)(int, const char *, struct stat *, int)>(dlsym(RTLD_NEXT, "fstatat"));
    if (flags == 0 && std::strncmp(name, "unreadable", 10) == 0) {
        errno = EIO;
        return -1;
    }
    if (g_vanishing && std::strncmp(name, "vanishing", 9) == 0) {
        errno = ENOENT;
        return -1;
    }
    return real(dirFd, name, st, flags);
}

class TestWatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Watch> m_watch;
    // What the watch told: rows as "name:status", alert counts and "quiet", status texts.
    QStringList m_rows;
    QStringList m_told;
    QStringList m_status;

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
    Watch &start()
    {
        m_watch = std::make_unique<Watch>();
        Watch &w = *m_watch;
        connect(&w, &Watch::rowsReady, this, [this, &w](Watch::Kind, qsizetype) {
            m_rows.clear();
            const RowTable rows = w.takeRows().rows;
            for (int i = 0; i < rows.size(); ++i)
                m_rows.append(rows.name(i).text()
                              + (rows.row(i).isNew() ? QStringLiteral(":New") : QStringLiteral(":")));
        });
        connect(&w, &Watch::alert, this, [this](qsizetype n) { m_told.append(QString::number(n)); });
        connect(&w, &Watch::quiet, this, [this] { m_told.append(QStringLiteral("quiet")); });
        connect(&w, &Watch::statusChanged, this, [this](const QString &text) { m_status.append(text); });
        connect(&w, &Watch::rowError, this,
                [this](int error) { m_told.append(QStringLiteral("error %1").arg(error)); });
        w.setFolder(m_dir->path());
        w.ReadFile();
        settle();
        m_told.clear();
        return w;
    }
    void settle() const { QVERIFY(TestSupport::settle(*m_watch)); }
    void pass() const
    {
        m_watch->CompareFile();
        settle();
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_rows.clear();
        m_told.clear();
        m_status.clear();
    }
    void cleanup() { m_watch.reset(); }

    void passes_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("passes"); // the folder's files at each pass, passes apart by ';'
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
    }

    void passes()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, passes);
        setFolder(catalogue);
        start();
        for (const QString &files : passes.split(QLatin1Char(';'))) {
            setFolder(files);
            pass();
        }
        QTEST(m_rows.join(QLatin1Char(',')), "rows");
        QTEST(m_told.join(QLatin1Char(',')), "told");
        QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping..."));
    }

    // A new catalogue turns quiet; a told file removed and made again is told again, same signature or not.
    void newCatalogue()
    {
        Watch &w = start();
        touch(QStringLiteral("early.txt"));
        w.ReadFile();
        settle();
        touch(QStringLiteral("back.txt"));
        pass();
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("back.txt"))));
        w.ReadFile();
        settle();
        QVERIFY(!w.alerting());
        touch(QStringLiteral("back.txt"));
        pass();
        QCOMPARE(m_rows, (QStringList {QStringLiteral("back.txt:New"), QStringLiteral("early.txt:")}));
        QCOMPARE(m_told.join(QLatin1Char(',')), QStringLiteral("quiet,1,quiet,1"));
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
        QCOMPARE(m_rows, QStringList());
        QCOMPARE(m_status.constLast(), QStringLiteral("Folder not available: ") + m_dir->path());

        QVERIFY(halfWay || QDir().mkdir(m_dir->path()));
        setFolder(QStringLiteral("a|n1"));
        pass();
        QCOMPARE(m_rows.join(QLatin1Char(',')), QStringLiteral("a:,n1:New"));
        QCOMPARE(m_told.join(QLatin1Char(',')), QStringLiteral("1"));
        QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping..."));
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
        QCOMPARE(m_rows, QStringList {QStringLiteral("a:New")});
        QCOMPARE(m_told.join(QLatin1Char(',')), QStringLiteral("error 13,1,error 5"));
    }

    void linksAndSpecialFiles_data()
    {
        QTest::addColumn<bool>("noTypes");
        QTest::newRow("local disk") << false;
        QTest::newRow("no file types (NFS, FUSE)") << true;
    }
    // Only plain files and links to them are rows, also when their attributes cannot be read. A file the catalogue
    // listed but did not find a moment later is no row then, and no new file once it is found.
    void linksAndSpecialFiles()
    {
        QFETCH(bool, noTypes);
        const QByteArray dir = QFile::encodeName(m_dir->path());
        touch(QStringLiteral("file.txt"));
        touch(QStringLiteral("unreadable.txt"));
        touch(QStringLiteral("vanishing.txt"));
        QVERIFY(::mkdir((dir + "/sub").constData(), 0755) == 0 && ::mkfifo((dir + "/pipe").constData(), 0644) == 0);
        for (const auto &[link, target] : {std::pair {"dangling", "nowhere"},
                                           {"loop", "loop"},
                                           {"to-folder", "sub"},
                                           {"to-pipe", "pipe"},
                                           {"to-file", "file.txt"}})
            QVERIFY(::symlink(target, (dir + '/' + link).constData()) == 0);
        g_noTypes = noTypes;
        g_vanishing = true;
        start();
        g_vanishing = false;
        const QStringList rows {QStringLiteral("file.txt:"), QStringLiteral("to-file:"),
                                QStringLiteral("unreadable.txt:")};
        QCOMPARE(m_rows, rows);
        pass();
        g_noTypes = false;
        QCOMPARE(m_rows, rows + QStringList {QStringLiteral("vanishing.txt:")});
    }

    // A reply in a German locale, "." still read as the decimal point; -1: refused.
    void period_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("ms");
        for (const auto &[text, ms] : {std::pair {"1,5", 1500}, {"1.5", 1500}, {"65,535", 65535}, {"0", -1}})
            QTest::newRow(text) << QString::fromLatin1(text) << ms;
    }
    void period()
    {
        QFETCH(QString, text);
        QTEST(AuditPeriod::fromReply(text, QLocale(QLocale::German, QLocale::Germany)).value_or(-1), "ms");
    }

    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto u = [](std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); };
        QTest::newRow("invalid byte") << QByteArray("a\xff.") << u(u"a\xDCFF.");
        QTest::newRow("overlong, three bytes") << QByteArray("\xe0\x9f\xbf") << u(u"\xDCE0\xDC9F\xDCBF");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << u(u"\xDCED\xDCA0\xDC80");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u(u"\xDCF4\xDC90\xDC80\xDC80");
        QTest::newRow("escape before valid") << QByteArray("\xff\xc3\xa9") << u(u"\xDCFF\u00e9");
    }

    // Every byte string is a name whose text turns back into the same bytes.
    void fileNames()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(FileNames::decode(bytes), text);
        QCOMPARE(FileNames::encode(text), bytes);
    }

    // Rows sort by their bytes as the texts sort (case ignored, ties by the exact text), whatever the folder's
    // order; the catalogue of them finds each name, and only those.
    void nameOrder_data()
    {
        QTest::addColumn<QByteArrayList>("names");
        QTest::newRow("case, punctuation") << QByteArrayList {"b", "_a", "B", "a_", "A", "[", "a", "Ab"};
        QTest::newRow("same first 16 bytes")
            << QByteArrayList {"IMG_20261207_123456_2.jpg", "img_20261207_123456_1.jpg", "IMG_20261207_12345",
                               "IMG_20261207_1234567", "img_20261207_123456_1.JPG"};
        QTest::newRow("not ASCII") << QByteArrayList {"Ã©tÃ©", "Eta",  "ÃTÃ", "ez", "badÿ",
                                                      "bad",   "BADþ", "âª",    "k",  "L"};
    }
    void nameOrder()
    {
        QFETCH(QByteArrayList, names);
        RowTable rows;
        QStringList texts;
        for (const QByteArray &n : names) {
            const NameView v {n.constData(), int(n.size()), NameOrder::isAscii(n.constData(), int(n.size()))};
            rows.append(v, AddListItem(v, 0, 0, 0, false));
            texts.append(FileNames::decode(n));
        }
        rows.sortByName();
        std::sort(texts.begin(), texts.end(), FileNames::nameLess);
        QStringList sorted;
        for (int i = 0; i < rows.size(); ++i)
            sorted.append(rows.name(i).text());
        QCOMPARE(sorted, texts);
        const std::shared_ptr<const Catalogue> known = Catalogue::take(rows);
        for (const QByteArray &n : names + QByteArrayList {"c", "IMG_20261207_123456_3.jpg", "Ã©TÃ©"}) {
            const NameView v {n.constData(), int(n.size()), NameOrder::isAscii(n.constData(), int(n.size()))};
            QCOMPARE(known->contains(v), names.contains(n));
        }
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
        QCOMPARE(m_status.constLast(), QStringLiteral("Checking for new file..."));
        if (meanwhile == QLatin1String("catalogue")) {
            w.ReadFile();
            QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping...")); // the pass left behind
        }
        w.CompareFile();
        w.CompareFile();
        QTRY_COMPARE(listings(), atOnce);
        if (meanwhile == QLatin1String("leave")) {
            w.stop();
            m_watch.reset();
        }
        gate->open = true;
        if (atOnce > 1) { // the pass left behind ends alone, and is dropped
            QTRY_COMPARE(Background::busyCount(), 1);
            QCoreApplication::processEvents();
        }
        later->open = true;
        if (m_watch)
            settle();
        else
            QTest::qWait(50);
        QTEST(listings(), "listings");
        QTEST(m_rows.join(QLatin1Char(',')), "rows");
        QTEST(m_told.join(QLatin1Char(',')), "told");
    }

    // A stuck share holds up no other folder, and switching between its folders leaves few threads.
    void stuckShare()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("share/a"))
                && QDir(m_dir->path()).mkpath(QStringLiteral("share/b")));
        touch(QStringLiteral("local.txt"));
        auto gate = std::make_shared<TestSupport::Latch>();
        m_watch = std::make_unique<Watch>();
        Watch &w = *m_watch;
        // A stuck share: listings of its folders wait for the latch.
        w.setLister([gate, share = m_dir->filePath(QStringLiteral("share"))](const QString &folder, auto &rows) {
            if (folder.startsWith(share))
                gate->wait();
            return FileListing::list(folder, rows);
        });
        connect(&w, &Watch::rowsReady, this, [this, &w](Watch::Kind, qsizetype) {
            const Watch::Rows listed = w.takeRows();
            m_rows = {listed.folder};
            for (int i = 0; i < listed.rows.size(); ++i)
                m_rows.append(listed.rows.name(i).text());
        });
        const int threads = Background::threadCount();
        for (int i = 0; i < 50; ++i) {
            w.setFolder(m_dir->filePath(i % 2 ? QStringLiteral("share/a") : QStringLiteral("share/b")));
            w.ReadFile();
            w.CompareFile();
            // Each lane lets two listings in; the rest wait their turn.
            QTRY_COMPARE(gate->entered.load(), std::min(i + 1, 2 * Background::kPerLane));
        }
        w.setFolder(m_dir->path());
        w.ReadFile();
        settle();
        QCOMPARE(m_rows, (QStringList {m_dir->path(), QStringLiteral("local.txt")}));
        QVERIFY(Background::threadCount() - threads <= 2 * Background::kPerLane + 1);
        gate->open = true;
        QTRY_COMPARE(Background::busyCount(), 0);
        // Those overtaken while they waited their turn listed nothing.
        QCOMPARE(gate->entered.load(), 2 * Background::kPerLane);
        QCOMPARE(m_rows.constFirst(), m_dir->path());
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
        QVERIFY(m_told.isEmpty());
        w.release();
        settle();
        QCOMPARE(m_told, QStringList {QStringLiteral("1")});
        // While copies run a pass waits; a new catalogue does not.
        w.holdPasses();
        touch(QStringLiteral("n2"));
        w.CompareFile();
        QCOMPARE(w.phase(), Watch::Phase::Idle);
        w.ReadFile();
        QTRY_COMPARE(m_told.size(), 2);
        QCOMPARE(m_rows.join(QLatin1Char(',')), QStringLiteral("n1:,n2:"));
        w.releasePasses();
        settle();
        QCOMPARE(m_told.join(QLatin1Char(',')), QStringLiteral("1,quiet,quiet"));
        // A new catalogue asked for beneath a box runs before a pass asked after it.
        w.hold();
        touch(QStringLiteral("n3"));
        w.ReadFile();
        w.CompareFile();
        w.release();
        settle();
        QCOMPARE(m_told.join(QLatin1Char(',')), QStringLiteral("1,quiet,quiet,quiet"));
        w.stop();
        const qsizetype told = m_status.size();
        w.CompareFile();
        QCoreApplication::processEvents();
        QCOMPARE(m_status.size(), told);
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
