// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "actions/FileCopier.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "audit/FileListing.h"
#include "filelist/RowText.h"

#include <QApplication>
#include <QProgressBar>
#include <QScrollBar>

#include <utility>

static QString found(int n)
{
    return QStringLiteral(" #%1 New File/s were found!      ").arg(n);
}

class TestAudit : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir; // the watched folder
    std::unique_ptr<QTemporaryDir> m_dest;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<frmMain> m_win;
    frmMain::Probe probe() const { return {*m_win}; }

    static QString root() { return TestSupport::home().path(); }
    static QByteArray opened() { return TestSupport::readFile(TestSupport::openedMarker()).split('|').value(0); }
    void touch(const QString &name) const { QVERIFY(QFile(m_dir->filePath(name)).open(QIODevice::WriteOnly)); }
    // The main window after start-up, watching the temporary folder.
    frmMain &start()
    {
        SettingsStore().write(Setting::Path, m_dir->path());
        m_win = std::make_unique<frmMain>(*m_dialogs);
        m_win->Form_Load();
        settle();
        return *m_win;
    }
    void settle() const { QVERIFY(TestSupport::settle(probe().watch())); }
    void tick() const { probe().Timer1_Timer(), settle(); }
    QStringList selected() const { return TestSupport::selected(*probe().listView()); }
    void select(const QString &name) const { TestSupport::select(*probe().listView(), name); }
    QString rows() const { return TestSupport::rows(*probe().listModel()); }
    QStringList told() const { return m_dialogs->boxes(false); } // the message boxes' texts

private Q_SLOTS:
    void initTestCase() { QVERIFY(TestSupport::fakeDesktop()); }

    void init()
    {
        QFile::remove(TestSupport::settingsFile());
        QFile::remove(TestSupport::openedMarker());
        m_dir = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/work-XXXXXX"));
        m_dest = std::make_unique<QTemporaryDir>(root() + QStringLiteral("/dest-XXXXXX"));
        QVERIFY(m_dir->isValid() && m_dest->isValid());
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }

    void cleanup()
    {
        m_win.reset();
        m_dialogs.reset();
        // rm takes names that are not UTF-8, which QDir cannot.
        QProcess::execute(
            QStringLiteral("rm"),
            {QStringLiteral("-rf"), m_dir->path(), m_dir->path() + QStringLiteral("-new"), m_dest->path()});
    }

    // The window shows what the watch tells: caption, icon, tooltip, status and the alert box. Picked rows stay picked
    // across a pass while their files are there, and the file commands follow what is left.
    void showsTheWatch()
    {
        touch(QStringLiteral("known.txt"));
        frmMain &win = start();
        touch(QStringLiteral("n1.txt"));
        m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
            QCOMPARE(probe().statusText(), QStringLiteral("Checking for new file..."));
            QCOMPARE(win.windowTitle(), QStringLiteral("Vardel - #1 New File/s were found...."));
        };
        tick();
        m_dialogs->whileOpen = nullptr;
        QCOMPARE(told(), QStringList {found(1)});
        const Dialogs::Box box = m_dialogs->messages().constFirst().box;
        QVERIFY(box.title.startsWith(QStringLiteral("Vardel - ")));
        QVERIFY(QTime::fromString(box.title.mid(9), RowText::longTimeFormat(QLocale::system())).isValid());
        QVERIFY(box.buttons == Dialogs::Buttons::Ok && box.icon == Dialogs::Icon::Information && box.alert);
        QCOMPARE(rows(), QStringLiteral("known.txt:,n1.txt:New"));
        QCOMPARE(probe().windowIconName(), QStringLiteral("Lighton.ico"));
        QCOMPARE(probe().listView()->toolTip(), QStringLiteral("new file"));
        QCOMPARE(probe().statusText(), QStringLiteral("Sleeping..."));

        select(QStringLiteral("known.txt"));
        select(QStringLiteral("n1.txt"));
        probe().lvwFile_Click();
        auto *open = win.findChild<QAction *>(QStringLiteral("mnuOpen"));
        QVERIFY(open && open->isEnabled() && QFile::remove(m_dir->filePath(QStringLiteral("n1.txt"))));
        touch(QStringLiteral("a.txt"));
        tick();
        QVERIFY(selected() == QStringList {QStringLiteral("known.txt")} && open->isEnabled());
        QVERIFY(QDir(m_dir->path()).removeRecursively() && QDir().mkdir(m_dir->path())); // all gone: quiet again
        probe().mnuScanNet_Click(), settle(); // File > Scan Network passes at once
        QVERIFY(selected().isEmpty() && !open->isEnabled() && win.windowTitle() == QStringLiteral("Vardel"));
        QCOMPARE(probe().windowIconName(), QStringLiteral("Eye.ico"));

        QVERIFY(QDir(m_dir->path()).removeRecursively());
        tick();
        QCOMPARE(probe().statusText(), QStringLiteral("Folder not available: ") + m_dir->path());
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
        start();
        bool opened = false;
        m_dialogs->whileOpen = [&](const ScriptedDialogs::Asked &) {
            if (std::exchange(opened, true))
                return;
            touch(QStringLiteral("two"));
            probe().Timer1_Timer();
            probe().mnuScanNet_Click();
            QVERIFY(TestSupport::quiet()); // a real box turns the event loop
            QCOMPARE(m_dialogs->asked.size(), 1); // no pass beneath the box
            QCOMPARE(this->rows(), exit < 0 ? QStringLiteral("one:New") : QString());
        };
        if (exit < 0) {
            touch(QStringLiteral("one"));
            tick();
        } else {
            m_dialogs->answers = {exit ? Dialogs::Answer::Yes : Dialogs::Answer::No};
            QCOMPARE(probe().Form_Unload(), exit == 1);
        }
        // The held tick runs once the box has closed, and only once.
        settle();
        QCOMPARE(this->rows(), rows);
        QCOMPARE(m_dialogs->asked.size(), rows.isEmpty() ? 1 : 2);
        if (exit < 0)
            QCOMPARE(told(), (QStringList {found(1), found(2)}));
    }

    // Told changes go in place: selection, current row and scroll position stay, no reset, the new file told.
    void changesInPlace()
    {
        for (int i = 0; i < 300; ++i)
            touch(QStringLiteral("f%1").arg(i, 3, 10, QLatin1Char('0')));
        frmMain &win = start();
        probe().watch().setSourceOpener([](const QString &) { return std::make_unique<ChangeSource>(); });
        tick();
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        QAbstractItemView *view = probe().listView()->currentView();
        select(QStringLiteral("f150"));
        select(QStringLiteral("f151"));
        view->selectionModel()->setCurrentIndex(probe().listModel()->index(151, 0), QItemSelectionModel::NoUpdate);
        view->scrollTo(probe().listModel()->index(140, 0), QAbstractItemView::PositionAtTop);
        const int scrolled = view->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        int resets = 0;
        connect(probe().listModel(), &QAbstractItemModel::modelReset, this, [&] { ++resets; });
        touch(QStringLiteral("e-new"));
        QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("f010"))));
        QVERIFY(TestSupport::writeFile(m_dir->filePath(QStringLiteral("f151")), QByteArray(4000, 'x')));
        for (const char *name : {"e-new", "f010", "f151"})
            probe().watch().source()->tell(ChangeSource::Modified, name);
        tick();
        QCOMPARE(resets, 0);
        QCOMPARE(selected(), (QStringList {QStringLiteral("f150"), QStringLiteral("f151")}));
        QCOMPARE(probe().listModel()->name(view->currentIndex().row()), QStringLiteral("f151"));
        QCOMPARE(probe().listModel()->text(view->currentIndex().row(), FileListModel::SizeColumn), QStringLiteral("4"));
        QCOMPARE(view->verticalScrollBar()->value(), scrolled);
        QCOMPARE(rows().left(12), QStringLiteral("e-new:New,f0"));
        QVERIFY(probe().listModel()->rowCount() == 300 && told() == QStringList {found(1)});
        // A full pass finds the current row again by its name.
        probe().mnuInitList_Click();
        settle();
        QCOMPARE(probe().listModel()->name(view->currentIndex().row()), QStringLiteral("f151"));
        // A list that lost its rows takes no changes: the folder is listed in full.
        probe().listModel()->clear();
        touch(QStringLiteral("e-new2"));
        probe().watch().source()->tell(ChangeSource::Created, "e-new2");
        tick();
        QCOMPARE(probe().listModel()->rowCount(), 301);
    }

    void folderChange_data()
    {
        QTest::addColumn<bool>("whileAsked");
        QTest::newRow("delete pressed right after choosing") << false;
        QTest::newRow("the folder changed while delete asked") << true;
    }

    // Init List keeps the selection. Another folder takes the old rows, selection and file commands away at once,
    // while it is checked and listed; a question answered after the list moved on deletes nothing.
    void folderChange()
    {
        QFETCH(bool, whileAsked);
        touch(QStringLiteral("a.txt"));
        frmMain &win = start();
        select(QStringLiteral("a.txt"));
        probe().lvwFile_Click();
        probe().mnuInitList_Click();
        settle();
        QCOMPARE(selected(), QStringList {QStringLiteral("a.txt")});
        auto latch = std::make_shared<TestSupport::Latch>();
        probe().watch().setLister([latch](const QString &folder, RowTable &rows) {
            latch->wait();
            return FileListing::list(folder, rows);
        });
        const auto listing = [&] { // the old rows gone, the new ones still being listed
            QTRY_COMPARE(probe().watch().folder(), m_dest->path());
            QVERIFY(probe().listModel()->rowCount() == 0 && probe().listModel()->folder().isEmpty());
            QVERIFY(!win.findChild<QAction *>(QStringLiteral("mnuDelete"))->isEnabled());
        };
        const auto choose = [&](const ScriptedDialogs::Asked &) {
            probe().folderTree()->setPath(m_dest->path());
            if (whileAsked)
                listing();
        };
        whileAsked ? void(m_dialogs->whileOpen = choose) : choose({});
        probe().mnuDelete_Click();
        listing();
        // The pointer tells that the folder is being listed, until it is.
        const auto pointer
            = [] { return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : -1; };
        QTRY_COMPARE(pointer(), int(Qt::BusyCursor));
        latch->open = true;
        settle();
        QVERIFY(pointer() == -1 && selected().isEmpty() && probe().listModel()->folder() == m_dest->path());
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("a.txt"))));
        QCOMPARE(told().filter(QStringLiteral("a.txt")).size(), whileAsked ? 1 : 0);
    }

    // The stored period is read at start; the dialog offers whole seconds and sets the reply without storing it.
    void periodDialog()
    {
        SettingsStore().write(Setting::AuditTimeout, QStringLiteral("1500"));
        start();
        QCOMPARE(probe().auditInterval(), 1500);
        m_dialogs->replies = {QStringLiteral("2.5")};
        probe().mnuSetAuditTime_Click();
        QVERIFY(probe().auditInterval() == 2500 && m_dialogs->asked.size() == 1);
        const ScriptedDialogs::Asked asked = m_dialogs->asked.constFirst();
        QCOMPARE(asked.box.title + '|' + asked.prompt + '|' + asked.defaultText,
                 QStringLiteral("Audit time setting...|Please enter audit timeout in sec:|2"));
        QCOMPARE(SettingsStore().read(Setting::AuditTimeout), QStringLiteral("1500"));
    }

    void namesThatBite_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("decoy"); // a name the file must not be taken for
        QTest::newRow("newline") << QByteArray("two\nlines.txt") << QByteArray("two");
        QTest::newRow("percent") << QByteArray("100%.txt") << QByteArray("100%25.txt");
        QTest::newRow("invalid UTF-8") << QByteArray("bad\xff\xfe.txt") << QByteArray("bad\xfe\xff.txt");
        QTest::newRow("255 bytes, Cyrillic") << QByteArray("\xd0\xb6").repeated(125) + "n.txt" << QByteArray();
    }

    // One row of its own; open, copy and delete act on exactly its bytes, spare the decoy, and act in the folder the
    // rows were listed from, not the watch's next one nor none; the catalogue does not follow to the other folder.
    void namesThatBite()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, decoy);
        const QString dir = m_dir->path(), file = FileNames::decode(name);
        QByteArrayList files {"other.txt=other", name + '=' + name};
        QVERIFY(TestSupport::writeFile(dir + "/other.txt", "other") && TestSupport::writeFile(dir + '/' + file, name));
        if (!decoy.isEmpty()) {
            QVERIFY(TestSupport::writeFile(dir + '/' + FileNames::decode(decoy), "decoy"));
            files.append(decoy + "=decoy");
        }
        const auto listed = [this](const QByteArray &bytes) {
            return rows().split(QLatin1Char(',')).contains(FileNames::decode(bytes) + QLatin1Char(':'));
        };

        start();
        QVERIFY(listed(name) && (decoy.isEmpty() || listed(decoy)));
        QCOMPARE(probe().listModel()->rowCount(), files.size());
        select(file);
        const QString shown = probe().listModel()->folder();
        probe().listModel()->setSource({});
        probe().mnuOpen_Click();
        probe().mnuCopy_Click();
        probe().mnuDelete_Click();
        QVERIFY(m_dialogs->asked.isEmpty());
        probe().listModel()->setSource(shown);
        const QString other = dir + "-new";
        QVERIFY(TestSupport::writeFile(other + '/' + file, "new"));
        probe().watch().setFolder(other);

        probe().mnuOpen_Click();
        QTRY_COMPARE(opened(), FileNames::encode(dir + '/' + file));
        m_dialogs->replies = {m_dest->path() + '/' + file};
        probe().mnuCopy_Click();
        QTRY_VERIFY(!probe().isCopying());
        QCOMPARE(TestSupport::entries(m_dest->path()), QByteArrayList {name + '=' + name});
        m_dialogs->answers = {Dialogs::Answer::Yes};
        probe().mnuDelete_Click();
        QTRY_VERIFY(!listed(name));
        settle();
        files.removeOne(name + '=' + name);
        std::sort(files.begin(), files.end());
        QCOMPARE(TestSupport::entries(dir), files);
        QVERIFY(!listed(name) && (decoy.isEmpty() || listed(decoy)));
        QVERIFY(TestSupport::entries(other) == QByteArrayList {name + "=new"} && m_dialogs->messages().size() == 1);
    }

    // Open and Copy ask about each file still being written, No by default and skipping it; complete, nothing.
    void arrivingAsked()
    {
        start();
        probe().watch().setClock([] { return QDateTime::currentMSecsSinceEpoch(); });
        probe().mnuInitList_Click();
        settle();
        touch(QStringLiteral("a.txt"));
        touch(QStringLiteral("b.txt"));
        tick();
        select(QStringLiteral("a.txt"));
        select(QStringLiteral("b.txt"));
        const auto asked = [](const QString &name, const QString &verb) {
            return QStringLiteral("File Still Arriving|%1 is still being written. %2 it anyway?").arg(name, verb);
        };
        m_dialogs->reset();
        m_dialogs->answers = {Dialogs::Answer::No};
        probe().mnuOpen_Click();
        m_dialogs->answers = {Dialogs::Answer::Yes, Dialogs::Answer::No};
        probe().mnuCopy_Click();
        QCOMPARE(m_dialogs->boxes(),
                 QStringList(
                     {asked("a.txt", "Open"), asked("b.txt", "Open"), asked("a.txt", "Copy"), asked("b.txt", "Copy")}));
        QCOMPARE(m_dialogs->messages().constFirst().box.defaultAnswer, Dialogs::Answer::No);
        QCOMPARE(m_dialogs->asked.constLast().defaultText, QStringLiteral("a.txt")); // the copy's file dialog
        QVERIFY(!QFile::exists(TestSupport::openedMarker()));
        m_dialogs->answers = {Dialogs::Answer::No, Dialogs::Answer::Yes};
        probe().mnuOpen_Click();
        QTRY_COMPARE(opened(), QFile::encodeName(m_dir->filePath(QStringLiteral("b.txt"))));
        tick(); // unchanged for a pass: complete
        m_dialogs->reset();
        probe().mnuCopy_Click();
        QCOMPARE(m_dialogs->asked.size(), 1);
        QCOMPARE(m_dialogs->asked.constFirst().defaultText, QStringLiteral("a.txt; b.txt"));
    }

    // While a copy runs the status names it, its bar comes after a moment with the share written, and no pass runs;
    // a delete takes its rows out at once, leaves the status to the copy, and its catalogue is not held back.
    void whileCopying()
    {
        QVERIFY(TestSupport::writeFile(m_dir->filePath("a.txt"), QByteArray(1000, 'a'))
                && TestSupport::writeFile(m_dir->filePath("b.txt"), QByteArray(3000, 'b')));
        touch(QStringLiteral("g1.dat"));
        start();
        TestSupport::Latch latch; // for the second file
        probe().copier()->setCopy([&latch](const QString &from, const QString &to, FileOps::CopyMonitor *monitor) {
            return (!from.endsWith("b.txt") || (latch.wait(), true)) && FileOps::copyFile(from, to, monitor);
        });
        const auto *bar = m_win->findChild<QProgressBar *>(QStringLiteral("copyProgress"));
        QCOMPARE(bar->accessibleName(), QStringLiteral("Copy progress")); // what a screen reader says of it
        select(QStringLiteral("a.txt"));
        select(QStringLiteral("b.txt"));
        m_dialogs->replies = {m_dest->filePath(QStringLiteral("a.txt; b.txt"))};
        probe().mnuCopy_Click();
        QCoreApplication::processEvents();
        QVERIFY(bar->isHidden());
        QTRY_VERIFY(!bar->isHidden() && probe().statusText() == QStringLiteral("Copying b.txt..."));
        QTRY_COMPARE((bar->value() - bar->minimum()) * 4, bar->maximum() - bar->minimum()); // a quarter of the bytes
        touch(QStringLiteral("n1.txt"));
        probe().Timer1_Timer();
        probe().listView()->selectionModel()->clear();
        select(QStringLiteral("g1.dat"));
        m_dialogs->answers = {Dialogs::Answer::Yes};
        probe().mnuDelete_Click();
        QTRY_COMPARE(rows(), QStringLiteral("a.txt:,b.txt:,n1.txt:"));
        m_dialogs->replies = {m_dest->path()}; // nothing selected to copy
        probe().mnuCopy_Click();
        QCOMPARE(probe().statusText(), QStringLiteral("Copying b.txt..."));
        QVERIFY(told().size() == 1 && probe().isCopying());

        latch.open = true;
        QTRY_VERIFY(!probe().isCopying());
        settle();
        QVERIFY(bar->isHidden() && rows().contains(QStringLiteral("n1.txt")));
        QCOMPARE(TestSupport::entries(m_dest->path()).size(), 2);
        for (const int bytes : {1, 0}) {
            Q_EMIT probe().copier()->progress(bytes, bytes);
            QCOMPARE(bar->value(), bytes ? bar->maximum() : bar->minimum());
        }
    }
};

QTEST_MAIN(TestAudit)
#include "tst_audit.moc"
