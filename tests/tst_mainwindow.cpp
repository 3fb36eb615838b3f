// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/AppPath.h"
#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "platform/Twips.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QWindow>

#include <optional>

namespace {

using TestSupport::store, TestSupport::stored;

// Volumes told by a source of the test's own while it lives.
struct SourceSwap {
    Volumes::Source saved = Volumes::source();
    explicit SourceSwap(Volumes::Source source) { Volumes::setSource(std::move(source)); }
    ~SourceSwap() { Volumes::setSource(saved); }
};

// Mounts of a GNOME desktop with docker, lxd and snaps: the type and the device, and whether a file manager offers it.
const std::tuple<const char *, const char *, bool> kGnomeMounts[] {
    {"/", "ext4 /dev/nvme0n1p2", true},
    {"/home", "ext4 /dev/nvme0n1p3", true}, // the home's volume
    {"/boot/efi", "vfat /dev/nvme0n1p1", false},
    {"/run/user/1000/gvfs", "fuse.gvfsd-fuse gvfsd-fuse", false},
    {"/run/user/1000/doc", "fuse.portal portal", false},
    {"/snap/firefox/3836", "squashfs /dev/loop1", false},
    {"/var/lib/docker/overlay2/0f3a/merged", "overlay overlay", false},
    {"/var/snap/lxd/common/lxd/storage-pools/default", "btrfs /dev/loop2", false},
    {"/media/alice/Bob's STICK", "vfat /dev/sdb1", true},
    {"/run/media/alice/Backup", "ext4 /dev/sdc1", true},
    {"/run/media/bob/Photos", "ext4 /dev/sdd1", false},
    {"/mnt/nas", "cifs //nas/share", true},
    {"/mnt/wsl", "tmpfs none", false},
    {"/mnt/ram", "tmpfs tmpfs", false},
    {"/mnt/kernel", "ext4 none", false},
    {"/home/alice/remote", "fuse.sshfs alice@host:", true},
    {"/home/alice/.cache/doc", "fuse.portal portal", false}};

// The main window, loaded from the stored settings and, if asked, shown.
struct Loaded {
    ScriptedDialogs dialogs;
    frmMain win {dialogs};
    frmMain::Probe probe {win};

    bool load(bool visible = true) { return TestSupport::load(win, visible); }
};

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(TestSupport::settingsFile()); }

    void drives_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("offered");
        for (const auto &[root, type, offered] : kGnomeMounts)
            QTest::newRow(root) << QString::fromUtf8(root) << offered;
    }
    // A GNOME desktop's mount table, escaped blanks included: what a file manager offers, nothing that the system,
    // containers or sandboxes keep; the administrator sees every user's media.
    void drives()
    {
        QFETCH(QString, root);
        QByteArray table;
        for (const auto &[mounted, type, offered] : kGnomeMounts)
            table += "30 22 0:5 / " + QByteArray(mounted).replace(" ", "\\040").replace("'", "\\047") + " rw - " + type
                + (type[0] == 'e' ? "\n" : " rw\n"); // ext4's with no options after its device
        table += "37 22 0:6 / /typed rw - tmpfs\n36 22 8:4 / /cut rw -"; // ends in its type: no device; in "-": none
        const QList<Volumes::Mount> mounts = Volumes::mounts(table);
        QVERIFY(mounts.size() == qsizetype(std::size(kGnomeMounts)) + 1 && mounts.constLast().device.isEmpty());
        // Mounted at its root, not under it; a path's volume is the longest root above it, a whole name of it.
        QVERIFY(Volumes::isMounted(root, mounts) && !Volumes::isMounted(root + "/x", mounts));
        QCOMPARE(Volumes::rootOf(QDir::cleanPath(root + "/a b"), mounts), root);
        QVERIFY(root == "/" || Volumes::rootOf(root + "x/a", mounts) != root);
        QCOMPARE(mounts.constFirst().type + ' ' + mounts.constFirst().device, "ext4 /dev/nvme0n1p2");
        QTEST(Volumes::driveRoots(mounts, {"/home/alice", "alice"}).contains(root), "offered");
        QVERIFY(Volumes::driveRoots(mounts, {"/root", "root"}).contains("/run/media/bob/Photos"));
    }

    // Icon files: from the first folder (the program's, the executable's, the data folder, also found from the
    // executable's) where they read, every size; read once, at start in the folder then watched, the alert's too.
    void icons()
    {
        QTemporaryDir dirs[4];
        QVERIFY(TestSupport::writeFile(dirs[1].filePath("Eye.ico"), "not a picture"));
        QStringList folders, found;
        for (const QTemporaryDir &dir : dirs)
            folders << dir.path();
        QVERIFY(QFile::copy(qEnvironmentVariable("VARDEL_SOURCE_DIR") + "/resources/Eye.ico", folders[2] + "/Eye.ico"));
        QVERIFY(QImage(20, 20, QImage::Format_ARGB32).save(dirs[3].filePath("Eye.ico"), "ICO"));
        QVERIFY(QImage(24, 24, QImage::Format_ARGB32).save(dirs[3].filePath("Lighton.ico"), "ICO"));
        for (const QImage &picture : readIconFile(QStringLiteral("Eye.ico"), folders))
            found << QString::number(picture.width());
        QCOMPARE(found, (QStringList {"16", "32", "48"}));
        QVERIFY(readIconFile(QStringLiteral("Eye.ico"), folders.mid(0, 2)).isEmpty());
        const QStringList sought = iconFolders(QStringLiteral("/a/"), QStringLiteral("/opt/x/bin"));
        QCOMPARE(sought.mid(0, 2) << sought.last(), (QStringList {"/a/", "/opt/x/bin", "/opt/x/share/vardel"}));

        const auto back = qScopeGuard([working = QDir::currentPath()] { QDir::setCurrent(working); });
        QVERIFY(QDir::setCurrent(dirs[3].path()));
        Loaded w;
        QVERIFY(w.load(false) && w.probe.watch().folder() == dirs[3].path());
        QTRY_COMPARE(w.win.windowIcon().availableSizes(), QList<QSize> {QSize(20, 20)});
        QVERIFY(QFile::remove(dirs[3].filePath("Eye.ico")) && QFile::remove(dirs[3].filePath("Lighton.ico")));
        QVERIFY(TestSupport::writeFile(dirs[3].filePath("new.txt")));
        w.probe.CompareFile();
        QVERIFY(TestSupport::settle(w.probe.watch()));
        QCOMPARE(w.win.windowIcon().availableSizes(), QList<QSize> {QSize(24, 24)});
    }

    // One root, no hidden folders, names byte for byte, read again on reopen or refresh; refused paths, newer ones.
    void folderTree()
    {
        QTemporaryDir dir;
        for (const QByteArray name : {"a", "sub", ".hidden", "bad\xff"})
            QVERIFY(::mkdir((QFile::encodeName(dir.path()) + '/' + name).constData(), 0700) == 0);
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("sub")), dir.filePath(QStringLiteral("link")))); // a folder too
        const QString bad = FileNames::decode(QByteArray("bad\xff"));
        FolderTree tree;
        QSignalSpy changed(&tree, &FolderTree::changed);
        const auto answer = [&](const QString &path) {
            std::optional<bool> answered;
            tree.setPath(path, [&](bool accepted) { answered = accepted; });
            return QTest::qWaitFor([&] { return answered.has_value(); }, TestSupport::kWaitMs) && *answered;
        };
        QVERIFY(answer(dir.filePath(QStringLiteral("sub"))));
        const QAbstractItemModel *m = tree.model();
        QVERIFY(m->rowCount() == 1 && tree.folderPath(m->index(0, 0)) == "/");
        const QModelIndex parent = tree.currentIndex().parent();
        QCOMPARE(tree.folderPath(parent), dir.path());
        const auto children = [&] {
            QStringList names;
            for (int r = 0; r < m->rowCount(parent); ++r)
                names << m->index(r, 0, parent).data().toString();
            return names;
        };
        const auto marked = [&](const QString &name) {
            const int row = int(children().indexOf(name));
            return row >= 0 && m->index(row, 0, parent).data(Qt::FontRole).value<QFont>().bold();
        };
        QTRY_COMPARE(children(), (QStringList {"a", bad, "link", "sub"}));
        QVERIFY(m->hasChildren(m->index(0, 0, parent)) && m->canFetchMore(m->index(0, 0, parent))); // "a", unread
        QSignalSpy repainted(m, &QAbstractItemModel::dataChanged); // the mark moves in view
        QVERIFY(answer(dir.filePath(bad)));
        QStringList remarked;
        for (const QList<QVariant> &args : repainted)
            if (args[2].value<QList<int>>().contains(Qt::FontRole))
                remarked << args[0].toModelIndex().data().toString();
        QCOMPARE(remarked, (QStringList {"sub", bad}));
        QCOMPARE(tree.path(), dir.filePath(bad));
        // A file that could be searched, were it a folder, is no folder.
        QVERIFY(TestSupport::writeFile(dir.filePath(QStringLiteral("f"))));

        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("f")), QFile::ReadOwner | QFile::ExeOwner));
        for (const QString &refused : {dir.filePath(QStringLiteral("f")), dir.filePath(QStringLiteral("none")),
                                       QStringLiteral("sub"), QString()})
            QVERIFY(!answer(refused));
        QCOMPARE(changed.count(), 2);

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("b")));
        g_noTypes = true; // each entry looked at
        QSignalSpy inserted(m, &QAbstractItemModel::rowsInserted), removed(m, &QAbstractItemModel::rowsRemoved);
        const auto told = [&](const QSignalSpy &spy) {
            QList<int> rows;
            for (const QList<QVariant> &args : spy)
                if (args[0].toModelIndex().internalPointer() == parent.internalPointer())
                    rows << args[1].toInt() * 10 + args[2].toInt();
            return rows;
        };
        tree.collapse(parent);
        tree.expand(parent);
        QTRY_COMPARE(children(), (QStringList {"a", "b", bad, "link", "sub"}));
        g_noTypes = false;
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("a")) && QFile::remove(dir.filePath(QStringLiteral("link"))));
        QVERIFY(::rmdir(FileNames::encode(dir.filePath(bad)).constData()) == 0);
        tree.refresh();
        QTRY_COMPARE(children(), (QStringList {"b", bad, "sub"}));
        QVERIFY(told(inserted) == QList<int> {11} && told(removed) == QList<int>({33, 0})); // "b"; "link", "a"
        tree.setCurrentIndex(m->index(0, 0, parent));
        QVERIFY(marked(bad) && !marked(QStringLiteral("b")));

        // The first check is held until the second has been answered.
        auto latch = std::make_shared<TestSupport::Latch>();
        const SourceSwap swap(
            Volumes::Source {[plain = Volumes::source(), latch, calls = std::make_shared<std::atomic<int>>(0)] {
                                 if ((*calls)++ == 0)
                                     latch->wait();
                                 return plain.mountTable();
                             },
                             Volumes::source().isReady});
        tree.setPath(dir.path());
        QTRY_COMPARE(latch->entered.load(), 1);
        QVERIFY(answer(dir.filePath(QStringLiteral("sub"))));
        latch->open = true;
        QVERIFY(TestSupport::quiet() && tree.path() == dir.filePath(QStringLiteral("sub")));
        // The arrows move through the folders; Enter opens the one reached.
        for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Return})
            QTest::keyClick(&tree, key);
        QTRY_COMPARE(tree.path(), dir.filePath(QStringLiteral("b")));
        // Opening a folder reads it again.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("c")));
        tree.setCurrentIndex(tree.currentIndex().parent());
        QTest::keyClick(&tree, Qt::Key_Return);
        QTRY_COMPARE(children(), (QStringList {"b", "c", "sub"}));
        QVERIFY(answer(dir.filePath(QStringLiteral("sub"))) && tree.currentIndex().row() == 2); // after "c"
        QTest::keyClick(&tree, Qt::Key_Up); // to "c": taken in hand, a re-read leaves the row reached
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("b")));
        tree.refresh();
        QTRY_COMPARE(children(), (QStringList {"c", "sub"}));
        QCoreApplication::processEvents();
        QCOMPARE(tree.currentIndex().data().toString(), QStringLiteral("c"));
    }

    // Nothing waits on a stuck mount table (exit keeps the stored folder and drive) or a stuck volume, which is asked
    // once however many ticks come, and moves the tree only once it answers.
    void stuckVolumes()
    {
        const QString inHome = TestSupport::home().filePath(QStringLiteral("XXXXXX")); // where mounts are drives
        QTemporaryDir dir(inHome), other(inHome);
        store(QStringLiteral("Setting/Path"), dir.path());
        store(QStringLiteral("Setting/Driver"), dir.path());
        auto table = std::make_shared<TestSupport::Latch>(), volume = std::make_shared<TestSupport::Latch>();
        auto stuck = std::make_shared<std::atomic<bool>>(false);
        auto asked = std::make_shared<std::atomic<int>>(0);
        const QByteArray mounts = Volumes::source().mountTable() + "40 22 8:5 / " + QFile::encodeName(dir.path())
            + " rw - ext4 /dev/sdb1 rw\n41 22 8:6 / " + QFile::encodeName(other.path()) + " rw - nfs srv:/x rw\n";
        const SourceSwap swap(Volumes::Source {[=] {
                                                   table->wait();
                                                   return mounts;
                                               },
                                               [=, root = other.path()](const QString &asking) {
                                                   if (asking == root && *stuck) {
                                                       ++*asked;
                                                       volume->wait();
                                                   }
                                                   return true;
                                               }});
        {
            Loaded w;
            w.win.Form_Load();
            w.win.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w.win, TestSupport::kWaitMs));
            w.probe.RefreshFileLists();
            w.probe.RefreshFileLists();
            QVERIFY(w.probe.folderTree()->path().isEmpty());
            for (const char *item : {"mnuOpen", "mnuCopy", "mnuDelete", "mPopOpen", "mPopCopy", "mPopDel"})
                QVERIFY(!w.win.findChild<QAction *>(QLatin1String(item))->isEnabled()); // no file to act on yet
            w.dialogs.answers = {Dialogs::Answer::Yes};
            QVERIFY(w.probe.Form_Unload() && stored("Setting/Path").toString() == dir.path());
            QCOMPARE(stored("Setting/Driver").toString(), dir.path());
        }
        table->open = true;
        *stuck = true;
        Loaded w;
        QVERIFY(w.load() && w.probe.watch().folder() == dir.path());
        DriveSelector *drives = w.probe.driveSelector();
        QTRY_COMPARE(drives->count(), 2);
        QTRY_COMPARE(drives->drive(), dir.path());
        for (int i = 0; i < 3; ++i) {
            const int before = table->entered;
            w.probe.RefreshFileLists();
            QTRY_VERIFY(table->entered >= before + 3);
            QTRY_COMPARE(Background::busyCount(), 1); // each read told, the stuck volume's check left
        }
        // The volume's lane has room left: it was asked once.
        QObject probe;
        bool ran = false;
        Background::run(
            other.path(), &probe, [] {}, [&] { ran = true; });
        QTRY_VERIFY(ran);
        QCOMPARE(asked->load(), 1);

        volume->open = true;
        QTRY_COMPARE(drives->count(), 3);
        volume->open = false;
        drives->setCurrentIndex(drives->findText(other.path()));
        QTRY_COMPARE(asked->load(), 2);
        QCOMPARE(w.probe.folderTree()->path(), dir.path());
        volume->open = true;
        QTRY_COMPARE(w.probe.folderTree()->path(), other.path());
        QCOMPARE(w.probe.folderTree()->model()->rowCount(), 1); // the other volume's root alone
        // A drive the program asked for, checked late, does not take back the user's pick.
        drives->setCurrentIndex(drives->findText(dir.path()));
        volume->open = false;
        drives->setDrive(other.path());
        QTRY_COMPARE(asked->load(), 3);
        drives->setCurrentIndex(drives->findText(QStringLiteral("/")));
        volume->open = true;
        QVERIFY(TestSupport::quiet() && drives->drive() == "/" && !table->windowWaited && !volume->windowWaited);
    }

    // The folder tree has the focus first; Tab follows the design order, each control named for screen readers.
    void firstFocusAndTabs()
    {
        Loaded w;
        QVERIFY(w.load());
        w.win.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.win, TestSupport::kWaitMs));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(w.probe.folderTree()));
        // The date panel shows today before the status, which starts as "Sleeping..."; the title is bold.
        const auto *date = w.win.findChild<QLabel *>(QStringLiteral("datePanel"));
        QCOMPARE(date->text(), QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
        QVERIFY(date->isVisible() && date->geometry().right() < w.win.findChild<QLabel *>("statusPanel")->x()
                && date->width() >= Twips::toPixels(1100, w.probe.dpi())); // as wide as the design's, at least
        QVERIFY(w.win.findChild<QTimer *>(QStringLiteral("dateTimer"))->isActive()); // and follows the calendar
        QCOMPARE(w.probe.statusText(), QStringLiteral("Sleeping..."));
        // The title is bold and wholly seen, on the banner's lines.
        const auto *title = w.win.findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(title->font().bold() && title->width() >= title->sizeHint().width());
        QVERIFY(w.win.findChild<QWidget *>(QStringLiteral("Line3"))->geometry().contains(title->geometry()));
        QStringList cycle;
        for (int i = 0; i < 4 && QApplication::focusWidget(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *at = QApplication::focusWidget();
            while (at && !QStringList {"Dir1", "Drive1", "lvwFile", "cmdView"}.contains(at->objectName()))
                at = at->parentWidget();
            const QAccessibleInterface *a = QAccessible::queryAccessibleInterface(QApplication::focusWidget());
            cycle << (at ? at->objectName() : QString()) + ' ' + a->text(QAccessible::Name) + ' '
                    + a->text(QAccessible::Description).chopped(1).right(1); // the access key it tells of
        }
        QCOMPARE(cycle, (QStringList {"Drive1 Drive R", "lvwFile Files L", "cmdView View V", "Dir1 Folders T"}));
        // The panels' texts are their values and texts, the drive shown the selector's value, and the selector opens
        // its list. (Offscreen, Qt drops the events that announce a change: scripts/check-accessibility.sh hears them.)
        for (const char *name : {"statusPanel", "datePanel", "Drive1"}) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w.win.findChild<QWidget *>(name));
            QAccessibleTextInterface *t = a->textInterface();
            const QString shown = a->object()->property(t ? "text" : "currentText").toString();
            QVERIFY(!shown.isEmpty());
            QCOMPARE(a->text(QAccessible::Value) + (t ? t->text(1, 3) : shown.mid(1, 2)), shown + shown.mid(1, 2));
            QCOMPARE(t ? t->characterCount() : int(shown.size()), int(shown.size()));
        }
        QAccessibleInterface *drives = QAccessible::queryAccessibleInterface(w.probe.driveSelector());
        drives->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QTRY_VERIFY(drives->state().expandable && drives->state().expanded);
    }

    // A width the user dragged is stored by a tick, Init List and a folder's click, and stays through what follows.
    void widths()
    {
        store(QStringLiteral("List View/Column4"), 1500); // the last exit's, given once
        Loaded w;
        QVERIFY(w.load(false));
        QHeaderView *header = w.probe.listView()->header();
        int px = 100;
        for (const auto handler :
             {&frmMain::Probe::Timer1_Timer, &frmMain::Probe::mnuInitList_Click, &frmMain::Probe::Dir1_Click}) {
            header->resizeSection(3, ++px);
            (w.probe.*handler)();
            QVERIFY(TestSupport::settle(w.probe.watch()) && header->sectionSize(3) == px);
            QCOMPARE(stored("FileList/ColumnSize4").toFloat(), float(Twips::fromPixels(px, w.probe.dpi())));
        }
    }

    void storedGeometry_data()
    {
        QTest::addColumn<QString>("stored"); // "Key=twips,..." of section "Main"
        QTest::addColumn<QSize>("outer"); // twips; a side of 0 keeps its design value
        QTest::addColumn<bool>("resized"); // by the user before the frame was known, then back to the size it had
        QTest::newRow("place only") << "Top=6000" << QSize(0, 0) << false;
        QTest::newRow("width only, none high") << "Width=6000,Height=0" << QSize(6000, 0) << false;
        QTest::newRow("height only, less than none wide") << "Width=-15,Height=6000" << QSize(0, 6000) << false;
        QTest::newRow("resized meanwhile") << "Width=6000" << QSize(0, 0) << true;
        QTest::newRow("1 px wide") << "Width=15,Height=6000" << QSize(0, 0) << false;
        QTest::newRow("an inch wide") << "Width=1440,Height=6000" << QSize(1440, 6000) << false;
        QTest::newRow("an inch high") << "Width=6000,Height=1440" << QSize(6000, 1440) << false;
        QTest::newRow("off every screen") << "Left=300000,Top=300000,Width=6000,Height=6000" << QSize(0, 0) << false;
        QTest::newRow("a sliver on the screen") << "Left=-5900,Top=0,Width=6000,Height=6000" << QSize(0, 0) << false;
    }

    // Unstored sides keep their design value; no unusable geometry, nor the stored size over the user's.
    void storedGeometry()
    {
        QFETCH(QString, stored);
        QFETCH(QSize, outer);
        QFETCH(bool, resized);
        for (const QString &pair : stored.split(','))
            store(QStringLiteral("Main/") + pair.section('=', 0, 0), pair.section('=', 1));
        Loaded w;
        QSize design = w.win.size();
        QVERIFY(w.load(false) && !w.win.testAttribute(Qt::WA_Moved));
        if (resized)
            w.win.resize((design = w.win.size()) - QSize(10, 10));
        w.win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w.win, TestSupport::kWaitMs));
        const QSize frame = w.win.frameGeometry().size() - w.win.size();
        QVERIFY(!frame.isNull());
        if (resized)
            w.win.resize(design), QCoreApplication::processEvents();
        const auto px = [&](int twips) { return Twips::toPixels(twips, w.probe.dpi()); };
        QTRY_COMPARE(w.win.width(), outer.width() ? px(outer.width()) - frame.width() : design.width());
        QTRY_COMPARE(w.win.height(), outer.height() ? px(outer.height()) - frame.height() : design.height());
        // A layout made before the frame was known is made again once the window moves.
        const QSize tree = w.probe.folderTree()->size();
        w.probe.forgetLayout(), w.probe.folderTree()->resize(1, 1);
        w.win.move(w.win.pos() + QPoint(1, 1));
        QVERIFY((QCoreApplication::processEvents(), w.probe.folderTree()->size() == tree)); // at once, not by a timer
    }

    void exit_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<Qt::WindowStates>("state");

        QTest::newRow("E&xit, No") << "E&xit" << false << Qt::WindowStates(Qt::WindowNoState);
        QTest::newRow("window system, normal") << "window system" << true << Qt::WindowStates(Qt::WindowNoState);
        QTest::newRow("close(), maximized") << "close()" << true << Qt::WindowStates(Qt::WindowMaximized);
        QTest::newRow("minimized from maximized") << "close()" << true << (Qt::WindowMaximized | Qt::WindowMinimized);
    }
    // Every close asks; No writes nothing. The next start has the last normal geometry; maximized opens minimized.

    void exit()
    {
        QFETCH(QString, how);
        QFETCH(bool, yes);
        QFETCH(Qt::WindowStates, state);

        // What a previous close left: maximized before a normal window, minimized before a minimized one, else normal.
        const QStringList mainKeys {"Top", "Left", "Width", "Height", "Window"};
        const QString window = state == Qt::WindowNoState ? "2" : QString::number(int(state & Qt::WindowMinimized));
        const QStringList before {"1500", "1200", "7500", "6000", window};
        for (int i = 0; i < mainKeys.size(); ++i)
            store(QStringLiteral("Main/") + mainKeys[i], before[i]);

        Loaded w;
        QVERIFY(w.load());
        w.win.setGeometry(45, 60, 420, 330);
        w.win.setWindowState(state);
        QTRY_COMPARE(w.win.windowState(), state);
        w.probe.setAuditInterval(12345);
        for (int c = 1; c <= 5; ++c)
            w.probe.setColumnWidthTwips(c, 300 * c);
        const QRect frame = w.win.frameGeometry();
        const DriveSelector *drives = w.probe.driveSelector();
        QTRY_VERIFY(!drives->drive().isEmpty() && drives->keptDrive() == drives->drive());
        w.dialogs.answers = {yes ? Dialogs::Answer::Yes : Dialogs::Answer::No};
        if (how == QLatin1String("E&xit"))
            w.win.findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
        else if (how == QLatin1String("close()"))
            w.win.close();
        else
            w.win.windowHandle()->close();
        QCoreApplication::processEvents();

        QCOMPARE(w.dialogs.boxes(), QStringList {"Exiting Warning...|Are you sure you want to exit program?"});
        const Dialogs::Box box = w.dialogs.messages().constFirst().box;
        QVERIFY(box.buttons == Dialogs::Buttons::YesNo && box.defaultAnswer == Dialogs::Answer::Yes);
        QCOMPARE(w.win.isVisible(), !yes);
        if (!yes) {
            QVERIFY(stored("Setting/Audit Timeout").isNull());
            return;
        }

        const auto px = [&](double twips) { return Twips::toPixels(twips, w.probe.dpi()); };
        QStringList expectedMain = before;
        QRect expectedFrame(px(1200), px(1500), px(7500), px(6000));
        if (state == Qt::WindowNoState) {
            const auto t = [&](int pixels) { return QString::number(Twips::fromPixels(pixels, w.probe.dpi())); };
            expectedMain = {t(frame.top()), t(frame.left()), t(frame.width()), t(frame.height()), "0"};
            expectedFrame = frame;
        } else if (!(state & Qt::WindowMinimized)) {
            expectedMain.last() = QStringLiteral("2");
        }
        QStringList actualMain;
        for (const QString &key : mainKeys)
            actualMain << stored(QStringLiteral("Main/") + key).toString();
        QCOMPARE(actualMain, expectedMain);
        QVERIFY(stored("Setting/Path") == w.probe.folderTree()->path() && stored("Setting/Driver") == drives->drive());
        QCOMPARE(stored("Setting/Audit Timeout").toString(), QStringLiteral("12345"));
        for (int c = 1; c <= 5; ++c) {
            if (c <= 4)
                QCOMPARE(stored(QStringLiteral("List View/Column%1").arg(c)).toInt(), 300 * c);
            QCOMPARE(stored(QStringLiteral("FileList/ColumnSize%1").arg(c)).toInt(), 300 * c);
        }

        Loaded next;
        QVERIFY(next.load(false) && next.win.isMinimized() == (expectedMain.last() != "0") && !next.win.isMaximized());
        next.win.show();
        next.win.setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(next.win.isVisible() && !next.win.isMinimized());
        QTRY_COMPARE(next.win.frameGeometry(), expectedFrame);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
