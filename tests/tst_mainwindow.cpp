#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/Layout.h"
#include "app/frmMain.h"
#include "platform/Twips.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTest>
#include <QWindow>

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void menus_data();
    void menus();
    void popupNeverOnMenuBar();
    void layoutRules_data();
    void layoutRules();
    void resizeWindow();
    void exitQuestion_data();
    void exitQuestion();
    void unload_data();
    void unload();
    void nextStart();
    void storedMaximizedOpensMinimized();

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
    static int px(const frmMain &win, double twips) { return Twips::toPixels(twips, win.dpi()); }
    static double twips(const frmMain &win, int pixels) { return Twips::fromPixels(pixels, win.dpi()); }
};

void TestMainWindow::init()
{
    QFile::remove(TestSupport::settingsFile());
}

void TestMainWindow::menus_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("items"); // name, caption; "!" marks a disabled item

    QTest::newRow("File") << "mnuFile"
                          << "&File"
                          << QStringList {"mnuInitList &Init List", "mnuScanNet &Scan Network", "mnu1 -",
                                          "mnuExit E&xit"};
    QTest::newRow("Edit") << "mnuEdit"
                          << "&Edit"
                          << QStringList {"!mnuOpen &Open", "!mnuCopy &Copy", "mnu3 -", "!mnuDelete &Delete"};
    QTest::newRow("Option") << "mnuOption"
                            << "&Option" << QStringList {"mnuSetAuditTime &Set Audit Time"};
    QTest::newRow("Help") << "mnuHelp"
                          << "&Help" << QStringList {"mnuAbout About Me..."};
    QTest::newRow("pop-up") << "mPopupSys"
                            << "&SysTray"
                            << QStringList {"!mPopOpen &Open", "!mPopCopy &Copy", "mnu2 -", "!mPopDel &Delete"};
}

void TestMainWindow::menus()
{
    QFETCH(QString, menu);
    QFETCH(QString, title);
    QFETCH(QStringList, items);

    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    const auto *m = win.findChild<QMenu *>(menu);
    QVERIFY(m);
    QCOMPARE(m->title(), title);
    QStringList actual;
    for (const QAction *a : m->actions()) {
        QVERIFY2(a->shortcut().isEmpty() && !a->isCheckable(), qPrintable(a->text()));
        const QString caption = a->isSeparator() ? QStringLiteral("-") : a->text();
        actual << (a->isEnabled() || a->isSeparator() ? QString() : QStringLiteral("!")) + a->objectName()
                + QLatin1Char(' ') + caption;
    }
    QCOMPARE(actual, items);
}

void TestMainWindow::popupNeverOnMenuBar()
{
    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.Form_Load();
    QStringList bar;
    for (const QAction *a : win.menuBar()->actions())
        bar << a->text();
    QCOMPARE(bar, (QStringList {"&File", "&Edit", "&Option", "&Help"}));
    QVERIFY(!win.menuBar()->actions().contains(win.popupMenu()->menuAction()));
    QCOMPARE(win.popupMenu()->objectName(), QStringLiteral("mPopupSys"));
}

void TestMainWindow::layoutRules_data()
{
    QTest::addColumn<float>("height");
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("dir");
    QTest::addColumn<float>("listHeight");
    QTest::addColumn<float>("listWidth");
    QTest::addColumn<float>("viewTop");

    QTest::newRow("worked values") << 6000.f << 7000.f << 3690.f << 3885.f << 4420.f << 4605.f;
    QTest::newRow("just below the height threshold") << 4649.f << 7000.f << 2340.f << 2535.f << 4420.f << 3240.f;
    // The button sits under the list: 15 twips lower than its design top.
    QTest::newRow("at the height threshold") << 4650.f << 7000.f << 2340.f << 2535.f << 4420.f << 3255.f;
    QTest::newRow("1 twip narrower than the width threshold")
        << 6000.f << 5594.f << 3690.f << 3885.f << 3015.f << 4605.f;
    QTest::newRow("at the width threshold") << 6000.f << 5595.f << 3690.f << 3885.f << 3015.f << 4605.f;
    QTest::newRow("one past the width threshold") << 6000.f << 5596.f << 3690.f << 3885.f << 3016.f << 4605.f;
    QTest::newRow("minimized") << 0.f << 0.f << 2340.f << 2535.f << 3015.f << 3240.f;
}

void TestMainWindow::layoutRules()
{
    QFETCH(float, height);
    QFETCH(float, width);
    QFETCH(float, dir);
    QFETCH(float, listHeight);
    QFETCH(float, listWidth);
    QFETCH(float, viewTop);

    const MainLayout l = computeLayout(height, width);
    QCOMPARE(l.dirHeight, dir);
    QCOMPARE(l.listHeight, listHeight);
    QCOMPARE(l.listWidth, listWidth);
    QCOMPARE(l.viewTop, viewTop);
    QCOMPARE(l.viewWidth, listWidth);
    QCOMPARE(l.lineX1, width);
}

// The real window follows its size: 480 x 400 pixels are the 7200 x 6000
// twips of the worked values; nothing moves sideways.
void TestMainWindow::resizeWindow()
{
    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    if (win.dpi() != 96)
        QSKIP("the pixel values below are for 96 dpi");
    auto *dir = win.findChild<QWidget *>(QStringLiteral("Dir1"));
    auto *list = win.findChild<QWidget *>(QStringLiteral("lvwFile"));
    auto *view = win.findChild<QWidget *>(QStringLiteral("cmdView"));
    QVERIFY(dir && list && view);

    win.resize(QSize(480, 400) - (win.frameGeometry().size() - win.size()));
    QTRY_COMPARE(win.frameGeometry().size(), QSize(480, 400));
    QTRY_COMPARE(dir->geometry(), QRect(16, 72, dir->width(), 246));
    QCOMPARE(list->geometry(), QRect(144, 48, 308, 259));
    QCOMPARE(view->geometry(), QRect(144, 48 + 259, 308, 17));
}

void TestMainWindow::exitQuestion_data()
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
void TestMainWindow::exitQuestion()
{
    QFETCH(QString, how);
    QFETCH(bool, yes);

    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.Form_Load();
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

void TestMainWindow::unload_data()
{
    QTest::addColumn<Qt::WindowStates>("state");
    QTest::newRow("normal") << Qt::WindowStates(Qt::WindowNoState);
    QTest::newRow("maximized") << Qt::WindowStates(Qt::WindowMaximized);
    QTest::newRow("minimized") << Qt::WindowStates(Qt::WindowMinimized);
    // Still minimized, though it comes back maximized.
    QTest::newRow("minimized from maximized") << (Qt::WindowMinimized | Qt::WindowMaximized);
}

// What a confirmed exit writes: "Main" as the window state calls for, the
// rest always.
void TestMainWindow::unload()
{
    QFETCH(Qt::WindowStates, state);

    // What a previous normal close left.
    const QStringList mainKeys {"Top", "Left", "Width", "Height", "Window"};
    for (const QString &key : mainKeys)
        store(QStringLiteral("Main/") + key, QStringLiteral("-7"));

    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.Form_Load();
    win.setGeometry(45, 60, 420, 330);
    win.show();
    QVERIFY(QTest::qWaitForWindowExposed(&win));
    win.setWindowState(state);
    QTRY_COMPARE(win.windowState(), state);
    QVERIFY(win.setAuditInterval(12345));
    const double widths[] = {1500, 600, 450, 750, 900};
    for (int c = 1; c <= 5; ++c)
        win.setColumnWidthTwips(c, widths[c - 1]);
    const QRect frame = win.frameGeometry();

    dialogs.answers = {Dialogs::Answer::Yes};
    QVERIFY(win.Form_Unload());

    QStringList expectedMain {"-7", "-7", "-7", "-7", "-7"};
    if (state == Qt::WindowNoState) {
        const auto t = [&](int pixels) { return QString::number(twips(win, pixels)); };
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
        const QString width = QString::number(widths[c - 1]);
        if (c <= 4)
            QCOMPARE(stored(QStringLiteral("List View/Column%1").arg(c)).toString(), width);
        QCOMPARE(stored(QStringLiteral("FileList/ColumnSize%1").arg(c)).toString(), width);
    }
}

// A confirmed exit in the normal state, then a new start: the window comes
// back where it was, at its outer size, and closing it again stores the same.
void TestMainWindow::nextStart()
{
    ScriptedDialogs dialogs;
    QRect before;
    QString height;
    {
        frmMain first(dialogs);
        first.Form_Load();
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        first.setGeometry(75, 90, 450, 360);
        QTRY_COMPARE(first.geometry(), QRect(75, 90, 450, 360));
        before = first.frameGeometry();
        QVERIFY(first.close());
        height = stored("Main/Height").toString();
        QCOMPARE(height, QString::number(twips(first, before.height())));
    }

    frmMain next(dialogs);
    next.Form_Load();
    next.show();
    QVERIFY(QTest::qWaitForWindowExposed(&next));
    QTRY_COMPARE(next.frameGeometry(), before);
    QVERIFY(!next.isMinimized());
    QVERIFY(next.close());
    QCOMPARE(stored("Main/Height").toString(), height);
}

// A window closed maximized opens minimized, over the last normal geometry.
void TestMainWindow::storedMaximizedOpensMinimized()
{
    for (const auto &[key, value] :
         {std::pair {"Top", "1500"}, {"Left", "1200"}, {"Width", "7500"}, {"Height", "6000"}, {"Window", "2"}})
        store(QStringLiteral("Main/") + QLatin1String(key), QLatin1String(value));

    ScriptedDialogs dialogs;
    frmMain win(dialogs);
    win.Form_Load();
    QVERIFY(win.isMinimized());
    QVERIFY(!win.isMaximized());
    win.show();
    win.setWindowState(Qt::WindowNoState);
    QTRY_VERIFY(win.isVisible() && !win.isMinimized());
    QTRY_COMPARE(win.frameGeometry(), QRect(px(win, 1200), px(win, 1500), px(win, 7500), px(win, 6000)));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
