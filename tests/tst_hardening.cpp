#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/FileNames.h"
#include "settings/SettingsStore.h"

#include <QHeaderView>
#include <QProcess>
#include <QRandomGenerator>
#include <QScreen>
#include <QTest>

#include <memory>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray local(const QString &path)
{
    return FileNames::encode(path);
}

bool writeBytes(const QByteArray &path, const QByteArray &contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, contents.constData(), std::size_t(contents.size())) == contents.size();
    return ::close(fd) == 0 && ok;
}

QByteArray readBytes(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return "<none>";
    return file.readAll();
}

// Sorted "name=contents" for files, "name/" for anything else, by raw bytes.
QByteArrayList entries(const QByteArray &dir)
{
    QByteArrayList out;
    DIR *d = ::opendir(dir.constData());
    while (const dirent *e = d ? ::readdir(d) : nullptr) {
        const QByteArray name(e->d_name), path = dir + '/' + name;
        struct stat st;
        if (name != "." && name != "..")
            out.append(::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) ? name + '=' + readBytes(path)
                                                                                  : name + '/');
    }
    if (d)
        ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

// Root ignores permission bits; this thread drops that power for a while.
class WithoutDacOverride
{
public:
    WithoutDacOverride()
    {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct dropped[2] = {m_saved[0], m_saved[1]};
        dropped[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_active = ::syscall(SYS_capset, &m_header, dropped) == 0;
    }
    ~WithoutDacOverride()
    {
        if (m_active)
            ::syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2] {};
    bool m_active = false;
};

struct Window {
    ScriptedDialogs dialogs;
    std::unique_ptr<frmMain> win;

    explicit Window(const QString &dir = {})
    {
        if (!dir.isEmpty())
            SettingsStore().write(Setting::Path, dir);
        win = std::make_unique<frmMain>(dialogs);
        win->Form_Load();
        settle();
    }
    void settle() const { QVERIFY(TestSupport::settle(win->watch())); }
    void tick() const
    {
        win->Timer1_Timer();
        settle();
    }
    QStringList rows() const // "name:status"
    {
        QStringList out;
        for (int i = 0; i < win->listModel()->rowCount(); ++i)
            out.append(win->listModel()->text(i, FileListModel::NameColumn) + QLatin1Char(':')
                       + win->listModel()->text(i, FileListModel::StatusColumn));
        return out;
    }
    void select(const QString &name)
    {
        for (int i = 0; i < win->listModel()->rowCount(); ++i) {
            if (win->listModel()->row(i).name == name)
                win->listView()->selectionModel()->select(win->listModel()->index(i, 0),
                                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    // As start-up must leave it: on the screen, columns of a size that adds up, nothing asked.
    void checkSane(const char *what)
    {
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(screen.contains(win->frameGeometry()) && screen.contains(win->geometry()), what);
        QVERIFY2(!win->isMaximized(), what);
        qint64 total = 0;
        for (int c = 0; c < 5; ++c) {
            const int px = win->listView()->header()->sectionSize(c);
            QVERIFY2(px >= 0, what);
            total += px;
        }
        QVERIFY2(total == win->listView()->header()->length(), what);
        QVERIFY2(dialogs.asked.isEmpty(), what);
    }
};

} // namespace

class TestHardening : public QObject
{
    Q_OBJECT

public:
    enum class Action { Open, Copy, Delete };
    Q_ENUM(Action)
    enum class Ground { Removed, ReplacedByFile, Unreadable, Unsearchable, Unmounted };
    Q_ENUM(Ground)

private:
    static QString root() { return TestSupport::home().path(); }
    static QByteArray marker() { return local(root()) + "/opened"; }
    static QString settingsFolder() { return QFileInfo(TestSupport::settingsFile()).path(); }
    // "watched" and "dest" in the work folder.
    std::pair<QByteArray, QByteArray> twoFolders()
    {
        const QByteArray dir = local(m_dir->path()) + "/watched", dest = local(m_dir->path()) + "/dest";
        if (::mkdir(dir.constData(), 0755) != 0 || ::mkdir(dest.constData(), 0755) != 0)
            qFatal("cannot make folders");
        return {dir, dest};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_immutable;
    QString m_mounted;

private Q_SLOTS:
    // Plain text opens with a script that writes the path it got to a marker.
    void initTestCase()
    {
        qputenv("GIO_USE_VFS", "local");
        qputenv("GSETTINGS_BACKEND", "memory");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + local(root()) + "/runtime/none");
        QVERIFY(QDir().mkpath(root() + QStringLiteral("/system-data")));
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), root() + QStringLiteral("/system-data/mime")));
        qputenv("XDG_DATA_DIRS", local(root()) + "/system-data");
        qputenv("XDG_CONFIG_DIRS", local(root()) + "/config");
        const QByteArray opener = local(root()) + "/opener.sh";
        QVERIFY(writeBytes(opener, "#!/bin/sh\nprintf '%s' \"$1\" > '" + marker() + "'\n"));
        QVERIFY(::chmod(opener.constData(), 0755) == 0);
        QVERIFY(QDir().mkpath(root() + QStringLiteral("/data/applications")));
        QVERIFY(writeBytes(local(root()) + "/data/applications/vardel-hardening.desktop",
                           "[Desktop Entry]\nType=Application\nName=Opener\nExec=\"" + opener
                               + "\" %f\nMimeType=text/plain;\nNoDisplay=true\n"));
        QVERIFY(writeBytes(local(root()) + "/config/mimeapps.list",
                           "[Default Applications]\ntext/plain=vardel-hardening.desktop;\n"));
    }

    void init()
    {
        QFile::remove(TestSupport::settingsFile());
        ::unlink(marker().constData());
        m_dir = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/work-XXXXXX"));
        QVERIFY(m_dir->isValid());
    }

    void cleanup()
    {
        if (!m_immutable.isEmpty())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_immutable});
        if (!m_mounted.isEmpty())
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_mounted});
        m_immutable.clear();
        m_mounted.clear();
        // rm takes names that are not UTF-8, which QDir cannot.
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_dir->path()});
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir->path()});
        m_dir.reset();
    }

    void fileNames_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto u = [](std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); };
        QTest::newRow("ASCII") << QByteArray("a b.txt") << u(u"a b.txt");
        QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << u(u"\u00e9");
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << u(u"\U0001F600");
        QTest::newRow("four bytes, low half in the escape range") << QByteArray("\xf0\x90\x82\x80") << u(u"\U00010080");
        QTest::newRow("replacement character is text") << QByteArray("\xef\xbf\xbd") << u(u"\ufffd");
        QTest::newRow("invalid byte") << QByteArray("a\xff.") << u(u"a\xDCFF.");
        QTest::newRow("lone continuation") << QByteArray("\x80") << u(u"\xDC80");
        QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << u(u"\xDCC0\xDCAF");
        QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << u(u"\xDCED\xDCA0\xDC80");
        QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u(u"\xDCF4\xDC90\xDC80\xDC80");
        QTest::newRow("five-byte lead") << QByteArray("\xf8\x88\x80\x80\x80") << u(u"\xDCF8\xDC88\xDC80\xDC80\xDC80");
        QTest::newRow("truncated at the end") << QByteArray("ab\xe2\x82") << u(u"ab\xDCE2\xDC82");
        QTest::newRow("truncated, then text") << QByteArray("\xf0\x9f\x98.") << u(u"\xDCF0\xDC9F\xDC98.");
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

    void lyingSettings_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("isNumber");
        QTest::newRow("garbage") << QByteArray("wide!") << false;
        QTest::newRow("binary") << QByteArray("\x01\x02\xff\xfe\x7f\x1b[2J") << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("NaN") << QByteArray("nan") << false;
        QTest::newRow("minus infinity") << QByteArray("-inf") << false;
        QTest::newRow("400 digits") << QByteArray(400, '9') << false;
        QTest::newRow("negative") << QByteArray("-5000") << true;
        QTest::newRow("1e300") << QByteArray("1e300") << true;
        QTest::newRow("-1e30") << QByteArray("-1e30") << true;
    }

    // The value in each key alone, then in all keys at once.
    void lyingSettings()
    {
        QFETCH(QByteArray, value);
        QFETCH(bool, isNumber);
        const int last = int(Setting::ColumnSize5);
        Window clean;
        QVERIFY(QDir().mkpath(settingsFolder()));
        for (int i = 0; i <= last + 1; ++i) {
            QByteArray ini;
            for (int k = (i > last ? 0 : i); k <= (i > last ? last : i); ++k)
                ini += '[' + SettingsStore::section(Setting(k)).toLatin1().replace(' ', "%20") + "]\n"
                    + SettingsStore::key(Setting(k)).toLatin1().replace(' ', "%20") + '=' + value + '\n';
            QVERIFY(writeBytes(local(TestSupport::settingsFile()), ini));
            Window w;
            const QByteArray what = i <= last ? SettingsStore::key(Setting(i)).toLatin1() : "all";
            QVERIFY2(w.win->auditInterval() == 60000, what);
            if (!isNumber) {
                QVERIFY2(w.win->geometry() == clean.win->geometry(), what);
                for (int c = 1; c <= 5; ++c)
                    QVERIFY2(w.win->columnWidthTwips(c) == clean.win->columnWidthTwips(c), what);
            }
            w.checkSane(what.constData());
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Whole files of random bytes, every other one with real keys among them.
    void randomSettingsFiles()
    {
        QRandomGenerator random(20240607);
        const QByteArrayList lines {"[Main]\nTop=",     "[Main]\nWidth=",           "[Main]\nWindow=",
                                    "[Setting]\nPath=", "[FileList]\nColumnSize1=", "[List%20View]\nColumn2="};
        QVERIFY(QDir().mkpath(settingsFolder()));
        for (int round = 0; round < 24; ++round) {
            QByteArray junk;
            for (int p = 0, pieces = 1 + int(random.bounded(8)); p < pieces; ++p) {
                if (round % 2)
                    junk += lines[int(random.bounded(lines.size()))];
                QByteArray bytes(int(random.bounded(300)), Qt::Uninitialized);
                for (char &b : bytes)
                    b = char(random.bounded(256));
                junk += bytes + '\n';
            }
            QVERIFY(writeBytes(local(TestSupport::settingsFile()), junk));
            Window w;
            QCOMPARE(w.win->auditInterval(), 60000);
            w.checkSane(qPrintable(QStringLiteral("round %1").arg(round)));
            if (QTest::currentTestFailed())
                return;
        }
    }

    void unwritableSettingsFolder_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("no settings file yet") << false;
        QTest::newRow("settings file present") << true;
    }

    // The program runs, stores nothing, and exits normally.
    void unwritableSettingsFolder()
    {
        QFETCH(bool, withFile);
        const QString folder = settingsFolder();
        QVERIFY(QDir().mkpath(folder));
        if (withFile)
            QVERIFY(writeBytes(local(TestSupport::settingsFile()), "[Setting]\nAudit%20Timeout=30000\n"));
        const QByteArrayList before = entries(local(folder));
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder}) == 0)
            m_immutable = folder;
        if (writeBytes(local(folder) + "/probe", "x"))
            QSKIP("the settings folder stays writable for this user");

        Window w(m_dir->path());
        QCOMPARE(w.win->auditInterval(), withFile ? 30000 : 60000);
        w.win->setColumnWidthTwips(1, 2000);
        w.tick();
        w.dialogs.answers = {Dialogs::Answer::Yes};
        QVERIFY(w.win->close());
        QCOMPARE(w.dialogs.messages().size(), 1);
        QCOMPARE(entries(local(folder)), before);
    }

    void namesThatBite_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("decoy"); // a name the file must not be taken for
        QTest::newRow("blanks at both ends") << QByteArray(" x.txt ") << QByteArray("x.txt");
        QTest::newRow("newline") << QByteArray("two\nlines.txt") << QByteArray("two");
        QTest::newRow("tab") << QByteArray("a\tb.txt") << QByteArray("a b.txt");
        QTest::newRow("percent") << QByteArray("100%.txt") << QByteArray("100%25.txt");
        QTest::newRow("leading dash") << QByteArray("-rf.txt") << QByteArray("rf.txt");
        QTest::newRow("Cyrillic") << QByteArray("\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82.txt")
                                  << QByteArray("\xd0\x9e\xd1\x82\xd1\x87\xd0\xb5\xd1\x82.txt");
        QTest::newRow("astral") << QByteArray("\xf0\x90\x82\x80.txt") << QByteArray("\x80.txt");
        QTest::newRow("invalid UTF-8") << QByteArray("bad\xff\xfe.txt") << QByteArray("bad\xfe\xff.txt");
        QTest::newRow("what a lossy decoder makes of it")
            << QByteArray("bad\xff.txt") << QByteArray("bad\xef\xbf\xbd.txt");
        QTest::newRow("overlong dots") << QByteArray("\xc0\xae\xc0\xae.txt") << QByteArray("...txt");
        QTest::newRow("255 bytes") << QByteArray(251, 'n') + ".txt" << QByteArray(250, 'n') + ".txt";
        QTest::newRow("255 bytes, Cyrillic") << QByteArray("\xd0\xb6").repeated(125) + "n.txt" << QByteArray();
    }

    // One row of its own; open, copy and delete act on exactly its bytes and spare the decoy.
    void namesThatBite()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, decoy);
        const auto [dir, dest] = twoFolders();
        QByteArrayList files {"other.txt=other", name + '=' + name};
        QVERIFY(writeBytes(dir + "/other.txt", "other") && writeBytes(dir + '/' + name, name));
        if (!decoy.isEmpty()) {
            QVERIFY(writeBytes(dir + '/' + decoy, "decoy"));
            files.append(decoy + "=decoy");
        }
        std::sort(files.begin(), files.end());
        QCOMPARE(entries(dir), files);

        Window w(FileNames::decode(dir));
        const QString text = FileNames::decode(name);
        QStringList rows, shown = w.rows();
        for (const QByteArray &f : files) // hidden names are not listed
            if (!f.startsWith('.'))
                rows.append(FileNames::decode(f.left(f.lastIndexOf('='))) + QLatin1Char(':'));
        rows.sort();
        shown.sort();
        QCOMPARE(shown, rows);
        w.select(text);

        w.win->mnuOpen_Click();
        QTRY_COMPARE(readBytes(marker()), dir + '/' + name);
        w.dialogs.replies = {FileNames::decode(dest + '/' + name)};
        w.win->mnuCopy_Click();
        QTRY_VERIFY_WITH_TIMEOUT(!w.win->isCopying(), 10000);
        QCOMPARE(entries(dest), QByteArrayList {name + '=' + name});
        w.dialogs.answers = {Dialogs::Answer::Yes};
        w.win->mnuDelete_Click();
        w.settle();
        files.removeOne(name + '=' + name);
        QCOMPARE(entries(dir), files);
        rows.removeOne(text + QLatin1Char(':'));
        shown = w.rows();
        shown.sort();
        QCOMPARE(shown, rows);
        QCOMPARE(w.dialogs.messages().size(), 1);
    }

    // Dangling, looping and folder links and a pipe are no plain files: no rows, no
    // alerts. A link to a file is one, and deleting it removes the link only.
    void linksAndSpecialFiles()
    {
        const QByteArray dir = local(m_dir->path());
        QVERIFY(writeBytes(dir + "/file.txt", "data"));
        QVERIFY(::mkdir((dir + "/sub").constData(), 0755) == 0);
        for (const auto &[link, target] : {std::pair {"dangling", "nowhere"},
                                           {"loop-a", "loop-b"},
                                           {"loop-b", "loop-a"},
                                           {"self", "self"},
                                           {"to-folder", "sub"},
                                           {"to-file", "file.txt"}})
            QVERIFY(::symlink(target, (dir + '/' + link).constData()) == 0);
        QVERIFY(::mkfifo((dir + "/pipe").constData(), 0644) == 0);

        Window w(m_dir->path());
        const QStringList rows {QStringLiteral("file.txt:"), QStringLiteral("to-file:")};
        QCOMPARE(w.rows(), rows);
        QVERIFY(::symlink("loop-c", (dir + "/loop-c").constData()) == 0);
        QVERIFY(::symlink("gone", (dir + "/new-dangling").constData()) == 0);
        w.tick();
        QCOMPARE(w.rows(), rows);
        QVERIFY(w.dialogs.asked.isEmpty());

        w.select(QStringLiteral("to-file"));
        w.dialogs.answers = {Dialogs::Answer::Yes};
        w.win->mnuDelete_Click();
        w.settle();
        QCOMPARE(w.rows(), QStringList {QStringLiteral("file.txt:")});
        QCOMPARE(readBytes(dir + "/file.txt"), QByteArray("data"));
    }

    void replacedBeforeAction_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("folder"); // a folder takes the file's place; else the file is gone
        for (const auto &[action, name] :
             {std::pair {Action::Open, "open"}, {Action::Copy, "copy"}, {Action::Delete, "delete"}}) {
            QTest::addRow("%s, folder in its place", name) << action << true;
            QTest::addRow("%s, gone", name) << action << false;
        }
    }

    // The row's file changed since the listing: nothing is done to what stands
    // there now; open and delete say so, copy asks for a target first.
    void replacedBeforeAction()
    {
        QFETCH(Action, action);
        QFETCH(bool, folder);
        const auto [dir, dest] = twoFolders();
        QVERIFY(writeBytes(dir + "/a.txt", "a") && writeBytes(dir + "/b.txt", "b"));
        Window w(FileNames::decode(dir));
        w.select(QStringLiteral("a.txt"));
        QVERIFY(::unlink((dir + "/a.txt").constData()) == 0);
        if (folder)
            QVERIFY(::mkdir((dir + "/a.txt").constData(), 0755) == 0 && writeBytes(dir + "/a.txt/inside", "in"));
        const QByteArrayList before = entries(dir);

        w.dialogs.answers = {Dialogs::Answer::Yes};
        w.dialogs.replies = {FileNames::decode(dest + "/a.txt")};
        if (action == Action::Open)
            w.win->mnuOpen_Click();
        else if (action == Action::Copy)
            w.win->mnuCopy_Click();
        else
            w.win->mnuDelete_Click();
        w.settle();

        QTRY_VERIFY_WITH_TIMEOUT(!w.win->isCopying(), 10000);
        QCOMPARE(entries(dir), before);
        QCOMPARE(readBytes(dir + "/a.txt/inside"), folder ? QByteArray("in") : QByteArray("<none>"));
        QCOMPARE(entries(dest), QByteArrayList {});
        QCOMPARE(w.dialogs.messages().size(), action == Action::Copy ? 0 : 1);
        if (action == Action::Open)
            QCOMPARE(w.dialogs.messages().constFirst().box.title, QStringLiteral("Error #2"));
        QTest::qWait(200); // nothing reaches the opener late either
        QCOMPARE(readBytes(marker()), QByteArray("<none>"));
    }

    void groundMoving_data()
    {
        QTest::addColumn<Ground>("ground");
        QTest::newRow("removed") << Ground::Removed;
        QTest::newRow("replaced by a file") << Ground::ReplacedByFile;
        QTest::newRow("unreadable") << Ground::Unreadable;
        QTest::newRow("names only, no attributes") << Ground::Unsearchable;
        QTest::newRow("volume unmounted") << Ground::Unmounted;
    }

    // The folder goes away for a few ticks and comes back: no box while away, one
    // after; the catalogue survives, so known files stay known and later ones are new.
    void groundMoving()
    {
        QFETCH(Ground, ground);
        const QString path = m_dir->filePath(QStringLiteral("watched"));
        const QByteArray dir = local(path);
        const auto mount = [&] {
            const bool ok = QProcess::execute(QStringLiteral("mount"),
                                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                               QStringLiteral("size=1m"), QStringLiteral("vardel-test"), path})
                == 0;
            if (ok)
                m_mounted = path;
            return ok;
        };
        QVERIFY(::mkdir(dir.constData(), 0755) == 0);
        if (ground == Ground::Unmounted && !mount())
            QSKIP("no volume can be mounted here");
        QVERIFY(writeBytes(dir + "/a.txt", "a") && writeBytes(dir + "/b.txt", "b"));
        Window w(path);
        QVERIFY(writeBytes(dir + "/n1.txt", "1"));
        w.tick();
        QCOMPARE(w.dialogs.messages().size(), 1);

        std::optional<WithoutDacOverride> unprivileged;
        const bool perms = ground == Ground::Unreadable || ground == Ground::Unsearchable;
        if (perms) {
            QVERIFY(::chmod(dir.constData(), ground == Ground::Unreadable ? 0 : 0444) == 0);
            unprivileged.emplace();
            if (struct stat st; ::stat((dir + "/a.txt").constData(), &st) == 0)
                QSKIP("permissions do not stop this user");
        } else if (ground == Ground::Unmounted) {
            QVERIFY(QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path}) == 0);
            m_mounted.clear();
        } else {
            QVERIFY(QDir(path).removeRecursively());
            if (ground == Ground::ReplacedByFile)
                QVERIFY(writeBytes(dir, "not a folder"));
        }
        for (int tick = 0; tick < 3; ++tick)
            w.tick();
        // Names without attributes still list.
        const QStringList away {QStringLiteral("a.txt:"), QStringLiteral("b.txt:"), QStringLiteral("n1.txt:New")};
        QCOMPARE(w.rows(), ground == Ground::Unsearchable ? away : QStringList {});
        QCOMPARE(w.win->knownFiles().names(), (QStringList {QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
        // The empty mount point left by a volume lists as an empty folder.
        const bool lists = ground == Ground::Unsearchable || ground == Ground::Unmounted;
        QCOMPARE(w.win->statusText(),
                 lists ? QStringLiteral("Sleeping...") : QStringLiteral("Folder not available: ") + path);
        QVERIFY2(w.dialogs.messages().size() <= 2, qPrintable(QString::number(w.dialogs.messages().size())));

        unprivileged.reset();
        if (perms) {
            QVERIFY(::chmod(dir.constData(), 0755) == 0 && ::unlink((dir + "/b.txt").constData()) == 0);
        } else {
            if (ground == Ground::ReplacedByFile)
                QVERIFY(::unlink(dir.constData()) == 0);
            // An unmounted volume leaves its empty mount point behind.
            QVERIFY(ground == Ground::Unmounted ? mount() : ::mkdir(dir.constData(), 0755) == 0);
            QVERIFY(writeBytes(dir + "/a.txt", "a") && writeBytes(dir + "/n1.txt", "1"));
        }
        QVERIFY(writeBytes(dir + "/n2.txt", "2"));
        w.dialogs.reset();
        w.tick();
        w.tick();
        QCOMPARE(w.rows(),
                 (QStringList {QStringLiteral("a.txt:"), QStringLiteral("n1.txt:New"), QStringLiteral("n2.txt:New")}));
        QCOMPARE(w.win->windowTitle(), QStringLiteral("Vardel - #2 New File/s were found...."));
        QCOMPARE(w.dialogs.messages().size(), 1);
        QCOMPARE(w.dialogs.messages().constFirst().box.text, QStringLiteral(" #2 New File/s were found!      "));
    }
};

QTEST_MAIN(TestHardening)
#include "tst_hardening.moc"
