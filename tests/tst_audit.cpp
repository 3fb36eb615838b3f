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
#include <QItemSelectionModel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

#include <sys/stat.h>

// Replies are written with "." whatever the machine's locale.
static void vardelAuditLocale()
{
    qputenv("LC_ALL", "C.UTF-8");
}
Q_CONSTRUCTOR_FUNCTION(vardelAuditLocale)

static QString found(int n)
{
    return QStringLiteral(" #%1 New File/s were found!      ").arg(n);
}

static QString title(int n)
{
    return QStringLiteral("Vardel - #%1 New File/s were found....").arg(n);
}

class TestAudit : public QObject
{
    Q_OBJECT

    const QString m_startDir = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<frmMain> m_win;

    void touch(const QString &name, const QByteArray &data = "x", const QDateTime &mtime = {}) const
    {
        QFile file(m_dir->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush());
        if (mtime.isValid())
            QVERIFY(file.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    void remove(const QString &name) const { QVERIFY(QFile::remove(m_dir->filePath(name))); }
    // Leaves the folder holding just these files (names apart by ',').
    void setFolder(const QString &names) const
    {
        const QStringList wanted = names.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString &name : QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden))
            if (!wanted.contains(name))
                remove(name);
        for (const QString &name : wanted)
            if (!QFile::exists(m_dir->filePath(name)))
                touch(name);
    }
    // The main window after start-up, watching the temporary folder.
    frmMain &start()
    {
        SettingsStore().write(Setting::Path, m_dir->path());
        m_win = std::make_unique<frmMain>(*m_dialogs);
        m_win->Form_Load();
        settle();
        return *m_win;
    }
    void settle() const { QVERIFY(TestSupport::settle(m_win->watch())); }
    void tick() const
    {
        m_win->Timer1_Timer();
        settle();
    }
    QStringList selected() const
    {
        QStringList out;
        for (const QModelIndex &index : m_win->listView()->selectionModel()->selectedRows())
            out.append(m_win->listModel()->row(index.row()).name);
        return out;
    }
    // The rows as "name:status,name:status".
    QString rows() const
    {
        QStringList out;
        const FileListModel *model = m_win->listModel();
        for (int i = 0; i < model->rowCount(); ++i)
            out.append(model->text(i, FileListModel::NameColumn) + QLatin1Char(':')
                       + model->text(i, FileListModel::StatusColumn));
        return out.join(QLatin1Char(','));
    }
    // The texts of every message box shown so far.
    QStringList told() const
    {
        QStringList out;
        for (const ScriptedDialogs::Asked &a : m_dialogs->messages())
            out.append(a.box.text);
        return out;
    }

private Q_SLOTS:
    void init()
    {
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vardel"), QStringLiteral("Vardel"))
            .clear();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }

    void cleanup()
    {
        m_win.reset();
        m_dialogs.reset();
        QDir::setCurrent(m_startDir);
    }

    // The window shows what the watch tells: caption, icon, tooltip, status
    // and the alert box, whose texts and kind are the program's own.
    void showsTheWatch()
    {
        touch(QStringLiteral("known.txt"));
        frmMain &win = start();
        QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));
        QCOMPARE(win.listView()->toolTip(), QString());
        touch(QStringLiteral("n1.txt"));
        m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
            QCOMPARE(win.statusText(), QStringLiteral("Checking for new file..."));
            QCOMPARE(win.windowTitle(), title(1));
        };
        tick();
        m_dialogs->whileOpen = nullptr;
        QCOMPARE(told(), QStringList {found(1)});
        const Dialogs::Box box = m_dialogs->messages().constFirst().box;
        QVERIFY(box.title.startsWith(QStringLiteral("Vardel - ")));
        QVERIFY(QTime::fromString(box.title.mid(9), RowText::longTimeFormat(QLocale::system())).isValid());
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(box.icon, Dialogs::Icon::Information);
        QVERIFY(box.alert);
        QCOMPARE(rows(), QStringLiteral("known.txt:,n1.txt:New"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Lighton.ico"));
        QVERIFY(!win.windowIcon().isNull());
        QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));
        QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));

        remove(QStringLiteral("n1.txt")); // all gone: quiet again
        tick();
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
        QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));

        QVERIFY(QDir(m_dir->path()).removeRecursively());
        tick();
        QCOMPARE(win.statusText(), QStringLiteral("Folder not available: ") + m_dir->path());
    }

    // The rows the user picked stay picked across a pass while their files
    // are there, and Open, Copy and Delete follow what is left.
    void selectionSurvivesPass()
    {
        setFolder(QStringLiteral("a,b,c"));
        frmMain &win = start();
        QItemSelectionModel *selection = win.listView()->selectionModel();
        for (int row : {1, 2})
            selection->select(win.listModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        win.lvwFile_Click();
        auto *open = win.findChild<QAction *>(QStringLiteral("mnuOpen"));
        QVERIFY(open && open->isEnabled());
        setFolder(QStringLiteral("0,a,b"));
        tick();
        QCOMPARE(selected(), QStringList {QStringLiteral("b")});
        QVERIFY(open->isEnabled());
        setFolder(QStringLiteral("0,a"));
        tick();
        QCOMPARE(selected(), QStringList());
        QVERIFY(!open->isEnabled());
    }

    void tickHeldWhileBoxOpen_data()
    {
        QTest::addColumn<int>("exit"); // -1: the box is an alert, else the answer to the exit question
        QTest::addColumn<QString>("rows");
        QTest::newRow("alert") << -1 << QStringLiteral("one:New,two:New");
        QTest::newRow("exit refused") << 0 << QStringLiteral("two:New");
        QTest::newRow("exit chosen") << 1 << QString(); // no pass and no alert follow
    }

    void tickHeldWhileBoxOpen()
    {
        QFETCH(int, exit);
        QFETCH(QString, rows);
        frmMain &win = start();
        bool opened = false;
        m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
            if (std::exchange(opened, true))
                return;
            touch(QStringLiteral("two"));
            win.Timer1_Timer();
            win.mnuScanNet_Click();
            QCOMPARE(m_dialogs->asked.size(), 1); // no pass beneath the box
            QCOMPARE(this->rows(), exit < 0 ? QStringLiteral("one:New") : QString());
        };
        if (exit < 0) {
            touch(QStringLiteral("one"));
            tick();
        } else {
            m_dialogs->answers = {exit ? Dialogs::Answer::Yes : Dialogs::Answer::No};
            QCOMPARE(win.Form_Unload(), exit == 1);
        }
        // The held tick runs once the box has closed, and only once.
        settle();
        QCOMPARE(this->rows(), rows);
        QCOMPARE(m_dialogs->asked.size(), rows.isEmpty() ? 1 : 2);
        if (exit < 0)
            QCOMPARE(told(), (QStringList {found(1), found(2)}));
    }

    void periodDialog_data()
    {
        QTest::addColumn<int>("period");
        QTest::addColumn<QStringList>("replies"); // none: Cancel
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("expected");
        QTest::newRow("30") << 60000 << QStringList {QStringLiteral("30")} << QStringLiteral("60") << 30000;
        QTest::newRow("1.5") << 60000 << QStringList {QStringLiteral("1.5")} << QStringLiteral("60") << 1500;
        QTest::newRow("1500 shows 2") << 1500 << QStringList {QStringLiteral("2")} << QStringLiteral("2") << 2000;
        QTest::newRow("2500 shows 2, cancel") << 2500 << QStringList {} << QStringLiteral("2") << 2500;
        QTest::newRow("65535 shows 66, refused")
            << 65535 << QStringList {QStringLiteral("66")} << QStringLiteral("66") << 65535;
        QTest::newRow("65.535") << 60000 << QStringList {QStringLiteral("65.535")} << QStringLiteral("60") << 65535;
        QTest::newRow("65.536") << 60000 << QStringList {QStringLiteral("65.536")} << QStringLiteral("60") << 60000;
        QTest::newRow("0.0004 stops") << 60000 << QStringList {QStringLiteral("0.0004")} << QStringLiteral("60") << 0;
        QTest::newRow("restart from 0") << 0 << QStringList {QStringLiteral("5")} << QStringLiteral("0") << 5000;
        QTest::newRow("empty") << 60000 << QStringList {QString()} << QStringLiteral("60") << 60000;
        QTest::newRow("abc") << 60000 << QStringList {QStringLiteral("abc")} << QStringLiteral("60") << 60000;
        QTest::newRow("0") << 60000 << QStringList {QStringLiteral("0")} << QStringLiteral("60") << 60000;
    }

    void periodDialog()
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

    void periodReplyInUserLocale()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        const auto ms = [&](const char *reply) { return AuditPeriod::fromReply(QLatin1String(reply), german); };
        QCOMPARE(ms("1,5"), 1500);
        QCOMPARE(ms("65,535"), 65535);
        QCOMPARE(ms("65,536"), std::nullopt);
        QCOMPARE(ms("1.5"), 1500);
    }

    void storedAuditTimeout_data()
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

    void storedAuditTimeout()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        SettingsStore().write(Setting::AuditTimeout, stored);
        QCOMPARE(start().auditInterval(), expected);
    }

    void storedDriveAndFolderMissing()
    {
        // Not found: the watch stays on the working directory, the drive as it was.
        touch(QStringLiteral("here.txt"));
        QVERIFY(QDir::setCurrent(m_dir->path()));
        SettingsStore().write(Setting::Driver, QStringLiteral("/no/such/volume"));
        SettingsStore().write(Setting::Path, m_dir->filePath(QStringLiteral("gone")));
        m_win = std::make_unique<frmMain>(*m_dialogs);
        const QString drive = m_win->driveSelector()->drive();
        m_win->Form_Load();
        settle();
        QCOMPARE(m_win->driveSelector()->drive(), drive);
        QCOMPARE(m_win->folderTree()->path(), QDir::currentPath());
        QCOMPARE(m_win->watch().folder(), QDir::currentPath());
        QCOMPARE(rows(), QStringLiteral("here.txt:"));
        QCOMPARE(m_win->appPath(), QDir::currentPath() + QLatin1Char('/'));
        QVERIFY(m_dialogs->asked.isEmpty());
    }

    void appPath_data()
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

    void appPath()
    {
        QFETCH(QString, workingDirectory);
        QFETCH(QString, expected);
        QCOMPARE(appPathFor(workingDirectory), expected);
    }

    // A click on the folder shown only stores the column widths; a drive that
    // is not ready, or the one already shown, leaves the watch as it was.
    void changingTheWatch()
    {
        touch(QStringLiteral("a"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
        frmMain &win = start();
        DriveSelector *drives = win.driveSelector();
        const QString drive = drives->drive();
        touch(QStringLiteral("b"));
        tick();
        win.setColumnWidthTwips(2, 1995);
        Q_EMIT win.folderTree()->clickedFolder();
        QCOMPARE(SettingsStore().read(Setting::ColumnSize2), QStringLiteral("1995"));
        for (const QString &notRoot : {m_dir->filePath(QStringLiteral("sub")), QStringLiteral("/no/such/volume")})
            QVERIFY(!drives->setDrive(notRoot));
        QCOMPARE(drives->drive(), drive);
        Q_EMIT drives->activated(drives->currentIndex());
        // An entry whose volume has gone since the list was read: its mount folder is no drive.
        drives->addItem(m_dir->filePath(QStringLiteral("sub")));
        drives->setCurrentIndex(drives->count() - 1);
        win.Drive1_Change();
        settle();
        QCOMPARE(win.folderTree()->path(), m_dir->path());
        QCOMPARE(rows(), QStringLiteral("a:,b:New"));
        QCOMPARE(m_dialogs->asked.size(), 1);

        // Another folder or a ready drive: a new catalogue, and quiet again.
        QTemporaryDir other;
        for (const char *name : {"b1", "b2"})
            QVERIFY(QFile(other.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        QVERIFY(win.folderTree()->setPath(other.path()));
        settle();
        QCOMPARE(win.watch().folder(), other.path());
        QCOMPARE(rows(), QStringLiteral("b1:,b2:"));
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
        tick();
        QCOMPARE(told().size(), 1);
        QVERIFY(drives->setDrive(drive));
        settle();
        QCOMPARE(win.folderTree()->path(), drive);
        QCOMPARE(win.watch().folder(), drive);
        QVERIFY(!rows().contains(QStringLiteral(":New")));
    }
};

QTEST_MAIN(TestAudit)
#include "tst_audit.moc"
