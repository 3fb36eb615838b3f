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

// The folder's entries as the kernel names them, "name=contents" for files
// and "name/" for anything else, sorted.
QByteArrayList entries(const QByteArray &dir)
{
    QByteArrayList out;
    DIR *d = ::opendir(dir.constData());
    while (const dirent *e = d ? ::readdir(d) : nullptr) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        struct stat st;
        const QByteArray path = dir + '/' + name;
        const bool file = ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode);
        out.append(file ? name + '=' + readBytes(path) : name + '/');
    }
    if (d)
        ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

// Root reads and writes any folder whatever its permission bits; for a
// while this thread gives up the capabilities that let it.
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

// The main window watching one folder.
struct Window {
    ScriptedDialogs dialogs;
    std::unique_ptr<frmMain> win;

    // With no folder given, the stored one (or none) is watched.
    explicit Window(const QString &dir = {})
    {
        if (!dir.isEmpty())
            SettingsStore().write(Setting::Path, dir);
        win = std::make_unique<frmMain>(dialogs);
        win->Form_Load();
    }
    // Each row as "name:status".
    QStringList rows() const
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

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void fileNames_data();
    void fileNames();
    void lyingSettings_data();
    void lyingSettings();
    void randomSettingsFiles();
    void unwritableSettingsFolder_data();
    void unwritableSettingsFolder();

    void namesThatBite_data();
    void namesThatBite();
    void linksAndSpecialFiles();
    void replacedBeforeAction_data();
    void replacedBeforeAction();

    void groundMoving_data();
    void groundMoving();

private:
    static QString root() { return TestSupport::home().path(); }
    static QByteArray marker() { return local(root()) + "/opened"; }
    static QString settingsFolder() { return QFileInfo(TestSupport::settingsFile()).path(); }
    // The window as start-up left it: wholly on the screen, no column wider
    // than the screen, and nothing asked.
    static void checkSane(Window &w, const char *what);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_immutable;
    QString m_mounted;
};

// A desktop of our own: plain text opens with a script that writes the path
// it was given, byte for byte, to a marker file.
void TestHardening::initTestCase()
{
    qputenv("GIO_USE_VFS", "local");
    qputenv("GSETTINGS_BACKEND", "memory");
    qputenv("DBUS_SESSION_BUS_ADDRESS", local(QStringLiteral("unix:path=") + root() + QStringLiteral("/runtime/none")));
    const QString systemData = root() + QStringLiteral("/system-data");
    QVERIFY(QDir().mkpath(systemData));
    QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), systemData + QStringLiteral("/mime")));
    qputenv("XDG_DATA_DIRS", local(systemData));
    qputenv("XDG_CONFIG_DIRS", local(root() + QStringLiteral("/config")));
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

void TestHardening::init()
{
    QFile::remove(TestSupport::settingsFile());
    ::unlink(marker().constData());
    m_dir = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/work-XXXXXX"));
    QVERIFY(m_dir->isValid());
}

void TestHardening::cleanup()
{
    if (!m_immutable.isEmpty())
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), m_immutable});
    if (!m_mounted.isEmpty())
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_mounted});
    m_immutable.clear();
    m_mounted.clear();
    // Names that are not valid UTF-8 are beyond QDir; rm takes them as bytes.
    if (m_dir) {
        QProcess::execute(QStringLiteral("chmod"), {QStringLiteral("-R"), QStringLiteral("u+rwx"), m_dir->path()});
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), m_dir->path()});
    }
    m_dir.reset();
}

void TestHardening::fileNames_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const auto u = [](std::u16string_view s) { return QString::fromUtf16(s.data(), qsizetype(s.size())); };
    QTest::newRow("ASCII") << QByteArray("a b.txt") << u(u"a b.txt");
    QTest::newRow("two bytes") << QByteArray("\xc3\xa9") << u(u"\u00e9");
    QTest::newRow("three bytes") << QByteArray("\xe2\x82\xac") << u(u"\u20ac");
    QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80") << u(u"\U0001F600");
    QTest::newRow("four bytes, low half in the escape range") << QByteArray("\xf0\x90\x82\x80") << u(u"\U00010080");
    QTest::newRow("replacement character is text") << QByteArray("\xef\xbf\xbd") << u(u"\ufffd");
    QTest::newRow("invalid byte") << QByteArray("a\xff"
                                                "b")
                                  << u(u"a"
                                       u"\xDCFF"
                                       u"b");
    QTest::newRow("lone continuation") << QByteArray("\x80") << u(u"\xDC80");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf") << u(u"\xDCC0\xDCAF");
    QTest::newRow("overlong, three bytes") << QByteArray("\xe0\x80\xaf") << u(u"\xDCE0\xDC80\xDCAF");
    QTest::newRow("encoded surrogate") << QByteArray("\xed\xa0\x80") << u(u"\xDCED\xDCA0\xDC80");
    QTest::newRow("past U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << u(u"\xDCF4\xDC90\xDC80\xDC80");
    QTest::newRow("five-byte lead") << QByteArray("\xf8\x88\x80\x80\x80") << u(u"\xDCF8\xDC88\xDC80\xDC80\xDC80");
    QTest::newRow("truncated at the end") << QByteArray("ab\xe2\x82")
                                          << u(u"ab"
                                               u"\xDCE2\xDC82");
    QTest::newRow("truncated, then text") << QByteArray("\xf0\x9f\x98x")
                                          << u(u"\xDCF0\xDC9F\xDC98"
                                               u"x");
    QTest::newRow("escape before valid") << QByteArray("\xff\xc3\xa9") << u(u"\xDCFF\u00e9");
}

// Every byte string is a name, and its text turns back into the same bytes.
void TestHardening::fileNames()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);

    QCOMPARE(FileNames::decode(bytes), text);
    QCOMPARE(FileNames::encode(text), bytes);
}

void TestHardening::checkSane(Window &w, const char *what)
{
    frmMain &win = *w.win;
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QVERIFY2(screen.contains(win.frameGeometry()) && screen.contains(win.geometry()), what);
    QVERIFY2(!win.isMaximized(), what);
    for (int c = 0; c < 5; ++c) {
        const int px = win.listView()->header()->sectionSize(c);
        QVERIFY2(px >= 0 && px <= screen.width(), what);
    }
    QVERIFY2(w.dialogs.asked.isEmpty(), what);
}

void TestHardening::lyingSettings_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("isNumber");

    QTest::newRow("garbage") << QByteArray("wide!") << false;
    QTest::newRow("binary") << QByteArray("\x01\x02\xff\xfe\x7f\x1b[2J") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("NaN") << QByteArray("nan") << false;
    QTest::newRow("infinity") << QByteArray("inf") << false;
    QTest::newRow("minus infinity") << QByteArray("-inf") << false;
    QTest::newRow("400 digits") << QByteArray(400, '9') << false;
    QTest::newRow("negative") << QByteArray("-5000") << true;
    QTest::newRow("1e30") << QByteArray("1e30") << true;
    QTest::newRow("1e300") << QByteArray("1e300") << true;
    QTest::newRow("-1e30") << QByteArray("-1e30") << true;
}

// The value in each key alone, then in all keys at once.
void TestHardening::lyingSettings()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, isNumber);

    Window clean;
    for (int i = 0; i <= int(Setting::ColumnSize5) + 1; ++i) {
        QByteArray ini;
        for (int k = 0; k <= int(Setting::ColumnSize5); ++k) {
            if (k != i && i <= int(Setting::ColumnSize5))
                continue;
            const auto key = Setting(k);
            ini += '[' + SettingsStore::section(key).toLatin1().replace(' ', "%20") + "]\n"
                + SettingsStore::key(key).toLatin1().replace(' ', "%20") + '=' + value + '\n';
        }
        QVERIFY(QDir().mkpath(settingsFolder()));
        QVERIFY(writeBytes(local(TestSupport::settingsFile()), ini));
        Window w;
        const QByteArray what = i <= int(Setting::ColumnSize5) ? SettingsStore::key(Setting(i)).toLatin1() : "all";
        QVERIFY2(w.win->auditInterval() == 60000, what);
        if (!isNumber) {
            QVERIFY2(w.win->geometry() == clean.win->geometry(), what);
            for (int c = 1; c <= 5; ++c)
                QVERIFY2(w.win->columnWidthTwips(c) == clean.win->columnWidthTwips(c), what);
        }
        checkSane(w, what.constData());
        if (QTest::currentTestFailed())
            return;
    }
}

// Whole files of random bytes, some with real sections and keys among them.
void TestHardening::randomSettingsFiles()
{
    QRandomGenerator random(20240607);
    const QByteArrayList lines {"[Main]\nTop=",     "[Main]\nWidth=",           "[Main]\nWindow=",
                                "[Setting]\nPath=", "[FileList]\nColumnSize1=", "[List%20View]\nColumn2="};
    QVERIFY(QDir().mkpath(settingsFolder()));
    for (int round = 0; round < 24; ++round) {
        QByteArray junk;
        const int pieces = 1 + int(random.bounded(8));
        for (int p = 0; p < pieces; ++p) {
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
        checkSane(w, qPrintable(QStringLiteral("round %1").arg(round)));
        if (QTest::currentTestFailed())
            return;
    }
}

void TestHardening::unwritableSettingsFolder_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::newRow("no settings file yet") << false;
    QTest::newRow("settings file present") << true;
}

// The program runs, stores nothing, and exits normally.
void TestHardening::unwritableSettingsFolder()
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
    w.win->Timer1_Timer();
    w.dialogs.answers = {Dialogs::Answer::Yes};
    QVERIFY(w.win->close());
    QCOMPARE(w.dialogs.messages().size(), 1);
    QCOMPARE(entries(local(folder)), before);
}

void TestHardening::namesThatBite_data()
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
    QTest::newRow("Chinese") << QByteArray("\xe6\x8a\xa5\xe5\x91\x8a.txt") << QByteArray();
    QTest::newRow("Arabic") << QByteArray("\xd8\xaa\xd9\x82\xd8\xb1\xd9\x8a\xd8\xb1.txt") << QByteArray();
    QTest::newRow("astral") << QByteArray("\xf0\x90\x82\x80.txt") << QByteArray("\x80.txt");
    QTest::newRow("invalid UTF-8") << QByteArray("bad\xff\xfe.txt") << QByteArray("bad\xfe\xff.txt");
    QTest::newRow("what a lossy decoder makes of it") << QByteArray("bad\xff.txt") << QByteArray("bad\xef\xbf\xbd.txt");
    QTest::newRow("overlong dots") << QByteArray("\xc0\xae\xc0\xae.txt") << QByteArray("...txt");
    QTest::newRow("255 bytes") << QByteArray(251, 'n') + ".txt" << QByteArray(250, 'n') + ".txt";
    QTest::newRow("255 bytes, Cyrillic") << QByteArray("\xd0\xb6").repeated(125) + "n.txt" << QByteArray();
}

// The file is one row of its own; open, copy and delete act on exactly its
// bytes and leave the decoy alone.
void TestHardening::namesThatBite()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, decoy);

    const QByteArray dir = local(m_dir->path()) + "/watched";
    const QByteArray dest = local(m_dir->path()) + "/dest";
    QVERIFY(::mkdir(dir.constData(), 0755) == 0 && ::mkdir(dest.constData(), 0755) == 0);
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
    QStringList rows;
    for (const QByteArray &f : files) {
        if (!f.startsWith('.'))
            rows.append(FileNames::decode(f.left(f.lastIndexOf('='))) + QLatin1Char(':'));
    }
    rows.sort();
    QStringList shown = w.rows();
    shown.sort();
    QCOMPARE(shown, rows);
    w.select(text);

    w.win->mnuOpen_Click();
    QTRY_COMPARE(readBytes(marker()), dir + '/' + name);
    w.dialogs.replies = {FileNames::decode(dest + '/' + name)};
    w.win->mnuCopy_Click();
    QCOMPARE(entries(dest), QByteArrayList {name + '=' + name});
    w.dialogs.answers = {Dialogs::Answer::Yes};
    w.win->mnuDelete_Click();
    files.removeOne(name + '=' + name);
    QCOMPARE(entries(dir), files);
    QCOMPARE(w.rows().size(), rows.size() - 1);
    QVERIFY(!w.rows().contains(text + QLatin1Char(':')));
    QCOMPARE(w.dialogs.messages().size(), 1);
}

// Links that lead nowhere or round in a loop, a link to a folder and a pipe
// are no plain files: no rows, no new files. A link to a file is one, and
// deleting it removes the link, not the file.
void TestHardening::linksAndSpecialFiles()
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
    w.win->Timer1_Timer();
    QCOMPARE(w.rows(), rows);
    QVERIFY(w.dialogs.asked.isEmpty());

    w.select(QStringLiteral("to-file"));
    w.dialogs.answers = {Dialogs::Answer::Yes};
    w.win->mnuDelete_Click();
    QCOMPARE(w.rows(), QStringList {QStringLiteral("file.txt:")});
    QCOMPARE(readBytes(dir + "/file.txt"), QByteArray("data"));
}

void TestHardening::replacedBeforeAction_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("folder"); // a folder takes the file's place; else the file is gone
    QTest::addColumn<int>("messages");

    QTest::newRow("open, folder in its place") << Action::Open << true << 1;
    QTest::newRow("open, gone") << Action::Open << false << 1;
    QTest::newRow("copy, folder in its place") << Action::Copy << true << 0;
    QTest::newRow("copy, gone") << Action::Copy << false << 0;
    QTest::newRow("delete, folder in its place") << Action::Delete << true << 1;
    QTest::newRow("delete, gone") << Action::Delete << false << 1;
}

// A row whose file has changed since the listing: the action does nothing
// to what stands there now, and only an open says so.
void TestHardening::replacedBeforeAction()
{
    QFETCH(Action, action);
    QFETCH(bool, folder);
    QFETCH(int, messages);

    const QByteArray dir = local(m_dir->path()) + "/watched";
    const QByteArray dest = local(m_dir->path()) + "/dest";
    QVERIFY(::mkdir(dir.constData(), 0755) == 0 && ::mkdir(dest.constData(), 0755) == 0);
    QVERIFY(writeBytes(dir + "/a.txt", "a") && writeBytes(dir + "/b.txt", "b"));
    Window w(QString::fromLocal8Bit(dir));
    w.select(QStringLiteral("a.txt"));
    QVERIFY(::unlink((dir + "/a.txt").constData()) == 0);
    if (folder)
        QVERIFY(::mkdir((dir + "/a.txt").constData(), 0755) == 0 && writeBytes(dir + "/a.txt/inside", "in"));
    const QByteArrayList before = entries(dir);

    w.dialogs.answers = {Dialogs::Answer::Yes};
    w.dialogs.replies = {QString::fromLocal8Bit(dest) + QStringLiteral("/a.txt")};
    if (action == Action::Open)
        w.win->mnuOpen_Click();
    else if (action == Action::Copy)
        w.win->mnuCopy_Click();
    else
        w.win->mnuDelete_Click();

    QCOMPARE(entries(dir), before);
    QCOMPARE(readBytes(dir + "/a.txt/inside"), folder ? QByteArray("in") : QByteArray("<none>"));
    QCOMPARE(entries(dest), QByteArrayList {});
    QCOMPARE(w.dialogs.messages().size(), messages);
    if (action == Action::Open)
        QCOMPARE(w.dialogs.messages().constFirst().box.title, QStringLiteral("Error #2"));
    QTest::qWait(200); // nothing reaches the opener late either
    QCOMPARE(readBytes(marker()), QByteArray("<none>"));
}

void TestHardening::groundMoving_data()
{
    QTest::addColumn<Ground>("ground");
    QTest::addColumn<bool>("namesShown"); // while away the folder's names can still be read

    QTest::newRow("removed") << Ground::Removed << false;
    QTest::newRow("replaced by a file") << Ground::ReplacedByFile << false;
    QTest::newRow("unreadable") << Ground::Unreadable << false;
    QTest::newRow("names only, no attributes") << Ground::Unsearchable << true;
    QTest::newRow("volume unmounted") << Ground::Unmounted << false;
}

// The watched folder goes away for a few ticks and comes back: one box per
// change of the new files and none while it is away; the catalogue survives,
// so what was known is known again and what came meanwhile is new.
void TestHardening::groundMoving()
{
    QFETCH(Ground, ground);
    QFETCH(bool, namesShown);

    const QString path = m_dir->filePath(QStringLiteral("watched"));
    const QByteArray dir = local(path);
    const auto mount = [&] {
        if (QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               QStringLiteral("size=1m"), QStringLiteral("vardel-test"), path})
            != 0)
            return false;
        m_mounted = path;
        return true;
    };
    QVERIFY(::mkdir(dir.constData(), 0755) == 0);
    if (ground == Ground::Unmounted && !mount())
        QSKIP("no volume can be mounted here");
    QVERIFY(writeBytes(dir + "/a.txt", "a") && writeBytes(dir + "/b.txt", "b"));
    Window w(path);
    QVERIFY(writeBytes(dir + "/n1.txt", "1"));
    w.win->Timer1_Timer();
    QCOMPARE(w.dialogs.messages().size(), 1);

    std::optional<WithoutDacOverride> unprivileged;
    switch (ground) {
    case Ground::Removed:
    case Ground::ReplacedByFile:
        QVERIFY(QDir(path).removeRecursively());
        if (ground == Ground::ReplacedByFile)
            QVERIFY(writeBytes(dir, "not a folder"));
        break;
    case Ground::Unreadable:
    case Ground::Unsearchable:
        QVERIFY(::chmod(dir.constData(), ground == Ground::Unreadable ? 0 : 0444) == 0);
        unprivileged.emplace();
        if (struct stat st; ::stat((dir + "/a.txt").constData(), &st) == 0)
            QSKIP("permissions do not stop this user");
        break;
    case Ground::Unmounted:
        QVERIFY(QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path}) == 0);
        m_mounted.clear();
        break;
    }
    const QStringList awayRows = namesShown
        ? QStringList {QStringLiteral("a.txt:"), QStringLiteral("b.txt:"), QStringLiteral("n1.txt:New")}
        : QStringList {};
    for (int tick = 0; tick < 3; ++tick)
        w.win->Timer1_Timer();
    QCOMPARE(w.rows(), awayRows);
    QCOMPARE(w.win->knownFiles().names(), (QStringList {QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    QCOMPARE(w.win->statusText(), QStringLiteral("Sleeping..."));
    QVERIFY2(w.dialogs.messages().size() <= 2, qPrintable(QString::number(w.dialogs.messages().size())));

    unprivileged.reset();
    if (ground == Ground::Unreadable || ground == Ground::Unsearchable) {
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
    w.win->Timer1_Timer();
    w.win->Timer1_Timer();
    QCOMPARE(w.rows(),
             (QStringList {QStringLiteral("a.txt:"), QStringLiteral("n1.txt:New"), QStringLiteral("n2.txt:New")}));
    QCOMPARE(w.win->windowTitle(), QStringLiteral("Vardel - #2 New File/s were found...."));
    QCOMPARE(w.dialogs.messages().size(), 1);
    QCOMPARE(w.dialogs.messages().constFirst().box.text, QStringLiteral(" #2 New File/s were found!      "));
}

QTEST_MAIN(TestHardening)
#include "tst_hardening.moc"
