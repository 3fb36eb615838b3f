#include "TestSupport.h"

#include "audit/FileListing.h"
#include "audit/Watch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Stands in for a slow share: every listing waits here until the gate opens.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int listings = 0;

    void pass()
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++listings;
        opened.wait(lock, [this] { return open; });
    }
    void openUp()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        open = true;
        opened.notify_all();
    }
    bool isOpen()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return open;
    }
    int count()
    {
        const std::lock_guard<std::mutex> lock(mutex);
        return listings;
    }
};

Watch::Lister gated(const std::shared_ptr<Gate> &gate)
{
    return [gate, listing = std::make_shared<FileListing>()](const QString &folder, std::vector<ListedFile> &files) {
        gate->pass();
        return listing->list(folder, files);
    };
}

} // namespace

class TestWatch : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Watch> m_watch;
    // What the watch told: rows as "name:status", the counts of its alerts,
    // "quiet", and its status texts.
    QStringList m_rows;
    QStringList m_told;
    QStringList m_status;

    void touch(const QString &name, const QByteArray &data = "x") const
    {
        QFile file(m_dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
    }
    // Leaves the folder holding just these files (names apart by ',').
    void setFolder(const QString &names) const
    {
        const QStringList wanted = names.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &name : QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (!wanted.contains(name))
                QVERIFY(QFile::remove(m_dir->filePath(name)));
        for (const QString &name : wanted)
            if (!QFile::exists(m_dir->filePath(name)))
                touch(name);
    }
    Watch &start(Watch::Lister lister = nullptr)
    {
        m_watch = std::make_unique<Watch>();
        Watch &w = *m_watch;
        w.setLister(std::move(lister));
        connect(&w, &Watch::rowsReady, this, [this, &w](Watch::Kind, qsizetype) {
            m_rows.clear();
            for (const FileRow &row : w.takeRows())
                m_rows.append(row.name + QLatin1Char(':') + row.status);
        });
        connect(&w, &Watch::alert, this, [this](qsizetype n) { m_told.append(QString::number(n)); });
        connect(&w, &Watch::quiet, this, [this] { m_told.append(QStringLiteral("quiet")); });
        connect(&w, &Watch::statusChanged, this, [this](const QString &text) { m_status.append(text); });
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
        row("renamed", "a.txt", "b.txt", "b.txt:New", "1");
        row("case only", "a.txt", "A.txt", "A.txt:New", "1");
        row("hidden", "a.txt", ".a.txt", "", "");
        row("same set again", "k", "k,n1;k,n1", "k:,n1:New", "1");
        row("grows and shrinks", "k", "k,n1;k,n1,n2;k,n1;k", "k:", "1,2,1,quiet");
        row("catalogued file removed", "k", "", "", "");
        row("sets with one signature", "", "x,y.txt;xy.txt", "xy.txt:New", "2,1");
        // Case is ignored; names equal but for case come upper case first, so
        // that every pass gives the same order whatever the folder's own.
        row("order", "e,b,C,a,E,B.txt,d,A,c,D", "e,b,C,a,E,B.txt,d,A,c,D,Ab",
            "A:,a:,Ab:New,b:,B.txt:,C:,c:,D:,d:,E:,e:", "1");
    }

    void passes()
    {
        QFETCH(QString, catalogue);
        QFETCH(QString, passes);
        QFETCH(QString, rows);
        QFETCH(QString, told);
        setFolder(catalogue);
        start();
        for (const QString &files : passes.split(QLatin1Char(';'))) {
            setFolder(files);
            pass();
        }
        QCOMPARE(m_rows.join(QLatin1Char(',')), rows);
        QCOMPARE(m_told.join(QLatin1Char(',')), told);
        QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping..."));
    }

    void newCatalogue()
    {
        Watch &w = start();
        touch(QStringLiteral("early.txt"));
        w.ReadFile(); // before any pass: never told
        settle();
        pass();
        QVERIFY(m_told.startsWith(QStringLiteral("quiet")) && !m_told.contains(QStringLiteral("1")));

        touch(QStringLiteral("late.txt"));
        pass();
        w.ReadFile();
        settle();
        QCOMPARE(m_rows, (QStringList {QStringLiteral("early.txt:"), QStringLiteral("late.txt:")}));
        QVERIFY(!w.alerting());
        m_told.clear();
        pass(); // the signature falls to empty: quiet, no alert
        QCOMPARE(m_told, QStringList {QStringLiteral("quiet")});

        // A new file told, removed before a new catalogue and made again is
        // told again, although its signature is the one of the last pass.
        touch(QStringLiteral("back.txt"));
        pass();
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("back.txt"))));
        w.ReadFile();
        settle();
        touch(QStringLiteral("back.txt"));
        pass();
        QCOMPARE(
            m_told,
            (QStringList {QStringLiteral("quiet"), QStringLiteral("1"), QStringLiteral("quiet"), QStringLiteral("1")}));
    }

    // While the folder cannot be listed the rows are empty and the status says
    // so; the catalogue, signature and alert stay, and once it is back only
    // files added meanwhile are new.
    void folderAway()
    {
        const QString path = m_dir->filePath(QStringLiteral("watched"));
        QVERIFY(QDir().mkdir(path));
        QVERIFY(QFile(path + QStringLiteral("/a")).open(QIODevice::WriteOnly));
        Watch &w = start();
        w.setFolder(path);
        w.ReadFile();
        settle();
        m_told.clear();
        QVERIFY(QFile(path + QStringLiteral("/n1")).open(QIODevice::WriteOnly));
        pass();
        QCOMPARE(m_told, QStringList {QStringLiteral("1")});

        QVERIFY(QDir(path).removeRecursively());
        pass();
        pass();
        QCOMPARE(m_rows, QStringList());
        QCOMPARE(m_status.constLast(), QStringLiteral("Folder not available: ") + path);
        QCOMPARE(w.knownFiles().names(), QStringList {QStringLiteral("a")});
        QCOMPARE(w.lastNewFiles(), QStringLiteral("n1"));
        QVERIFY(w.alerting());

        QVERIFY(QDir().mkdir(path));
        for (const char *name : {"a", "n1", "n2"})
            QVERIFY(QFile(path + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly));
        pass();
        QCOMPARE(m_rows, (QStringList {QStringLiteral("a:"), QStringLiteral("n1:New"), QStringLiteral("n2:New")}));
        QCOMPARE(m_told, (QStringList {QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping..."));
    }

    // A listing stuck on a slow share keeps the event loop turning; passes
    // asked for meanwhile run once, after it.
    void slowListing()
    {
        auto gate = std::make_shared<Gate>();
        gate->openUp();
        Watch &w = start(gated(gate));
        gate->open = false;
        touch(QStringLiteral("n1"));
        w.CompareFile();
        int beats = 0;
        QTimer beat;
        connect(&beat, &QTimer::timeout, this, [&] { ++beats; });
        beat.start(5);
        QTRY_VERIFY_WITH_TIMEOUT(beats >= 5, 5000);
        QCOMPARE(m_status.constLast(), QStringLiteral("Checking for new file..."));
        w.CompareFile();
        w.CompareFile();
        QCOMPARE(gate->count(), 2);
        gate->openUp();
        settle();
        QCOMPARE(gate->count(), 3);
        QCOMPARE(m_told, QStringList {QStringLiteral("1")});
        QCOMPARE(m_status.constLast(), QStringLiteral("Sleeping..."));
    }

    void overtaken_data()
    {
        QTest::addColumn<bool>("otherFolder");
        QTest::newRow("new catalogue") << false;
        QTest::newRow("another folder") << true;
    }

    // A pass that a new catalogue overtakes is dropped, never shown over it.
    void overtaken()
    {
        QFETCH(bool, otherFolder);
        auto gate = std::make_shared<Gate>();
        gate->openUp();
        Watch &w = start(gated(gate));
        gate->open = false;
        touch(QStringLiteral("n1"));
        w.CompareFile();
        QTRY_COMPARE(gate->count(), 2);
        QTemporaryDir other;
        if (otherFolder) {
            QVERIFY(QFile(other.filePath(QStringLiteral("o1"))).open(QIODevice::WriteOnly));
            w.setFolder(other.path());
        }
        w.ReadFile();
        gate->openUp();
        settle();
        QCOMPARE(m_rows, QStringList {otherFolder ? QStringLiteral("o1:") : QStringLiteral("n1:")});
        QCOMPARE(m_told, QStringList {QStringLiteral("quiet")});
        QCOMPARE(w.lastNewFiles(), QString());
    }

    // While held (a box open, a copy running) a finished pass waits, and a
    // pass asked for meanwhile runs once after the last release.
    void held()
    {
        Watch &w = start();
        touch(QStringLiteral("n1"));
        w.CompareFile();
        w.hold();
        w.hold();
        QTRY_VERIFY(w.resultWaiting());
        touch(QStringLiteral("n2"));
        w.CompareFile();
        w.CompareFile();
        QCoreApplication::processEvents();
        QVERIFY(m_told.isEmpty());
        w.release();
        QCoreApplication::processEvents();
        QVERIFY(m_told.isEmpty() && !w.isIdle());
        w.release();
        settle();
        QCOMPARE(m_told, (QStringList {QStringLiteral("1"), QStringLiteral("2")}));
    }

    // Leaving never waits for a listing, however long it takes; nothing is told after.
    void leaveDuringListing()
    {
        auto gate = std::make_shared<Gate>();
        gate->openUp();
        Watch &w = start(gated(gate));
        gate->open = false;
        touch(QStringLiteral("n1"));
        w.CompareFile();
        QTRY_COMPARE(gate->count(), 2);
        // Should leaving wait after all, the gate opens in a while, not never.
        std::thread([gate] {
            std::this_thread::sleep_for(std::chrono::seconds(10));
            gate->openUp();
        }).detach();
        w.stop();
        m_watch.reset();
        QVERIFY(!gate->isOpen());
        gate->openUp();
        QTest::qWait(50);
        QVERIFY(m_told.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestWatch)
#include "tst_watch.moc"
