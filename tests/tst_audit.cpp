#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/AppPath.h"
#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "audit/AuditPeriod.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "filelist/RowText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

// Numbers in replies are written with "." whatever the machine's locale.
static void vardelAuditLocale()
{
    qputenv("LC_ALL", "C.UTF-8");
}
Q_CONSTRUCTOR_FUNCTION(vardelAuditLocale)

class TestAudit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_startDir = QDir::currentPath(); }
    void init();
    void cleanup();

    void passSequence();
    void whatIsNew_data();
    void whatIsNew();
    void signatureKeepsSetsApart();
    void listingLeavesOutHiddenAndSpecial();
    void listingOrder();
    void initListAndScanNow();
    void tickHeldWhileBoxOpen();
    void tickHeldDuringExitQuestion_data();
    void tickHeldDuringExitQuestion();
    void periodDialog_data();
    void periodDialog();
    void periodReplyInUserLocale();
    void storedAuditTimeout_data();
    void storedAuditTimeout();
    void storedDriveAndFolderMissing();
    void iconFileNotLoadable_data();
    void iconFileNotLoadable();
    void appPath_data();
    void appPath();
    void openingAnotherFolder();
    void folderClickStoresWidthsOnly();
    void driveNotReady();

private:
    void touch(const QString &name, const QByteArray &data = "x") const;
    void remove(const QString &name) const { QVERIFY(QFile::remove(m_dir->filePath(name))); }
    // The main window after start-up, watching the temporary folder.
    frmMain &start();
    // Each row as "name:status".
    QStringList rows() const;
    QString lastMessage() const
    {
        return m_dialogs->messages().isEmpty() ? QString() : m_dialogs->messages().constLast().box.text;
    }

    QString m_startDir;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<frmMain> m_win;
};

void TestAudit::init()
{
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vardel"), QStringLiteral("Vardel")).clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dialogs = std::make_unique<ScriptedDialogs>();
}

void TestAudit::cleanup()
{
    m_win.reset();
    m_dialogs.reset();
    QDir::setCurrent(m_startDir);
}

void TestAudit::touch(const QString &name, const QByteArray &data) const
{
    QFile file(m_dir->filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
}

frmMain &TestAudit::start()
{
    SettingsStore().write(Setting::Path, m_dir->path());
    m_win = std::make_unique<frmMain>(*m_dialogs);
    m_win->Form_Load();
    return *m_win;
}

QStringList TestAudit::rows() const
{
    QStringList out;
    const FileListModel *model = m_win->listModel();
    for (int i = 0; i < model->rowCount(); ++i)
        out.append(model->text(i, FileListModel::NameColumn) + QLatin1Char(':')
                   + model->text(i, FileListModel::StatusColumn));
    return out;
}

void TestAudit::passSequence()
{
    touch(QStringLiteral("known.txt"));
    frmMain &win = start();
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));

    // A catalogued file that changes in size and time is still known; its
    // row shows what it holds now.
    touch(QStringLiteral("known.txt"), QByteArray(5000, 'k'));
    QFile known(m_dir->filePath(QStringLiteral("known.txt")));
    QVERIFY(known.open(QIODevice::ReadWrite));
    const QDateTime before = QDateTime::currentDateTime().addDays(-3);
    QVERIFY(known.setFileTime(before, QFileDevice::FileModificationTime));
    known.close();
    win.Timer1_Timer();
    QVERIFY(m_dialogs->asked.isEmpty());
    QCOMPARE(rows(), QStringList {QStringLiteral("known.txt:")});
    QCOMPARE(win.listModel()->row(0).size, qint64(5000));
    QCOMPARE(win.listModel()->row(0).mtime, before.toSecsSinceEpoch());
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
    QCOMPARE(win.listView()->toolTip(), QString());
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));

    touch(QStringLiteral("n1.txt"));
    m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
        QCOMPARE(win.statusText(), QStringLiteral("Checking for new file..."));
        QCOMPARE(win.lastNewFiles(), QString());
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
    };
    win.Timer1_Timer();
    m_dialogs->whileOpen = nullptr;
    QCOMPARE(m_dialogs->messages().size(), 1);
    const Dialogs::Box box = m_dialogs->messages().constFirst().box;
    QCOMPARE(box.text, QStringLiteral(" #1 New File/s were found!      "));
    QVERIFY(box.title.startsWith(QStringLiteral("Vardel - ")));
    QVERIFY(QTime::fromString(box.title.mid(9), RowText::longTimeFormat(QLocale::system())).isValid());
    QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
    QCOMPARE(box.icon, Dialogs::Icon::Information);
    QVERIFY(box.alert);
    QCOMPARE(win.windowIconName(), QStringLiteral("Lighton.ico"));
    QCOMPARE(rows(), (QStringList {QStringLiteral("known.txt:"), QStringLiteral("n1.txt:New")}));
    QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));

    win.Timer1_Timer(); // the same new file: nothing more to tell
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
    QCOMPARE(rows().constLast(), QStringLiteral("n1.txt:New"));

    touch(QStringLiteral("n2.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(lastMessage(), QStringLiteral(" #2 New File/s were found!      "));
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #2 New File/s were found...."));
    QCOMPARE(win.lastNewFiles(), QStringLiteral("n1.txt/n2.txt"));

    remove(QStringLiteral("n2.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 3);
    QCOMPARE(lastMessage(), QStringLiteral(" #1 New File/s were found!      "));

    remove(QStringLiteral("n1.txt")); // all gone: quiet again, without a box
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 3);
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
    QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
    QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));

    remove(QStringLiteral("known.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 3);
    QCOMPARE(rows(), QStringList());
}

void TestAudit::whatIsNew_data()
{
    QTest::addColumn<QString>("renameTo");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("renamed") << QStringLiteral("b.txt") << QStringList {QStringLiteral("b.txt:New")};
    QTest::newRow("case only") << QStringLiteral("A.txt") << QStringList {QStringLiteral("A.txt:New")};
    QTest::newRow("hidden") << QStringLiteral(".a.txt") << QStringList();
}

void TestAudit::whatIsNew()
{
    QFETCH(QString, renameTo);
    QFETCH(QStringList, expected);
    touch(QStringLiteral("a.txt"));
    frmMain &win = start();
    QVERIFY(QFile::rename(m_dir->filePath(QStringLiteral("a.txt")), m_dir->filePath(renameTo)));
    win.Timer1_Timer();
    QCOMPARE(rows(), expected);
    QCOMPARE(m_dialogs->messages().size(), expected.isEmpty() ? 0 : 1);
}

void TestAudit::signatureKeepsSetsApart()
{
    frmMain &win = start();
    touch(QStringLiteral("x"));
    touch(QStringLiteral("y.txt"));
    win.Timer1_Timer();
    QCOMPARE(lastMessage(), QStringLiteral(" #2 New File/s were found!      "));
    remove(QStringLiteral("x"));
    remove(QStringLiteral("y.txt"));
    touch(QStringLiteral("xy.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(lastMessage(), QStringLiteral(" #1 New File/s were found!      "));
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
}

void TestAudit::listingLeavesOutHiddenAndSpecial()
{
    touch(QStringLiteral(".hidden"));
    touch(QStringLiteral("target.txt"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
    QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), m_dir->filePath(QStringLiteral("dangling"))));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("folder")), m_dir->filePath(QStringLiteral("folderlink"))));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("target.txt")), m_dir->filePath(QStringLiteral("link"))));
    frmMain &win = start();
    QCOMPARE(win.knownFiles().names(), (QStringList {QStringLiteral("link"), QStringLiteral("target.txt")}));
    QCOMPARE(rows(), (QStringList {QStringLiteral("link:"), QStringLiteral("target.txt:")}));
    QVERIFY(m_dialogs->asked.isEmpty());
}

void TestAudit::listingOrder()
{
    // Case is ignored; names equal but for case come upper case first, so
    // that every pass gives the same order whatever the folder's own.
    const QStringList expected {QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("B.txt"),
                                QStringLiteral("C"), QStringLiteral("c"), QStringLiteral("D"), QStringLiteral("d"),
                                QStringLiteral("E"), QStringLiteral("e")};
    for (const char *name : {"e", "b", "C", "a", "E", "B.txt", "d", "A", "c", "D"})
        touch(QLatin1String(name));
    frmMain &win = start();
    QCOMPARE(win.knownFiles().names(), expected);
    touch(QStringLiteral("Ab"));
    win.Timer1_Timer();
    QCOMPARE(rows().at(2), QStringLiteral("Ab:New"));
}

void TestAudit::initListAndScanNow()
{
    frmMain &win = start();
    touch(QStringLiteral("early.txt"));
    win.mnuInitList_Click(); // before any pass: never reported
    QVERIFY(win.knownFiles().contains(QStringLiteral("early.txt")));
    win.mnuScanNet_Click();
    QVERIFY(m_dialogs->asked.isEmpty());

    touch(QStringLiteral("late.txt"));
    win.mnuScanNet_Click(); // a pass at once
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(win.windowIconName(), QStringLiteral("Lighton.ico"));

    win.mnuInitList_Click();
    QCOMPARE(rows(), (QStringList {QStringLiteral("early.txt:"), QStringLiteral("late.txt:")}));
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
    QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));
    QCOMPARE(win.lastNewFiles(), QStringLiteral("late.txt"));
    win.Timer1_Timer(); // the signature falls to empty: quiet, no box
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(win.lastNewFiles(), QString());

    // A new file told, removed before a new catalogue and made again is
    // told again, although its signature is the one of the last pass.
    touch(QStringLiteral("back.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 2);
    remove(QStringLiteral("back.txt"));
    win.mnuInitList_Click();
    touch(QStringLiteral("back.txt"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 3);
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
}

void TestAudit::tickHeldWhileBoxOpen()
{
    frmMain &win = start();
    touch(QStringLiteral("one"));
    int boxes = 0;
    m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
        if (++boxes > 1)
            return;
        touch(QStringLiteral("two"));
        win.Timer1_Timer();
        win.mnuScanNet_Click();
        // No pass ran beneath the box.
        QCOMPARE(m_dialogs->asked.size(), 1);
        QCOMPARE(rows(), QStringList {QStringLiteral("one:New")});
    };
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(win.lastNewFiles(), QStringLiteral("one"));
    // The held tick runs once the box has closed, and only once.
    QTRY_COMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(lastMessage(), QStringLiteral(" #2 New File/s were found!      "));
    QCoreApplication::processEvents();
    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(win.lastNewFiles(), QStringLiteral("one/two"));
}

void TestAudit::tickHeldDuringExitQuestion_data()
{
    QTest::addColumn<bool>("exit");
    QTest::newRow("stays") << false;
    QTest::newRow("exits") << true;
}

void TestAudit::tickHeldDuringExitQuestion()
{
    QFETCH(bool, exit);
    frmMain &win = start();
    m_dialogs->answers = {exit ? Dialogs::Answer::Yes : Dialogs::Answer::No};
    m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
        m_dialogs->whileOpen = nullptr;
        touch(QStringLiteral("arrived"));
        win.Timer1_Timer();
    };
    QCOMPARE(win.Form_Unload(), exit);
    QCoreApplication::processEvents();
    // Once the user has chosen to exit, no pass and no alert follow.
    QCOMPARE(m_dialogs->messages().size(), exit ? 1 : 2);
    QCOMPARE(rows(), exit ? QStringList() : QStringList {QStringLiteral("arrived:New")});
}

void TestAudit::periodDialog_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<QStringList>("replies"); // none: Cancel
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("expected");

    QTest::newRow("30") << 60000 << QStringList {QStringLiteral("30")} << QStringLiteral("60") << 30000;
    QTest::newRow("1.5") << 60000 << QStringList {QStringLiteral("1.5")} << QStringLiteral("60") << 1500;
    QTest::newRow("1500 shows 2") << 1500 << QStringList {QStringLiteral("2")} << QStringLiteral("2") << 2000;
    QTest::newRow("2500 shows 2") << 2500 << QStringList {} << QStringLiteral("2") << 2500;
    QTest::newRow("65535 shows 66, refused")
        << 65535 << QStringList {QStringLiteral("66")} << QStringLiteral("66") << 65535;
    QTest::newRow("65.535") << 60000 << QStringList {QStringLiteral("65.535")} << QStringLiteral("60") << 65535;
    QTest::newRow("65.536") << 60000 << QStringList {QStringLiteral("65.536")} << QStringLiteral("60") << 60000;
    QTest::newRow("70") << 60000 << QStringList {QStringLiteral("70")} << QStringLiteral("60") << 60000;
    QTest::newRow("0.0004 stops") << 60000 << QStringList {QStringLiteral("0.0004")} << QStringLiteral("60") << 0;
    QTest::newRow("restart from 0") << 0 << QStringList {QStringLiteral("5")} << QStringLiteral("0") << 5000;
    QTest::newRow("cancel") << 60000 << QStringList {} << QStringLiteral("60") << 60000;
    QTest::newRow("empty") << 60000 << QStringList {QString()} << QStringLiteral("60") << 60000;
    QTest::newRow("abc") << 60000 << QStringList {QStringLiteral("abc")} << QStringLiteral("60") << 60000;
    QTest::newRow("0") << 60000 << QStringList {QStringLiteral("0")} << QStringLiteral("60") << 60000;
    QTest::newRow("-5") << 60000 << QStringList {QStringLiteral("-5")} << QStringLiteral("60") << 60000;
}

void TestAudit::periodDialog()
{
    QFETCH(int, period);
    QFETCH(QStringList, replies);
    QFETCH(QString, shown);
    QFETCH(int, expected);
    frmMain &win = start();
    QVERIFY(win.setAuditInterval(period));
    for (const QString &r : replies)
        m_dialogs->replies.append(r);
    win.mnuSetAuditTime_Click();
    QCOMPARE(m_dialogs->asked.size(), 1);
    const ScriptedDialogs::Asked asked = m_dialogs->asked.constFirst();
    QCOMPARE(asked.prompt, QStringLiteral("Please enter audit timeout in sec:"));
    QCOMPARE(asked.box.title, QStringLiteral("Audit time setting..."));
    QCOMPARE(asked.defaultText, shown);
    QCOMPARE(win.auditInterval(), expected);
    // Changing the period does not store it.
    QCOMPARE(SettingsStore().read(Setting::AuditTimeout, QStringLiteral("unset")), QStringLiteral("unset"));
}

void TestAudit::periodReplyInUserLocale()
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const auto ms
        = [&](const char *reply) { return AuditPeriod::fromReply(QLatin1String(reply), german).value_or(-1); };
    QCOMPARE(ms("1,5"), 1500);
    QCOMPARE(ms("65,535"), 65535);
    QCOMPARE(ms("65,536"), -1);
    QCOMPARE(ms("1.5"), 1500);
}

void TestAudit::storedAuditTimeout_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("65535") << QStringLiteral("65535") << 65535;
    QTest::newRow("65536") << QStringLiteral("65536") << 60000;
    QTest::newRow("0 stops") << QStringLiteral("0") << 0;
    QTest::newRow("negative") << QStringLiteral("-1") << 60000;
    QTest::newRow("no number") << QStringLiteral("soon") << 60000;
    QTest::newRow("half to even") << QStringLiteral("1500.5") << 1500;
}

void TestAudit::storedAuditTimeout()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    SettingsStore().write(Setting::AuditTimeout, stored);
    QCOMPARE(start().auditInterval(), expected);
}

void TestAudit::storedDriveAndFolderMissing()
{
    // Not found: the watch stays on the working directory, the drive as it was.
    touch(QStringLiteral("here.txt"));
    QVERIFY(QDir::setCurrent(m_dir->path()));
    SettingsStore().write(Setting::Driver, QStringLiteral("/no/such/volume"));
    SettingsStore().write(Setting::Path, m_dir->filePath(QStringLiteral("gone")));
    m_win = std::make_unique<frmMain>(*m_dialogs);
    const QString drive = m_win->driveSelector()->drive();
    m_win->Form_Load();
    QCOMPARE(m_win->driveSelector()->drive(), drive);
    QCOMPARE(m_win->folderTree()->path(), QDir::currentPath());
    QCOMPARE(m_win->file1().path(), QDir::currentPath());
    QCOMPARE(m_win->knownFiles().names(), QStringList {QStringLiteral("here.txt")});
    QCOMPARE(m_win->appPath(), QDir::currentPath() + QLatin1Char('/'));
    QVERIFY(m_dialogs->asked.isEmpty());
}

void TestAudit::iconFileNotLoadable_data()
{
    QTest::addColumn<bool>("garbage");
    QTest::newRow("missing") << false;
    QTest::newRow("unreadable") << true;
}

void TestAudit::iconFileNotLoadable()
{
    QFETCH(bool, garbage);
    QTemporaryDir program;
    for (const char *name : {"Eye.ico", "Lighton.ico"}) {
        QFile file(program.filePath(QLatin1String(name)));
        if (garbage)
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not an icon") > 0);
    }
    QVERIFY(QDir::setCurrent(program.path()));
    frmMain &win = start();
    touch(QStringLiteral("new.txt"));
    win.Timer1_Timer();
    QCOMPARE(lastMessage(), QStringLiteral(" #1 New File/s were found!      "));
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
    QCOMPARE(win.windowIconName(), QStringLiteral("Lighton.ico"));
    QVERIFY(!win.windowIcon().isNull());
    QCOMPARE(win.lastNewFiles(), QStringLiteral("new.txt"));
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));
    remove(QStringLiteral("new.txt"));
    win.Timer1_Timer();
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
    QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
    QCOMPARE(win.lastNewFiles(), QString());
    QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));
}

void TestAudit::appPath_data()
{
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/");
    QTest::newRow("one slash added") << QStringLiteral("/opt/tools") << QStringLiteral("/opt/tools/");
    QTest::newRow("ends in VB") << QStringLiteral("/work/ToolVB") << QStringLiteral("/work/ToolVB/My app/Vardel/");
    QTest::newRow("ends in Vb98") << QStringLiteral("/dev/Vb98") << QStringLiteral("/dev/Vb98/My app/Vardel/");
    QTest::newRow("lower vb") << QStringLiteral("/x/vb") << QStringLiteral("/x/vb/My app/Vardel/");
    QTest::newRow("VB inside") << QStringLiteral("/VB/tools") << QStringLiteral("/VB/tools/");
}

void TestAudit::appPath()
{
    QFETCH(QString, workingDirectory);
    QFETCH(QString, expected);
    QCOMPARE(appPathFor(workingDirectory), expected);
}

void TestAudit::openingAnotherFolder()
{
    touch(QStringLiteral("a1"));
    frmMain &win = start();
    touch(QStringLiteral("fresh"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 1);

    QTemporaryDir other;
    for (const char *name : {"b1", "b2"})
        QVERIFY(QFile(other.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
    QVERIFY(win.folderTree()->setPath(other.path()));
    QCOMPARE(win.file1().path(), other.path());
    QCOMPARE(rows(), (QStringList {QStringLiteral("b1:"), QStringLiteral("b2:")}));
    QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
    QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
    win.Timer1_Timer();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QCOMPARE(rows(), (QStringList {QStringLiteral("b1:"), QStringLiteral("b2:")}));
}

void TestAudit::folderClickStoresWidthsOnly()
{
    touch(QStringLiteral("a"));
    frmMain &win = start();
    win.setColumnWidthTwips(2, 1995);
    touch(QStringLiteral("b"));
    Q_EMIT win.folderTree()->clickedFolder();
    QCOMPARE(SettingsStore().read(Setting::ColumnSize2), QStringLiteral("1995"));
    QCOMPARE(win.folderTree()->path(), m_dir->path());
    QCOMPARE(win.knownFiles().names(), QStringList {QStringLiteral("a")});
    QCOMPARE(rows(), QStringList {QStringLiteral("a:")});
}

void TestAudit::driveNotReady()
{
    touch(QStringLiteral("a"));
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    frmMain &win = start();
    const QString drive = win.driveSelector()->drive();
    touch(QStringLiteral("b"));
    for (const QString &notRoot : {m_dir->filePath(QStringLiteral("sub")), QStringLiteral("/no/such/volume")})
        QVERIFY(!win.driveSelector()->setDrive(notRoot));
    QCOMPARE(win.driveSelector()->drive(), drive);
    QCOMPARE(win.folderTree()->path(), m_dir->path());
    QCOMPARE(win.knownFiles().names(), QStringList {QStringLiteral("a")});
    QVERIFY(m_dialogs->asked.isEmpty());

    // Choosing the drive already shown is no change.
    Q_EMIT win.driveSelector()->activated(win.driveSelector()->currentIndex());
    QCOMPARE(win.folderTree()->path(), m_dir->path());

    // An entry whose volume has gone away since the list was read: its
    // mount folder is no drive.
    win.driveSelector()->addItem(m_dir->filePath(QStringLiteral("sub")));
    win.driveSelector()->setCurrentIndex(win.driveSelector()->count() - 1);
    win.Drive1_Change();
    QCOMPARE(win.folderTree()->path(), m_dir->path());
    QCOMPARE(win.knownFiles().names(), QStringList {QStringLiteral("a")});
    QVERIFY(m_dialogs->asked.isEmpty());

    // A ready drive moves the watch to its root and takes a new catalogue.
    QVERIFY(win.driveSelector()->setDrive(drive));
    QCOMPARE(win.folderTree()->path(), drive);
    QCOMPARE(win.file1().path(), drive);
    QVERIFY(!rows().join(QLatin1Char('\n')).contains(QStringLiteral(":New")));
}

QTEST_MAIN(TestAudit)
#include "tst_audit.moc"
