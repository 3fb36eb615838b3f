#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/Background.h"

#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One modeless, fixed, ownerless box, raised again when minimized, closed on Esc;
    // Enter on the focused System Info presses it, which tells only of a missing tool.
    void box()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.mnuAbout_Click();
        QPointer<frmAbout> box = win.aboutBox();
        QVERIFY(box && QTest::qWaitForWindowExposed(box));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Vardel"));
        QCOMPARE(box->parent(), nullptr);
        QVERIFY(!box->isModal());
        QCOMPARE(box->minimumSize(), box->maximumSize());
        box->showMinimized();
        win.mnuAbout_Click();
        const frmAbout *again = win.aboutBox();
        QCOMPARE(again, box.data());
        QVERIFY(again->isVisible() && !again->isMinimized());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box);
        win.mnuAbout_Click();
        box = win.aboutBox();
        const auto gone = qScopeGuard([&box] { delete box.data(); }); // it has no owner
        QVERIFY(box && QTest::qWaitForWindowActive(box));

        box->setSysInfoLocations({{QStringLiteral("vardel-no-such-tool")},
                                  QStringLiteral("/nonexistent"),
                                  QStringLiteral("vardel-no-such-tool")});
        auto *sysInfo = box->findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QTRY_COMPARE(dialogs.messages().size(), 1); // and none on closing
        const Dialogs::Box msg = dialogs.messages().constFirst().box;
        QCOMPARE(msg.title + QLatin1Char('|') + msg.text,
                 QStringLiteral("Vardel|System Information Is Unavailable At This Time"));
        QVERIFY(msg.buttons == Dialogs::Buttons::Ok && msg.icon == Dialogs::Icon::NoIcon && box->isVisible());
        box->setSysInfoLocations({{}, QStringLiteral("/usr/bin"), QStringLiteral("true")}); // one that starts
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(Background::busyCount(), 0, 20000);
        QCoreApplication::processEvents();
        QCOMPARE(dialogs.messages().size(), 1);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
