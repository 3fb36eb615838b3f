#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileOps.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QDirIterator>
#include <QLabel>
#include <QProcess>
#include <QTest>

#include <memory>
#include <string_view>

#include <sys/stat.h>

using namespace std::string_view_literals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &contents, int mode = 0644)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size() && file.flush()
        && ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

// Every entry under a folder, hidden ones and folders included, as
// "path=contents" (files) or "path/" (folders), sorted; with the inode and
// the modification time when asked.
QStringList snapshot(const QString &root, bool identity = false)
{
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        QString entry = it.fileInfo().isDir() ? rel + QLatin1Char('/')
                                              : rel + QLatin1Char('=') + QString::fromUtf8(readFile(path));
        struct stat st;
        if (identity && ::stat(QFile::encodeName(path).constData(), &st) == 0)
            entry += QStringLiteral(" #%1 %2.%3").arg(st.st_ino).arg(st.st_mtim.tv_sec).arg(st.st_mtim.tv_nsec);
        out.append(entry);
    }
    out.sort();
    return out;
}

// Each text the status panel paints; the window repaints it at every step.
class StatusLog : public QObject
{
public:
    QStringList texts;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const QString text = static_cast<QLabel *>(watched)->text();
            if (texts.isEmpty() || texts.constLast() != text)
                texts.append(text);
        }
        return false;
    }
};

// The main window on a temporary watched folder, shown, with its status
// panel watched and the audit timer stopped.
struct Window {
    ScriptedDialogs dialogs;
    frmMain win {dialogs};
    StatusLog status;

    bool watch(const QString &dir)
    {
        win.setAuditInterval(0);
        win.show();
        if (!QTest::qWaitForWindowExposed(&win) || !win.folderTree()->setPath(dir))
            return false;
        win.setStatusText(QStringLiteral("Idle"));
        win.findChild<QLabel *>(QStringLiteral("statusPanel"))->installEventFilter(&status);
        return true;
    }
    QStringList rows() const
    {
        QStringList names;
        for (int i = 0; i < win.listModel()->rowCount(); ++i)
            names.append(win.listModel()->row(i).name);
        return names;
    }
    void select(const QStringList &names)
    {
        for (int i = 0; i < win.listModel()->rowCount(); ++i) {
            if (names.contains(win.listModel()->row(i).name))
                win.listView()->selectionModel()->select(win.listModel()->index(i, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

public:
    enum class Setup { None, Existing, ReadOnly, Folder, Pipe, Unreadable };
    Q_ENUM(Setup)

private Q_SLOTS:
    void initTestCase();
    void init();
    void open_data();
    void open();
    void openWalk_data();
    void openWalk();
    void destinationFolder_data();
    void destinationFolder();
    void copy_data();
    void copy();
    void copyFile_data();
    void copyFile();
    void deleteFiles_data();
    void deleteFiles();

private:
    static QString root() { return TestSupport::home().path(); }
    static QString marker() { return root() + QStringLiteral("/opened"); }
    static QStringList handedOver()
    {
        QStringList lines = QString::fromUtf8(readFile(marker())).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        lines.sort();
        return lines;
    }

    std::unique_ptr<QTemporaryDir> m_watched;
    std::unique_ptr<QTemporaryDir> m_dest;
};

// A desktop of our own in the temporary home: the type *.vardeltest opens
// with a script that appends the path it was given to a marker file;
// *.vardelorphan and the system's types have no application.
void TestActions::initTestCase()
{
    const QString dataHome = root() + QStringLiteral("/data");
    qputenv("GIO_USE_VFS", "local");
    qputenv("GSETTINGS_BACKEND", "memory");
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QFile::encodeName(QStringLiteral("unix:path=") + root() + QStringLiteral("/runtime/no-bus")));
    const QString systemData = root() + QStringLiteral("/system-data");
    QVERIFY(QDir().mkpath(systemData));
    if (QFileInfo::exists(QStringLiteral("/usr/share/mime")))
        QVERIFY(QFile::link(QStringLiteral("/usr/share/mime"), systemData + QStringLiteral("/mime")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(systemData));
    QVERIFY(QDir().mkpath(root() + QStringLiteral("/system-config")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root() + QStringLiteral("/system-config")));

    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/mime/packages")));
    QVERIFY(
        writeFile(dataHome + QStringLiteral("/mime/packages/vardel-test.xml"),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"application/x-vardel-test\"><glob pattern=\"*.vardeltest\"/></mime-type>\n"
                  "  <mime-type type=\"application/x-vardel-orphan\"><glob pattern=\"*.vardelorphan\"/></mime-type>\n"
                  "</mime-info>\n"));
    QProcess update;
    update.setProcessChannelMode(QProcess::MergedChannels);
    update.start(QStringLiteral("update-mime-database"), {dataHome + QStringLiteral("/mime")});
    QVERIFY2(update.waitForFinished(60000), "update-mime-database (package shared-mime-info) could not be run");
    QVERIFY2(update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0, update.readAll().constData());

    const QString opener = root() + QStringLiteral("/opener.sh");
    QVERIFY(writeFile(opener, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(marker()) + "'\n", 0700));
    QVERIFY(QDir().mkpath(dataHome + QStringLiteral("/applications")));
    QVERIFY(writeFile(dataHome + QStringLiteral("/applications/vardel-test-opener.desktop"),
                      "[Desktop Entry]\nType=Application\nName=Vardel test opener\nExec=\"" + QFile::encodeName(opener)
                          + "\" %f\nMimeType=application/x-vardel-test;\nNoDisplay=true\n"));
    QVERIFY(writeFile(root() + QStringLiteral("/config/mimeapps.list"),
                      "[Default Applications]\napplication/x-vardel-test=vardel-test-opener.desktop;\n"));
}

void TestActions::init()
{
    QFile::remove(marker());
    m_watched = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/watched-XXXXXX"));
    m_dest = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/dest-XXXXXX"));
    QVERIFY(m_watched->isValid() && m_dest->isValid());
}

void TestActions::open_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mode"); // -1: removed after it was selected
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("error"); // the box's title and message, if any

    const QString none;
    const QString missing = QStringLiteral("Error #2|The specified file could not be found.");
    const QString noApp = QStringLiteral("Error #31|There is no program associated with the specified type of file.");
    QTest::newRow("plain file") << QStringLiteral("plain.vardeltest") << 0644 << false << true << none;
    QTest::newRow("leading space kept") << QStringLiteral(" lead.vardeltest") << 0644 << false << true << none;
    QTest::newRow("exe inside the name") << QStringLiteral("archive.exe.vardeltest") << 0644 << false << true << none;
    QTest::newRow("owner execute bit") << QStringLiteral("tool.vardeltest") << 0755 << true << false << none;
    QTest::newRow("others' execute bit") << QStringLiteral("other.vardeltest") << 0641 << true << false << none;
    QTest::newRow("launcher") << QStringLiteral("Launch.desktop") << 0644 << true << false << none;
    QTest::newRow("launcher, upper case") << QStringLiteral("OLD.DESKTOP") << 0644 << true << false << none;
    QTest::newRow("SETUP.Exe") << QStringLiteral("SETUP.Exe") << 0644 << true << false << none;
    QTest::newRow("run.bat") << QStringLiteral("run.bat") << 0644 << true << false << none;
    QTest::newRow("x.CoM") << QStringLiteral("x.CoM") << 0644 << true << false << none;
    QTest::newRow("exe") << QStringLiteral("exe") << 0644 << false << false << noApp;
    QTest::newRow("no application") << QStringLiteral("nobody.vardelorphan") << 0644 << false << false << noApp;
    QTest::newRow("file gone") << QStringLiteral("gone.vardeltest") << -1 << false << false << missing;
}

// Each row is opened together with a plain file after it; the question is
// answered No.
void TestActions::open()
{
    QFETCH(QString, name);
    QFETCH(int, mode);
    QFETCH(bool, asked);
    QFETCH(bool, opened);
    QFETCH(QString, error);

    const QString path = m_watched->filePath(name);
    const QString last = m_watched->filePath(QStringLiteral("zzz.vardeltest"));
    QVERIFY(writeFile(path, "x\n", mode < 0 ? 0644 : mode));
    QVERIFY(writeFile(last, "x\n"));
    Window w;
    QVERIFY(w.watch(m_watched->path()));
    w.win.lvwFile_DblClick();
    QVERIFY(w.dialogs.asked.isEmpty()); // nothing selected: nothing shown
    QVERIFY(!QFile::exists(marker()));

    w.select({name, QStringLiteral("zzz.vardeltest")});
    if (mode < 0)
        QVERIFY(QFile::remove(path));
    w.dialogs.answers = {Dialogs::Answer::No};
    w.win.lvwFile_DblClick();

    QStringList boxes;
    for (const ScriptedDialogs::Asked &a : w.dialogs.messages())
        boxes.append(a.box.title + QLatin1Char('|') + a.box.text);
    QStringList expected;
    if (asked)
        expected.append(QStringLiteral("Executable Warning...|Do you want to run ") + name + QLatin1Char('?'));
    if (!error.isEmpty())
        expected.append(error + QLatin1Char('\n') + path);
    QCOMPARE(boxes, expected);
    if (!error.isEmpty()) {
        const Dialogs::Box box = w.dialogs.messages().constLast().box;
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(box.icon, Dialogs::Icon::Critical);
    }
    QStringList handed {last};
    if (opened)
        handed.prepend(path);
    QTRY_COMPARE_WITH_TIMEOUT(handedOver(), handed, 10000);
    QCOMPARE(w.win.statusText(), QStringLiteral("Idle"));
}

void TestActions::openWalk_data()
{
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::newRow("Yes") << Dialogs::Answer::Yes;
    QTest::newRow("No") << Dialogs::Answer::No;
}

// The files are gone once selected, so each open shows what it was handed.
void TestActions::openWalk()
{
    QFETCH(Dialogs::Answer, answer);
    const QStringList names {QStringLiteral("a.txt"), QStringLiteral("b.exe"), QStringLiteral("c.exe")};
    for (const QString &n : names)
        QVERIFY(writeFile(m_watched->filePath(n), "x"));
    Window w;
    QVERIFY(w.watch(m_watched->path()));
    w.select(names);
    for (const QString &n : names)
        QVERIFY(QFile::remove(m_watched->filePath(n)));

    const auto gone = [&](const QString &n) {
        return QStringLiteral("Error #2|The specified file could not be found.\n") + m_watched->filePath(n);
    };
    QStringList expected {gone(names[0]), QStringLiteral("Executable Warning...|Do you want to run b.exe?")};
    if (answer == Dialogs::Answer::Yes)
        expected << gone(names[1]) << gone(names[2]);

    // Each operation asks afresh.
    for (auto handler : {&frmMain::mnuOpen_Click, &frmMain::mPopOpen_Click}) {
        w.dialogs.reset();
        w.dialogs.answers = {Dialogs::Answer::Ok, answer};
        (w.win.*handler)();
        QStringList boxes;
        for (const ScriptedDialogs::Asked &a : w.dialogs.messages())
            boxes.append(a.box.title + QLatin1Char('|') + a.box.text);
        QCOMPARE(boxes, expected);
        const Dialogs::Box question = w.dialogs.messages().at(1).box;
        QCOMPARE(question.buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(question.icon, Dialogs::Icon::Warning);
        QCOMPARE(question.defaultAnswer, Dialogs::Answer::Yes);
    }
}

void TestActions::destinationFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("proposed");
    QTest::addColumn<QString>("folder"); // "-": none
    QTest::newRow("root folder") << QStringLiteral("/a.txt") << QStringLiteral("a.txt") << QStringLiteral("/");
    QTest::newRow("spaces kept") << QStringLiteral("/d/ a.txt ") << QStringLiteral(" a.txt ") << QStringLiteral("/d/");
    QTest::newRow("trailing space lost") << QStringLiteral("/d/ a.txt") << QStringLiteral(" a.txt ")
                                         << QStringLiteral("-");
    QTest::newRow("name lengthened") << QStringLiteral("/d/xa.txt") << QStringLiteral("a.txt") << QStringLiteral("-");
}

void TestActions::destinationFolder()
{
    QFETCH(QString, path);
    QFETCH(QString, proposed);
    QFETCH(QString, folder);
    QCOMPARE(FileOps::destinationFolder(path, proposed).value_or(QStringLiteral("-")), folder);
}

void TestActions::copy_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QString>("reply"); // {D} the destination, {W} the watched folder; empty: cancel
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("after"); // the destination folder
    QTest::addColumn<QStringList>("status");

    const QStringList ab {QStringLiteral("a.txt"), QStringLiteral("b.txt")};
    const QStringList copyingAb {QStringLiteral("Copying a.txt..."), QStringLiteral("Copying b.txt..."),
                                 QStringLiteral("Sleeping...")};
    const QStringList both {QStringLiteral("a.txt=alpha"), QStringLiteral("b.txt=bravo")};
    const QStringList untouched; // the status keeps its text
    QTest::newRow("two files into a folder")
        << ab << QStringLiteral("{D}/a.txt; b.txt") << Setup::None << both << copyingAb;
    QTest::newRow("existing file replaced")
        << ab << QStringLiteral("{D}/a.txt; b.txt") << Setup::Existing << both << copyingAb;
    QTest::newRow("read-only file kept, the walk goes on")
        << ab << QStringLiteral("{D}/a.txt; b.txt") << Setup::ReadOnly << QStringList {"a.txt=old", "b.txt=bravo"}
        << copyingAb;
    QTest::newRow("whole path typed") << ab << QStringLiteral("{D}/sub/a.txt; b.txt") << Setup::Folder
                                      << QStringList {"sub/", "sub/a.txt=alpha", "sub/b.txt=bravo"} << copyingAb;
    QTest::newRow("onto themselves") << ab << QStringLiteral("{W}/a.txt; b.txt") << Setup::None << QStringList {}
                                     << copyingAb;
    QTest::newRow("cancel") << ab << QString() << Setup::None << QStringList {} << untouched;
    QTest::newRow("name changed") << ab << QStringLiteral("{D}/mine.txt") << Setup::None << QStringList {} << untouched;
    QTest::newRow("folder missing") << QStringList {"a.txt"} << QStringLiteral("{D}/nosuch/a.txt") << Setup::None
                                    << QStringList {} << QStringList {"Copying a.txt...", "Sleeping..."};
    QTest::newRow("spaces at both ends") << QStringList {" x.txt "} << QStringLiteral("{D}/ x.txt ") << Setup::None
                                         << QStringList {" x.txt =spaced"}
                                         << QStringList {"Copying  x.txt ...", "Sleeping..."};
    QTest::newRow("nothing selected") << QStringList {} << QStringLiteral("{D}/") << Setup::None << QStringList {}
                                      << QStringList {"Sleeping..."};
}

void TestActions::copy()
{
    QFETCH(QStringList, selected);
    QFETCH(QString, reply);
    QFETCH(Setup, setup);
    QFETCH(QStringList, after);
    QFETCH(QStringList, status);

    QVERIFY(writeFile(m_watched->filePath(QStringLiteral("a.txt")), "alpha"));
    QVERIFY(writeFile(m_watched->filePath(QStringLiteral("b.txt")), "bravo"));
    QVERIFY(writeFile(m_watched->filePath(QStringLiteral(" x.txt ")), "spaced"));
    QVERIFY(writeFile(m_watched->filePath(QStringLiteral("x.txt")), "plain"));
    if (setup == Setup::Existing || setup == Setup::ReadOnly)
        QVERIFY(writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old", setup == Setup::ReadOnly ? 0444 : 0644));
    if (setup == Setup::Folder)
        QVERIFY(QDir(m_dest->path()).mkdir(QStringLiteral("sub")));
    const QStringList source = snapshot(m_watched->path(), true);

    Window w;
    QVERIFY(w.watch(m_watched->path()));
    w.select(selected);
    if (!reply.isEmpty())
        w.dialogs.replies
            = {reply.replace(QStringLiteral("{D}"), m_dest->path()).replace(QStringLiteral("{W}"), m_watched->path())};
    w.win.mnuCopy_Click();

    QCOMPARE(w.dialogs.asked.size(), 1);
    QCOMPARE(w.dialogs.asked[0].kind, ScriptedDialogs::Kind::SaveFile);
    QCOMPARE(w.dialogs.asked[0].defaultText, selected.join(QStringLiteral("; ")));
    QCOMPARE(snapshot(m_dest->path()), after);
    QCOMPARE(snapshot(m_watched->path(), true), source); // not even rewritten in place
    QCOMPARE(w.status.texts, status);
    QCOMPARE(w.win.statusText(), status.isEmpty() ? QStringLiteral("Idle") : status.constLast());
}

void TestActions::copyFile_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("destination"); // in the destination folder
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("copied") << Setup::None << QStringLiteral("a.txt") << true << QStringList {"a.txt=alpha"};
    QTest::newRow("into a folder that does not exist")
        << Setup::None << QStringLiteral("nosuch/a.txt") << false << QStringList {};
    QTest::newRow("unreadable source over a file")
        << Setup::Unreadable << QStringLiteral("a.txt") << false << QStringList {"a.txt=old"};
    QTest::newRow("pipe in the file's place") << Setup::Pipe << QStringLiteral("a.txt") << false << QStringList {};
    QTest::newRow("folder in the destination's place")
        << Setup::Folder << QStringLiteral("a.txt") << false << QStringList {"a.txt/"};
}

void TestActions::copyFile()
{
    QFETCH(Setup, setup);
    QFETCH(QString, destination);
    QFETCH(bool, ok);
    QFETCH(QStringList, after);

    QString source = m_watched->filePath(QStringLiteral("a.txt"));
    if (setup == Setup::Unreadable) {
        // Opens as a plain file, but its first read fails.
        source = QStringLiteral("/proc/self/mem");
        QVERIFY(writeFile(m_dest->filePath(QStringLiteral("a.txt")), "old"));
    } else if (setup == Setup::Pipe) {
        QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0644), 0);
    } else {
        QVERIFY(writeFile(source, "alpha", 04755));
        if (setup == Setup::Folder)
            QVERIFY(QDir(m_dest->path()).mkdir(QStringLiteral("a.txt")));
    }
    QCOMPARE(FileOps::copyFile(source, m_dest->filePath(destination)), ok);
    QCOMPARE(snapshot(m_dest->path()), after);
    struct stat st;
    if (ok) { // the permissions come along, set-user-ID does not
        QCOMPARE(::stat(QFile::encodeName(m_dest->filePath(destination)).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0755));
    }
}

void TestActions::deleteFiles_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<Dialogs::Answer>("answer");
    QTest::addColumn<Setup>("setup"); // ReadOnly: b.txt; Folder: a.txt becomes one once selected
    QTest::addColumn<QStringList>("left"); // the watched folder; each file holds its name

    const QStringList abc {QStringLiteral("a.txt"), QStringLiteral("b.txt"), QStringLiteral("c.txt")};
    const QStringList all {" x.txt = x.txt ", "a.txt=a.txt",     "b.txt=b.txt",
                           "c.txt=c.txt",     "new.txt=new.txt", "x.txt=x.txt"};
    QStringList folder = all;
    folder[1] = QStringLiteral("a.txt/");
    QTest::newRow("No") << abc << Dialogs::Answer::No << Setup::None << all;
    QTest::newRow("Yes") << abc << Dialogs::Answer::Yes << Setup::None
                         << QStringList {" x.txt = x.txt ", "new.txt=new.txt", "x.txt=x.txt"};
    QTest::newRow("read-only among them")
        << abc << Dialogs::Answer::Yes << Setup::ReadOnly
        << QStringList {" x.txt = x.txt ", "b.txt=b.txt", "new.txt=new.txt", "x.txt=x.txt"};
    QTest::newRow("nothing selected") << QStringList {} << Dialogs::Answer::Yes << Setup::None << all;
    QTest::newRow("spaces at both ends") << QStringList {" x.txt "} << Dialogs::Answer::Yes << Setup::None
                                         << all.mid(1);
    QTest::newRow("folder in the file's place")
        << QStringList {"a.txt"} << Dialogs::Answer::Yes << Setup::Folder << folder;
}

// "new.txt" arrives after the catalogue and an audit pass marks it new
// before the delete.
void TestActions::deleteFiles()
{
    QFETCH(QStringList, selected);
    QFETCH(Dialogs::Answer, answer);
    QFETCH(Setup, setup);
    QFETCH(QStringList, left);

    for (const char *n : {"a.txt", "b.txt", "c.txt", " x.txt ", "x.txt"})
        QVERIFY(writeFile(m_watched->filePath(QLatin1String(n)), n,
                          setup == Setup::ReadOnly && n == "b.txt"sv ? 0444 : 0644));
    Window w;
    QVERIFY(w.watch(m_watched->path()));
    QVERIFY(writeFile(m_watched->filePath(QStringLiteral("new.txt")), "new.txt"));
    w.win.CompareFile();
    QCOMPARE(w.win.lastNewFiles(), QStringLiteral("new.txt"));
    w.win.setStatusText(QStringLiteral("Idle"));
    w.status.texts.clear();
    w.dialogs.reset();
    const QStringList rowsBefore = w.rows();
    const QStringList knownBefore = w.win.knownFiles().names();

    w.select(selected);
    if (setup == Setup::Folder) {
        QVERIFY(QFile::remove(m_watched->filePath(QStringLiteral("a.txt"))));
        QVERIFY(QDir(m_watched->path()).mkdir(QStringLiteral("a.txt")));
    }
    w.dialogs.answers = {answer};
    w.win.mnuDelete_Click();

    QCOMPARE(w.dialogs.asked.size(), 1);
    const Dialogs::Box q = w.dialogs.asked[0].box;
    QCOMPARE(q.text,
             QStringLiteral("Do you want to delete the file/s ") + selected.join(QStringLiteral(", "))
                 + QStringLiteral("?  "));
    QCOMPARE(q.title, QStringLiteral("Delete Warning"));
    QCOMPARE(q.buttons, Dialogs::Buttons::YesNo);
    QCOMPARE(q.icon, Dialogs::Icon::Question);
    QCOMPARE(q.defaultAnswer, Dialogs::Answer::Yes);
    QCOMPARE(snapshot(m_watched->path()), left);
    if (answer == Dialogs::Answer::No) {
        QCOMPARE(w.rows(), rowsBefore);
        QCOMPARE(w.win.knownFiles().names(), knownBefore);
        QCOMPARE(w.status.texts, QStringList {});
        QCOMPARE(w.win.statusText(), QStringLiteral("Idle"));
        return;
    }
    QStringList status;
    for (const QString &n : selected)
        status.append(QStringLiteral("Deleting ") + n + QStringLiteral("..."));
    QCOMPARE(w.status.texts, status << QStringLiteral("Sleeping..."));
    QStringList files;
    for (const QString &entry : left) {
        if (entry.contains(QLatin1Char('=')))
            files.append(entry.section(QLatin1Char('='), 0, 0));
    }
    QCOMPARE(w.rows(), files);
    QCOMPARE(w.win.knownFiles().names(), files);
    // What survived is known now: the next pass finds nothing new.
    w.win.CompareFile();
    QCOMPARE(w.win.lastNewFiles(), QString());
}

QTEST_MAIN(TestActions)
#include "tst_actions.moc"
