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
        return *m_win;
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

    void passSequence()
    {
        touch(QStringLiteral("known.txt"));
        frmMain &win = start();

        // A catalogued file that changed stays known; its row shows it as it is now.
        const QDateTime before = QDateTime::currentDateTime().addDays(-3);
        touch(QStringLiteral("known.txt"), QByteArray(5000, 'k'), before);
        win.Timer1_Timer();
        QVERIFY(m_dialogs->asked.isEmpty());
        QCOMPARE(rows(), QStringLiteral("known.txt:"));
        QCOMPARE(win.listModel()->row(0).size, qint64(5000));
        QCOMPARE(win.listModel()->row(0).mtime, before.toSecsSinceEpoch());
        QCOMPARE(win.listView()->toolTip(), QString());

        touch(QStringLiteral("n1.txt"));
        m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
            QCOMPARE(win.statusText(), QStringLiteral("Checking for new file..."));
            QCOMPARE(win.lastNewFiles(), QString());
            QCOMPARE(win.windowTitle(), title(1));
        };
        win.Timer1_Timer();
        m_dialogs->whileOpen = nullptr;
        QCOMPARE(told(), QStringList {found(1)});
        const Dialogs::Box box = m_dialogs->messages().constFirst().box;
        QVERIFY(box.title.startsWith(QStringLiteral("Vardel - ")));
        QVERIFY(QTime::fromString(box.title.mid(9), RowText::longTimeFormat(QLocale::system())).isValid());
        QCOMPARE(box.buttons, Dialogs::Buttons::Ok);
        QCOMPARE(box.icon, Dialogs::Icon::Information);
        QVERIFY(box.alert);
        QCOMPARE(win.windowIconName(), QStringLiteral("Lighton.ico"));
        QVERIFY(!win.windowIcon().isNull());
        QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));
        QCOMPARE(win.statusText(), QStringLiteral("Sleeping..."));
        win.Timer1_Timer(); // the same new file: the caption stays
        QCOMPARE(win.windowTitle(), title(1));

        touch(QStringLiteral("n2.txt"));
        win.Timer1_Timer();
        QCOMPARE(win.windowTitle(), title(2));
        QCOMPARE(win.lastNewFiles(), QStringLiteral("n1.txt/n2.txt"));

        setFolder(QStringLiteral("known.txt")); // all gone: quiet again
        win.Timer1_Timer();
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
        QVERIFY(!win.windowIcon().isNull());
        QCOMPARE(win.listView()->toolTip(), QStringLiteral("new file"));
    }

    void passes_data()
    {
        QTest::addColumn<QString>("catalogue");
        QTest::addColumn<QString>("passes"); // the folder's files at each pass, passes apart by ';'
        QTest::addColumn<QString>("rows"); // after the last pass
        QTest::addColumn<QString>("told"); // the counts in the boxes shown
        const auto row
            = [](const char *name, const char *catalogue, const char *passes, const char *rows, const char *told) {
                  QTest::newRow(name) << QString::fromLatin1(catalogue) << QString::fromLatin1(passes)
                                      << QString::fromLatin1(rows) << QString::fromLatin1(told);
              };
        row("renamed", "a.txt", "b.txt", "b.txt:New", "1");
        row("case only", "a.txt", "A.txt", "A.txt:New", "1");
        row("hidden", "a.txt", ".a.txt", "", "");
        row("same set again", "k", "k,n1;k,n1", "k:,n1:New", "1");
        row("grows and shrinks", "k", "k,n1;k,n1,n2;k,n1;k", "k:", "1,2,1");
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
        frmMain &win = start();
        for (const QString &files : passes.split(QLatin1Char(';'))) {
            setFolder(files);
            win.Timer1_Timer();
        }
        QCOMPARE(this->rows(), rows);
        QStringList texts;
        for (const QString &n : told.split(QLatin1Char(','), Qt::SkipEmptyParts))
            texts.append(found(n.toInt()));
        QCOMPARE(this->told(), texts);
    }

    void listingLeavesOutHiddenAndSpecial()
    {
        touch(QStringLiteral(".hidden"));
        touch(QStringLiteral("target.txt"));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("folder")));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath(QStringLiteral("fifo"))).constData(), 0600), 0);
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), m_dir->filePath(QStringLiteral("dangling"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("folder")), m_dir->filePath(QStringLiteral("folderlink"))));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("target.txt")), m_dir->filePath(QStringLiteral("link"))));
        start();
        QCOMPARE(rows(), QStringLiteral("link:,target.txt:"));
        QVERIFY(m_dialogs->asked.isEmpty());
    }

    void initListAndScanNow()
    {
        frmMain &win = start();
        touch(QStringLiteral("early.txt"));
        win.mnuInitList_Click(); // before any pass: never reported
        win.mnuScanNet_Click();
        QVERIFY(m_dialogs->asked.isEmpty());

        touch(QStringLiteral("late.txt"));
        win.mnuScanNet_Click(); // a pass at once
        QCOMPARE(told().size(), 1);

        win.mnuInitList_Click();
        QCOMPARE(rows(), QStringLiteral("early.txt:,late.txt:"));
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
        win.Timer1_Timer(); // the signature falls to empty: quiet, no box
        QCOMPARE(told().size(), 1);

        // A new file told, removed before a new catalogue and made again is
        // told again, although its signature is the one of the last pass.
        touch(QStringLiteral("back.txt"));
        win.Timer1_Timer();
        remove(QStringLiteral("back.txt"));
        win.mnuInitList_Click();
        touch(QStringLiteral("back.txt"));
        win.Timer1_Timer();
        QCOMPARE(told().size(), 3);
        QCOMPARE(win.windowTitle(), title(1));
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
            win.Timer1_Timer();
        } else {
            m_dialogs->answers = {exit ? Dialogs::Answer::Yes : Dialogs::Answer::No};
            QCOMPARE(win.Form_Unload(), exit == 1);
        }
        // The held tick runs once the box has closed, and only once.
        QTRY_COMPARE(this->rows(), rows);
        QCoreApplication::processEvents();
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
        QCOMPARE(m_win->driveSelector()->drive(), drive);
        QCOMPARE(m_win->folderTree()->path(), QDir::currentPath());
        QCOMPARE(m_win->file1().path(), QDir::currentPath());
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
        win.Timer1_Timer();
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
        QCOMPARE(win.folderTree()->path(), m_dir->path());
        QCOMPARE(rows(), QStringLiteral("a:,b:New"));
        QCOMPARE(m_dialogs->asked.size(), 1);

        // Another folder or a ready drive: a new catalogue, and quiet again.
        QTemporaryDir other;
        for (const char *name : {"b1", "b2"})
            QVERIFY(QFile(other.filePath(QLatin1String(name))).open(QIODevice::WriteOnly));
        QVERIFY(win.folderTree()->setPath(other.path()));
        QCOMPARE(win.file1().path(), other.path());
        QCOMPARE(rows(), QStringLiteral("b1:,b2:"));
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel"));
        QCOMPARE(win.windowIconName(), QStringLiteral("Eye.ico"));
        win.Timer1_Timer();
        QCOMPARE(told().size(), 1);
        QVERIFY(drives->setDrive(drive));
        QCOMPARE(win.folderTree()->path(), drive);
        QCOMPARE(win.file1().path(), drive);
        QVERIFY(!rows().contains(QStringLiteral(":New")));
    }
};

QTEST_MAIN(TestAudit)
#include "tst_audit.moc"
