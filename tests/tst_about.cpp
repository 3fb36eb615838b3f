#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/Twips.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A box without owner outlives its test.
    void cleanup()
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            delete qobject_cast<frmAbout *>(w);
    }

    void looks_data()
    {
        QTest::addColumn<QString>("family"); // the desktop's font
        QTest::addColumn<int>("points");
        QTest::newRow("DejaVu Sans 12") << "DejaVu Sans" << 12;
        QTest::newRow("Nimbus Sans 11") << "Nimbus Sans" << 11;
    }

    // The caption, the texts in their own fonts, a modeless box of fixed
    // size; each button caption fits in the desktop's font with room on both
    // sides, and the buttons keep their right edge.
    void looks()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        const QFont saved = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(saved); });
        QApplication::setFont(QFont(family, points));
        ScriptedDialogs dialogs;
        frmAbout box(dialogs);
        QCOMPARE(box.windowTitle(), QStringLiteral("About Vardel"));
        QVERIFY(!box.isModal());
        QCOMPARE(box.minimumSize(), box.maximumSize());
        const struct {
            const char *name, *text;
            qreal points;
            bool bold;
        } labels[] = {
            {"lblTitle", "Vardel", 18, true},
            {"lblVersion", "Version 1.0.0", 12, true},
            {"lblDescription", "The Vardel Utility scans directory to detect changes in files.", 12, false},
        };
        for (const auto &l : labels) {
            const auto *label = box.findChild<QLabel *>(QLatin1String(l.name));
            QVERIFY2(label, l.name);
            QCOMPARE(label->text(), QString::fromLatin1(l.text));
            QVERIFY(label->font().pointSizeF() == l.points && label->font().bold() == l.bold);
        }
        const int right = Twips::toPixels(4260, box.logicalDpiX()) + Twips::toPixels(1245, box.logicalDpiX()) - 1;
        for (const char *name : {"cmdOK", "cmdSysInfo"}) {
            const QPushButton *button = box.findChild<QPushButton *>(QLatin1String(name));
            QVERIFY2(button, name);
            const int text = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
            QVERIFY2(button->width() >= text + 12 && button->x() >= 0, name);
            QCOMPARE(button->geometry().right(), right);
        }
    }

    void closes_data()
    {
        QTest::addColumn<int>("key"); // 0: the OK button is clicked
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    // The command shows one box, owned by no window, and brings it back when
    // minimized; the box goes away on OK, Enter and Esc, and the command then
    // opens a new one.
    void closes()
    {
        QFETCH(int, key);
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.mnuAbout_Click();
        QPointer<frmAbout> box = win.aboutBox();
        QVERIFY(box && QTest::qWaitForWindowExposed(box));
        QCOMPARE(box->parent(), nullptr);
        box->showMinimized();
        win.mnuAbout_Click();
        const frmAbout *again = win.aboutBox();
        QCOMPARE(again, box.data());
        QVERIFY(again->isVisible() && !again->isMinimized());

        if (key == 0)
            QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        else
            QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(!box);
        QVERIFY(dialogs.asked.isEmpty());
        win.mnuAbout_Click();
        QVERIFY(win.aboutBox() && win.aboutBox()->isVisible());
    }

    // Enter on the focused System Info button presses it, not OK: with no
    // tool anywhere it says so, and the box stays; a tool that starts is
    // not told about.
    void sysInfoUnavailable()
    {
        ScriptedDialogs dialogs;
        frmAbout box(dialogs);
        box.setSysInfoLocations({{QStringLiteral("vardel-no-such-tool")},
                                 QStringLiteral("/nonexistent"),
                                 QStringLiteral("vardel-no-such-tool")});
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        auto *button = box.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(dialogs.messages().size(), 1);
        const Dialogs::Box msg = dialogs.messages().constFirst().box;
        QCOMPARE(msg.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(msg.title, QStringLiteral("Vardel"));
        QVERIFY(msg.buttons == Dialogs::Buttons::Ok && msg.icon == Dialogs::Icon::NoIcon);
        QVERIFY(box.isVisible());

        box.setSysInfoLocations({{}, QStringLiteral("/usr/bin"), QStringLiteral("true")}); // one that starts
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(dialogs.messages().size(), 1);
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
