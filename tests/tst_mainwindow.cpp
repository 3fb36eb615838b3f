#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/Layout.h"
#include "app/frmMain.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    static QVariant stored(const QString &key)
    {
        return QSettings(TestSupport::settingsFile(), QSettings::IniFormat).value(key);
    }
    static void store(const QString &key, const QString &value)
    {
        QSettings s(TestSupport::settingsFile(), QSettings::IniFormat);
        s.setValue(key, value);
    }

private Q_SLOTS:
    void init() { QFile::remove(TestSupport::settingsFile()); }

    void menus_data()
    {
        // Name and caption of the menu, then of each item; "!" marks a disabled item.
        QTest::addColumn<QStringList>("items");
        QTest::newRow("File") << QStringList {"mnuFile &File", "mnuInitList &Init List", "mnuScanNet &Scan Network",
                                              "mnu1 -", "mnuExit E&xit"};
        QTest::newRow("Edit") << QStringList {"mnuEdit &Edit", "!mnuOpen &Open", "!mnuCopy &Copy", "mnu3 -",
                                              "!mnuDelete &Delete"};
        QTest::newRow("Option") << QStringList {"mnuOption &Option", "mnuSetAuditTime &Set Audit Time"};
        QTest::newRow("Help") << QStringList {"mnuHelp &Help", "mnuAbout About Me..."};
        QTest::newRow("pop-up") << QStringList {"mPopupSys &SysTray", "!mPopOpen &Open", "!mPopCopy &Copy", "mnu2 -",
                                                "!mPopDel &Delete"};
    }

    // No item has a shortcut or a check mark.
    void menus()
    {
        QFETCH(QStringList, items);
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        const auto *m = win.findChild<QMenu *>(items.constFirst().section(QLatin1Char(' '), 0, 0));
        QVERIFY(m);
        QStringList actual {m->objectName() + QLatin1Char(' ') + m->title()};
        for (const QAction *a : m->actions()) {
            QVERIFY2(a->shortcut().isEmpty() && !a->isCheckable(), qPrintable(a->text()));
            actual << (a->isEnabled() || a->isSeparator() ? QString() : QStringLiteral("!")) + a->objectName()
                    + QLatin1Char(' ') + (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(actual, items);
    }

    void popupNeverOnMenuBar()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.Form_Load();
        TestSupport::settle(win.watch());
        QStringList bar;
        for (const QAction *a : win.menuBar()->actions())
            bar << a->text();
        QCOMPARE(bar, (QStringList {"&File", "&Edit", "&Option", "&Help"}));
    }

    void layoutRules_data()
    {
        QTest::addColumn<float>("height");
        QTest::addColumn<float>("width");
        QTest::addColumn<QList<float>>("expected"); // dir height, list height, list width, view top

        QTest::newRow("worked values") << 6000.f << 7000.f << QList<float> {3690, 3885, 4420, 4605};
        QTest::newRow("just below the height threshold") << 4649.f << 7000.f << QList<float> {2340, 2535, 4420, 3240};
        // The button sits under the list: 15 twips lower than its design top.
        QTest::newRow("at the height threshold") << 4650.f << 7000.f << QList<float> {2340, 2535, 4420, 3255};
        QTest::newRow("at the width threshold") << 6000.f << 5595.f << QList<float> {3690, 3885, 3015, 4605};
        QTest::newRow("one past the width threshold") << 6000.f << 5596.f << QList<float> {3690, 3885, 3016, 4605};
        QTest::newRow("minimized") << 0.f << 0.f << QList<float> {2340, 2535, 3015, 3240};
    }

    void layoutRules()
    {
        QFETCH(float, height);
        QFETCH(float, width);
        QFETCH(QList<float>, expected);

        const MainLayout l = computeLayout(height, width);
        QCOMPARE((QList<float> {l.dirHeight, l.listHeight, l.listWidth, l.viewTop, l.viewWidth, l.lineX1}),
                 expected + QList<float>({expected[2], width}));
    }

    // The real window follows its size: 480 x 400 pixels are the 7200 x 6000
    // twips of the worked values; nothing moves sideways.
    void resizeWindow()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        if (win.dpi() != 96)
            QSKIP("the pixel values below are for 96 dpi");
        const auto at = [&](const char *name) { return win.findChild<QWidget *>(QLatin1String(name))->geometry(); };
        win.resize(QSize(480, 400) - (win.frameGeometry().size() - win.size()));
        QTRY_COMPARE(win.frameGeometry().size(), QSize(480, 400));
        QTRY_COMPARE(at("Dir1"), QRect(16, 72, at("Dir1").width(), 246));
        QCOMPARE(at("lvwFile"), QRect(144, 48, 308, 259));
        QCOMPARE(at("cmdView"), QRect(144, 48 + 259, 308, 17));

        // Too narrow for both status panels: the text is clipped, not drawn over the date.
        win.resize(100, 300);
        QTRY_COMPARE(win.width(), 100);
        QTRY_VERIFY(!at("datePanel").intersects(at("statusPanel")));
    }

    // The bold title is as tall as its font, from its design left edge and bottom.
    void bannerTitle()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        const auto *title = win.findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(title);
        const auto px = [&](double twips) { return Twips::toPixels(twips, win.dpi()); };
        QVERIFY(title->height() >= QFontMetrics(title->font()).height());
        QVERIFY(title->y() >= 0 && title->y() + title->height() <= px(635) + 1);
        QCOMPARE(title->x(), px(755));
    }

    // The folder tree has the focus first; Tab follows the design order.
    void tabOrder()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.show();
        win.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&win));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(win.folderTree()));
        const auto control = [](QWidget *w) {
            while (w && !QStringList {"Dir1", "Drive1", "lvwFile", "cmdView"}.contains(w->objectName()))
                w = w->parentWidget();
            return w ? w->objectName() : QString();
        };
        QStringList cycle;
        for (int i = 0; i < 4 && QApplication::focusWidget(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            cycle << control(QApplication::focusWidget());
        }
        QCOMPARE(cycle, (QStringList {"Drive1", "lvwFile", "cmdView", "Dir1"}));
    }

    // The volume's root is the one top row and can be watched again; new and
    // removed folders show once the tree is refreshed; the watched folder
    // stays marked when another is selected and when it is removed.
    void folderTree()
    {
        QTemporaryDir dir;
        for (const char *name : {"a", "sub", ".hidden"})
            QVERIFY(QDir(dir.path()).mkdir(QLatin1String(name)));
        FolderTree tree;
        QVERIFY(tree.setPath(dir.filePath(QStringLiteral("sub"))));
        const QAbstractItemModel *m = tree.model();
        const QModelIndex top = m->index(0, 0);
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(tree.folderPath(top), QStorageInfo(dir.path()).rootPath());
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
        QTRY_COMPARE(children(), (QStringList {"a", "sub"}));

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("b")));
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("a")));
        QVERIFY(QDir(dir.path()).rmdir(QStringLiteral("sub")));
        tree.refresh();
        QTRY_COMPARE(children(), (QStringList {"b", "sub"}));
        tree.setCurrentIndex(m->index(0, 0, parent));
        QVERIFY(marked(QStringLiteral("sub")) && !marked(QStringLiteral("b")));

        tree.setCurrentIndex(top);
        QTest::keyClick(&tree, Qt::Key_Return);
        QCOMPARE(tree.path(), QStorageInfo(dir.path()).rootPath());
    }

    void exitQuestion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("yes");

        for (const char *how : {"E&xit", "close()", "window system"}) {
            QTest::addRow("%s, No", how) << QString::fromLatin1(how) << false;
            QTest::addRow("%s, Yes", how) << QString::fromLatin1(how) << true;
        }
    }

    // Every way of closing asks the same question; No keeps the window open and
    // writes nothing.
    void exitQuestion()
    {
        QFETCH(QString, how);
        QFETCH(bool, yes);

        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.Form_Load();
        TestSupport::settle(win.watch());
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        dialogs.answers = {yes ? Dialogs::Answer::Yes : Dialogs::Answer::No};

        if (how == QLatin1String("E&xit"))
            win.findChild<QAction *>(QStringLiteral("mnuExit"))->trigger();
        else if (how == QLatin1String("close()"))
            win.close();
        else
            win.windowHandle()->close();
        QCoreApplication::processEvents();

        QCOMPARE(dialogs.messages().size(), 1);
        const Dialogs::Box box = dialogs.messages().constFirst().box;
        QCOMPARE(box.text, QStringLiteral("Are you sure you want to exit program?"));
        QCOMPARE(box.title, QStringLiteral("Exiting Warning..."));
        QCOMPARE(box.buttons, Dialogs::Buttons::YesNo);
        QCOMPARE(box.icon, Dialogs::Icon::Warning);
        QCOMPARE(box.defaultAnswer, Dialogs::Answer::Yes);

        QCOMPARE(win.isVisible(), !yes);
        QCOMPARE(QFile::exists(TestSupport::settingsFile()), yes);
    }

    void unload_data()
    {
        QTest::addColumn<Qt::WindowStates>("state");
        QTest::newRow("normal") << Qt::WindowStates(Qt::WindowNoState);
        QTest::newRow("maximized") << Qt::WindowStates(Qt::WindowMaximized);
        QTest::newRow("minimized") << Qt::WindowStates(Qt::WindowMinimized);
        // Still minimized, though it comes back maximized.
        QTest::newRow("minimized from maximized") << (Qt::WindowMinimized | Qt::WindowMaximized);
    }

    // What a confirmed exit writes: "Main" as the window state calls for, the
    // rest always; and what the next start makes of it.
    void unload()
    {
        QFETCH(Qt::WindowStates, state);

        // What a previous normal close left.
        const QStringList mainKeys {"Top", "Left", "Width", "Height", "Window"};
        for (const QString &key : mainKeys)
            store(QStringLiteral("Main/") + key, QStringLiteral("-7"));

        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.Form_Load();
        TestSupport::settle(win.watch());
        win.setGeometry(45, 60, 420, 330);
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        win.setWindowState(state);
        QTRY_COMPARE(win.windowState(), state);
        QVERIFY(win.setAuditInterval(12345));
        for (int c = 1; c <= 5; ++c)
            win.setColumnWidthTwips(c, 300 * c);
        const QRect frame = win.frameGeometry();

        dialogs.answers = {Dialogs::Answer::Yes};
        QVERIFY(win.Form_Unload());

        QStringList expectedMain(5, QStringLiteral("-7"));
        if (state == Qt::WindowNoState) {
            const auto t = [&](int pixels) { return QString::number(Twips::fromPixels(pixels, win.dpi())); };
            expectedMain = {t(frame.top()), t(frame.left()), t(frame.width()), t(frame.height()), "0"};
        } else if (state == Qt::WindowStates(Qt::WindowMaximized)) {
            expectedMain.last() = QStringLiteral("2");
        }
        QStringList actualMain;
        for (const QString &key : mainKeys)
            actualMain << stored(QStringLiteral("Main/") + key).toString();
        QCOMPARE(actualMain, expectedMain);

        QCOMPARE(stored("Setting/Path").toString(), win.folderTree()->path());
        QCOMPARE(stored("Setting/Driver").toString(), win.driveSelector()->drive());
        QVERIFY(!win.driveSelector()->drive().isEmpty());
        QCOMPARE(stored("Setting/Audit Timeout").toString(), QStringLiteral("12345"));
        for (int c = 1; c <= 5; ++c) {
            if (c <= 4)
                QCOMPARE(stored(QStringLiteral("List View/Column%1").arg(c)).toInt(), 300 * c);
            QCOMPARE(stored(QStringLiteral("FileList/ColumnSize%1").arg(c)).toInt(), 300 * c);
        }
        if (state != Qt::WindowNoState)
            return;
        // The next start puts the window back where it was, at its outer size.
        frmMain next(dialogs);
        next.Form_Load();
        TestSupport::settle(next.watch());
        next.show();
        QVERIFY(QTest::qWaitForWindowExposed(&next));
        QTRY_COMPARE(next.frameGeometry(), frame);
        QVERIFY(!next.isMinimized());
    }

    void partialGeometry_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("place only") << QStringList {"Top", "Left"};
        QTest::newRow("width only") << QStringList {"Width"};
        QTest::newRow("height only") << QStringList {"Height"};
    }

    // What is not stored keeps its design value, the client size above all.
    void partialGeometry()
    {
        QFETCH(QStringList, keys);
        for (const QString &key : keys)
            store(QStringLiteral("Main/") + key, QStringLiteral("6000"));
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        const QSize design = win.size();
        win.Form_Load();
        win.show();
        QVERIFY(QTest::qWaitForWindowExposed(&win));
        const int stored = Twips::toPixels(6000, win.dpi());
        const QSize frame = win.frameGeometry().size() - win.size();
        QVERIFY(!frame.isNull());
        QTRY_COMPARE(win.width(), keys.contains("Width") ? stored - frame.width() : design.width());
        QTRY_COMPARE(win.height(), keys.contains("Height") ? stored - frame.height() : design.height());
    }

    // A window closed maximized opens minimized, over the last normal geometry.
    void storedMaximizedOpensMinimized()
    {
        for (const auto &[key, value] :
             {std::pair {"Top", "1500"}, {"Left", "1200"}, {"Width", "7500"}, {"Height", "6000"}, {"Window", "2"}})
            store(QStringLiteral("Main/") + QLatin1String(key), QLatin1String(value));

        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.Form_Load();
        TestSupport::settle(win.watch());
        QVERIFY(win.isMinimized());
        QVERIFY(!win.isMaximized());
        win.show();
        win.setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(win.isVisible() && !win.isMinimized());
        const auto px = [&](double twips) { return Twips::toPixels(twips, win.dpi()); };
        QTRY_COMPARE(win.frameGeometry(), QRect(px(1200), px(1500), px(7500), px(6000)));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
