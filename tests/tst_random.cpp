#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "audit/AuditTexts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <map>
#include <random>

namespace {

// Each entry of a folder by name, with what it holds; a folder holds kFolder.
using Files = std::map<QString, QByteArray>;
const QByteArray kFolder = QByteArrayLiteral("<folder>");

// VARDEL_RANDOM_SEED and VARDEL_RANDOM_STEPS try other walks. This one's
// walk, among much else, deletes a file that was told as new and makes it
// again after the new catalogue (step 26).
constexpr quint32 kSeed = 29;
constexpr int kSteps = 3000;

// A small pool, so that names collide, come back and differ only in case.
const QStringList &namePool()
{
    static const QStringList pool {
        QStringLiteral("a.txt"),
        QStringLiteral("A.txt"),
        QStringLiteral("a.TXT"),
        QStringLiteral("b"),
        QStringLiteral("B"),
        QStringLiteral("report.doc"),
        QStringLiteral("Report.doc"),
        QStringLiteral(" lead.txt"),
        QStringLiteral("trail.txt "),
        QStringLiteral("x y.exe"),
        QStringLiteral("-dash"),
        QStringLiteral("\u00e9t\u00e9.txt"),
        QStringLiteral("\u00c9t\u00e9.txt"),
        QStringLiteral("50%.log"),
        QStringLiteral(".hidden"),
    };
    return pool;
}

bool isListed(const QString &name)
{
    return !name.startsWith(QLatin1Char('.'));
}

// The listing's order, worked out here on its own: ignoring case, ties by
// the exact name.
QStringList inListingOrder(QStringList names)
{
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const QString fa = a.toCaseFolded(), fb = b.toCaseFolded();
        return fa != fb ? fa < fb : a < b;
    });
    return names;
}

// Everything in a folder, hidden entries included, with what each holds.
Files readFolder(const QString &path)
{
    Files out;
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile file(it.next());
        if (it.fileInfo().isDir())
            out[it.fileName()] = kFolder;
        else
            out[it.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    return out;
}

QString describe(const Files &files)
{
    QStringList out;
    for (const auto &[name, data] : files)
        out.append(QLatin1Char('"') + name + QStringLiteral("\"=") + QString::fromLatin1(data.left(12)));
    return out.join(QStringLiteral(", "));
}

} // namespace

class TestRandom : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomWalk();

private:
    // What the window must show and the disk must hold, kept beside it.
    struct Model {
        Files watched;
        Files other;
        QSet<QString> catalogue;
        QString lastSignature;
        qsizetype shownCount = 0; // new files the caption counts; 0 when quiet
        QStringList rows; // at the last rebuild
    };

    QStringList listedNames(const Model &m) const;
    void rebuilt(Model &m) const { m.rows = listedNames(m); }
    // An audit pass; the text of the alert box it must show, or nothing.
    QString pass(Model &m) const;
    void takeCatalogue(Model &m) const;
    QString check(const Model &m, const frmMain &win) const;

    QTemporaryDir m_watched;
    QTemporaryDir m_other;
};

QStringList TestRandom::listedNames(const Model &m) const
{
    QStringList names;
    for (const auto &[name, data] : m.watched) {
        if (isListed(name) && data != kFolder)
            names.append(name);
    }
    return inListingOrder(names);
}

QString TestRandom::pass(Model &m) const
{
    rebuilt(m);
    QStringList fresh;
    for (const QString &name : std::as_const(m.rows)) {
        if (!m.catalogue.contains(name))
            fresh.append(name);
    }
    // Told when the set changed, or when the window has gone quiet since
    // (a new catalogue) and the same names turn up new again.
    const QString signature = fresh.join(QLatin1Char('/'));
    const bool tell = !fresh.isEmpty() && (signature != m.lastSignature || m.shownCount == 0);
    m.lastSignature = signature;
    m.shownCount = fresh.size();
    return tell ? AuditTexts::alertMessage(fresh.size()) : QString();
}

void TestRandom::takeCatalogue(Model &m) const
{
    rebuilt(m);
    m.catalogue = QSet<QString>(m.rows.cbegin(), m.rows.cend());
    m.shownCount = 0;
}

// What differs between the window, the disk and the model; empty when all agree.
QString TestRandom::check(const Model &m, const frmMain &win) const
{
    const FileListModel *list = win.listModel();
    QStringList rows;
    qsizetype newRows = 0;
    for (int i = 0; i < list->rowCount(); ++i) {
        const FileRow &row = list->row(i);
        rows.append(row.name);
        const bool isNew = !m.catalogue.contains(row.name);
        newRows += isNew;
        if (row.status != (isNew ? AuditTexts::newStatus() : QString()))
            return QStringLiteral("row \"%1\" has status \"%2\"").arg(row.name, row.status);
    }
    const int sortColumn = list->sortColumn();
    const bool listingOrder = sortColumn < 0 || sortColumn == FileListModel::NameColumn;
    QStringList expected = m.rows;
    if (!listingOrder) {
        rows.sort();
        expected.sort();
    }
    if (rows != expected)
        return QStringLiteral("rows [%1], expected [%2]")
            .arg(rows.join(QLatin1Char('|')), expected.join(QLatin1Char('|')));

    const QStringList &known = win.knownFiles().names();
    if (QSet<QString>(known.cbegin(), known.cend()) != m.catalogue)
        return QStringLiteral("catalogue [%1]").arg(known.join(QLatin1Char('|')));
    // The caption counts exactly the rows marked "New".
    const QString caption = newRows ? AuditTexts::alertCaption(newRows) : AuditTexts::quietCaption();
    if (win.windowTitle() != caption || newRows != m.shownCount)
        return QStringLiteral("caption \"%1\", %2 new rows").arg(win.windowTitle()).arg(newRows);
    if (win.windowIconName() != (newRows ? QStringLiteral("Lighton.ico") : QStringLiteral("Eye.ico")))
        return QStringLiteral("icon %1").arg(win.windowIconName());

    // Not a file lost, changed or left behind, in either folder.
    const Files watched = readFolder(m_watched.path());
    if (watched != m.watched)
        return QStringLiteral("watched folder {%1}, expected {%2}").arg(describe(watched), describe(m.watched));
    const Files other = readFolder(m_other.path());
    if (other != m.other)
        return QStringLiteral("copy folder {%1}, expected {%2}").arg(describe(other), describe(m.other));
    return {};
}

void TestRandom::randomWalk()
{
    QVERIFY(m_watched.isValid() && m_other.isValid());
    const quint32 seed = qEnvironmentVariableIsSet("VARDEL_RANDOM_SEED")
        ? quint32(qEnvironmentVariableIntValue("VARDEL_RANDOM_SEED"))
        : kSeed;
    const int steps = qEnvironmentVariableIsSet("VARDEL_RANDOM_STEPS")
        ? qEnvironmentVariableIntValue("VARDEL_RANDOM_STEPS")
        : kSteps;
    std::mt19937 rng(seed);
    const auto chance = [&rng](int percent) { return int(rng() % 100) < percent; };
    const auto pick = [&rng](const auto &list) { return list[qsizetype(rng() % quint32(list.size()))]; };
    const QStringList &pool = namePool();

    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vardel"), QStringLiteral("Vardel")).clear();
    SettingsStore().write(Setting::Path, m_watched.path());
    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.Form_Load();
    TestSupport::settle(win.watch());
    win.setAuditInterval(0);

    Model m;
    takeCatalogue(m);
    std::deque<QString> log;
    int serial = 0;
    int alertsShown = 0, deletedWithYes = 0, copied = 0;
    const auto existing = [&m](bool folders) {
        QStringList names;
        for (const auto &[name, data] : m.watched) {
            if (folders || data != kFolder)
                names.append(name);
        }
        return names;
    };
    const auto isFolder = [&m](const QString &name) {
        const auto it = m.watched.find(name);
        return it != m.watched.end() && it->second == kFolder;
    };
    const auto selectRandomRows = [&]() {
        QItemSelectionModel *selection = win.listView()->selectionModel();
        selection->clearSelection();
        const int percent = int(rng() % 70);
        QStringList names;
        for (int i = 0; i < win.listModel()->rowCount(); ++i) {
            if (chance(percent)) {
                selection->select(win.listModel()->index(i, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
                names.append(win.listModel()->row(i).name);
            }
        }
        return names;
    };

    for (int step = 1; step <= steps; ++step) {
        dialogs.reset();
        QStringList boxes; // every box the step must show, in turn
        QString op;
        const int roll = int(rng() % 100);
        if (roll < 22) {
            const QString name = pick(pool);
            if (isFolder(name))
                continue;
            const QByteArray data = "file #" + QByteArray::number(++serial) + ' ' + QByteArray(int(rng() % 300), 'd');
            QFile file(m_watched.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
            file.close();
            m.watched[name] = data;
            op = QStringLiteral("create \"%1\" #%2").arg(name).arg(serial);
        } else if (roll < 32) {
            const QStringList names = existing(true);
            if (names.isEmpty())
                continue;
            const QString name = pick(names);
            QVERIFY(isFolder(name) ? QDir(m_watched.path()).rmdir(name) : QFile::remove(m_watched.filePath(name)));
            m.watched.erase(name);
            op = QStringLiteral("remove \"%1\"").arg(name);
        } else if (roll < 46) {
            const QStringList names = existing(false);
            if (names.isEmpty())
                continue;
            const QString from = pick(names);
            // Half the time the new name differs from the old in case only,
            // where the pool has such a name.
            QStringList caseOnly, others;
            for (const QString &name : pool) {
                if (name != from && !isFolder(name))
                    (name.toCaseFolded() == from.toCaseFolded() ? caseOnly : others).append(name);
            }
            const QString to = pick(!caseOnly.isEmpty() && chance(50) ? caseOnly : others);
            // As another program would: over a file of that name, if any.
            QCOMPARE(std::rename(QFile::encodeName(m_watched.filePath(from)).constData(),
                                 QFile::encodeName(m_watched.filePath(to)).constData()),
                     0);
            m.watched[to] = m.watched[from];
            m.watched.erase(from);
            op = QStringLiteral("rename \"%1\" -> \"%2\"").arg(from, to);
        } else if (roll < 66) {
            win.Timer1_Timer();
            TestSupport::settle(win.watch());
            if (const QString alert = pass(m); !alert.isEmpty()) {
                boxes.append(alert);
                ++alertsShown;
            }
            op = QStringLiteral("tick");
        } else if (roll < 72) {
            win.mnuInitList_Click();
            TestSupport::settle(win.watch());
            takeCatalogue(m);
            op = QStringLiteral("init list");
        } else if (roll < 84) {
            const QStringList chosen = selectRandomRows();
            const bool yes = chance(50);
            dialogs.answers = {yes ? Dialogs::Answer::Yes : Dialogs::Answer::No};
            win.mPopDel_Click();
            TestSupport::settle(win.watch());
            boxes.append(QStringLiteral("Do you want to delete the file/s ") + chosen.join(QStringLiteral(", "))
                         + QStringLiteral("?  "));
            if (yes) {
                for (const QString &name : chosen) {
                    if (m.watched.count(name) && !isFolder(name))
                        deletedWithYes += int(m.watched.erase(name));
                }
                takeCatalogue(m);
            }
            op = QStringLiteral("delete [%1] %2")
                     .arg(chosen.join(QLatin1Char('|')), yes ? QStringLiteral("Yes") : QStringLiteral("No"));
        } else if (roll < 97) {
            const QStringList chosen = selectRandomRows();
            const bool ontoItself = chance(25);
            const QString folder = ontoItself ? m_watched.path() : m_other.path();
            const QString proposed = chosen.join(QStringLiteral("; "));
            // Names too long for one file name choose a folder instead.
            const bool fits = proposed.toUtf8().size() <= 255;
            dialogs.replies = {fits ? folder + QLatin1Char('/') + proposed : folder};
            win.mPopCopy_Click();
            QTRY_VERIFY_WITH_TIMEOUT(!win.isCopying(), 10000);
            boxes.append(fits ? QStringLiteral("file dialog: ") + proposed : QStringLiteral("folder dialog"));
            if (!ontoItself) {
                for (const QString &name : chosen) {
                    if (m.watched.count(name) && !isFolder(name)) {
                        m.other[name] = m.watched[name];
                        ++copied;
                    }
                }
            }
            op = QStringLiteral("copy [%1] to %2")
                     .arg(chosen.join(QLatin1Char('|')),
                          ontoItself ? QStringLiteral("itself") : QStringLiteral("other"));
        } else if (roll < 99) {
            // A folder where a file of the list may have been.
            const QString name = pick(pool);
            if (m.watched.count(name))
                continue;
            QVERIFY(QDir(m_watched.path()).mkdir(name));
            m.watched[name] = kFolder;
            op = QStringLiteral("make folder \"%1\"").arg(name);
        } else {
            const int column = int(rng() % FileListModel::ColumnCount);
            win.lvwFile_ColumnClick(column);
            op = QStringLiteral("sort by column %1").arg(column);
        }
        log.push_back(QStringLiteral("%1: %2").arg(step).arg(op));
        if (log.size() > 25)
            log.pop_front();

        QString problem;
        QStringList shown;
        for (const ScriptedDialogs::Asked &a : std::as_const(dialogs.asked))
            shown.append(a.kind == ScriptedDialogs::Kind::SaveFile     ? QStringLiteral("file dialog: ") + a.defaultText
                             : a.kind == ScriptedDialogs::Kind::Folder ? QStringLiteral("folder dialog")
                                                                       : a.box.text + a.prompt);
        if (shown != boxes)
            problem = QStringLiteral("boxes [%1], expected [%2]")
                          .arg(shown.join(QLatin1Char('|')), boxes.join(QLatin1Char('|')));
        if (problem.isEmpty())
            problem = check(m, win);
        if (!problem.isEmpty()) {
            QStringList tail(log.cbegin(), log.cend());
            QFAIL(qPrintable(QStringLiteral("seed %1, step %2 of %3: %4\nlast steps:\n  %5")
                                 .arg(seed)
                                 .arg(step)
                                 .arg(steps)
                                 .arg(problem, tail.join(QStringLiteral("\n  ")))));
        }
    }
    qInfo("seed %u, %d steps: %d files made, %d alerts, %d files deleted, %d copied", seed, steps, serial, alertsShown,
          deletedWithYes, copied);
}

QTEST_MAIN(TestRandom)
#include "tst_random.moc"
