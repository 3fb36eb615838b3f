#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/Twips.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
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

    // The caption, the texts in their fonts, and a modeless box of fixed size.
    void texts()
    {
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
            QCOMPARE(label->font().pointSizeF(), l.points);
            QCOMPARE(label->font().bold(), l.bold);
            QCOMPARE(label->font().styleHint(), QFont::SansSerif);
        }
    }

    void closes_data()
    {
        QTest::addColumn<int>("key"); // 0: the OK button is clicked
        QTest::newRow("OK") << 0;
        QTest::newRow("Enter") << int(Qt::Key_Enter);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Esc") << int(Qt::Key_Escape);
    }

    // The box goes away on OK, Enter and Esc, and the command opens a new one.
    void closes()
    {
        QFETCH(int, key);

        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        win.mnuAbout_Click();
        QPointer<frmAbout> box = win.aboutBox();
        QVERIFY(box);
        QVERIFY(QTest::qWaitForWindowExposed(box));
        if (key == 0)
            QTest::mouseClick(box->findChild<QPushButton *>(QStringLiteral("cmdOK")), Qt::LeftButton);
        else
            QTest::keyClick(box, Qt::Key(key));
        QTRY_VERIFY(!box);
        QVERIFY(dialogs.asked.isEmpty());

        win.mnuAbout_Click();
        QVERIFY(win.aboutBox());
        QVERIFY(win.aboutBox()->isVisible());
    }

    // One box, opened again by the command, owned by no window: it stays when
    // the main window closes.
    void oneBoxWithoutOwner()
    {
        ScriptedDialogs dialogs;
        QPointer<frmAbout> box;
        {
            frmMain win(dialogs);
            win.show();
            win.findChild<QAction *>(QStringLiteral("mnuAbout"))->trigger();
            box = win.aboutBox();
            QVERIFY(box);
            QCOMPARE(box->parent(), nullptr);
            box->showMinimized();
            win.mnuAbout_Click();
            QCOMPARE(win.aboutBox(), box.data());
            QVERIFY(box->isVisible());
            QVERIFY(!box->isMinimized());

            dialogs.answers = {Dialogs::Answer::Yes};
            QVERIFY(win.close());
        }
        QVERIFY(box);
        QVERIFY(box->isVisible());
    }

    void captionsFit_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::newRow("DejaVu Sans 10") << "DejaVu Sans" << 10;
        QTest::newRow("DejaVu Sans 12") << "DejaVu Sans" << 12;
        QTest::newRow("Nimbus Sans 11") << "Nimbus Sans" << 11;
    }

    // Each caption fits its button with room on both sides; the buttons keep
    // their right edge.
    void captionsFit()
    {
        QFETCH(QString, family);
        QFETCH(int, points);

        // The desktop's font is the application's before the box is made.
        const QFont saved = QApplication::font();
        const auto restore = qScopeGuard([&] { QApplication::setFont(saved); });
        QApplication::setFont(QFont(family, points));
        ScriptedDialogs dialogs;
        frmAbout box(dialogs);
        auto *ok = box.findChild<QPushButton *>(QStringLiteral("cmdOK"));
        auto *sysInfo = box.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        const int right = Twips::toPixels(4260, box.logicalDpiX()) + Twips::toPixels(1245, box.logicalDpiX()) - 1;
        for (QPushButton *button : {ok, sysInfo}) {
            const int text = button->fontMetrics().horizontalAdvance(button->text().remove(QLatin1Char('&')));
            QVERIFY2(button->width() >= text + 12, qPrintable(button->objectName()));
            QCOMPARE(button->geometry().right(), right);
            QVERIFY(button->x() >= 0);
        }
    }

    void sysInfo_data()
    {
        QTest::addColumn<QStringList>("tools"); // each marks its start with a file "started-NAME"
        QTest::addColumn<QString>("started");

        QTest::newRow("tool on the search path")
            << QStringList {"bin/vardel-fake-info", "folder/vardel-fake-tool"} << "vardel-fake-info";
        QTest::newRow("none") << QStringList() << QString();
    }

    // Enter on the focused button starts the tool detached, or says that
    // none is there; the box stays open either way.
    void sysInfo()
    {
        QFETCH(QStringList, tools);
        QFETCH(QString, started);

        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("bin")) && QDir(dir.path()).mkpath(QStringLiteral("folder")));
        for (const QString &tool : tools) {
            QFile file(dir.filePath(tool));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n: > '"
                       + QFile::encodeName(dir.filePath(QStringLiteral("started-") + tool.section(QLatin1Char('/'), 1)))
                       + "'\n");
            file.close();
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        }
        const QByteArray savedPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(dir.filePath(QStringLiteral("bin"))));
        const auto restorePath = qScopeGuard([&] { qputenv("PATH", savedPath); });

        ScriptedDialogs dialogs;
        frmAbout box(dialogs);
        box.setSysInfoLocations({{QStringLiteral("vardel-fake-missing"), QStringLiteral("vardel-fake-info")},
                                 dir.filePath(QStringLiteral("folder")),
                                 QStringLiteral("vardel-fake-tool")});
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        auto *button = box.findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);

        const auto markers = [&] { return QDir(dir.path()).entryList({QStringLiteral("started-*")}, QDir::Files); };
        if (started.isEmpty()) {
            QCOMPARE(dialogs.messages().size(), 1);
            const Dialogs::Box msg = dialogs.messages().constFirst().box;
            QCOMPARE(msg.text, QStringLiteral("System Information Is Unavailable At This Time"));
            QCOMPARE(msg.title, QStringLiteral("Vardel"));
            QCOMPARE(msg.buttons, Dialogs::Buttons::Ok);
            QCOMPARE(msg.icon, Dialogs::Icon::NoIcon);
        } else {
            QVERIFY(dialogs.asked.isEmpty());
            QTRY_VERIFY_WITH_TIMEOUT(!markers().isEmpty(), 10000);
        }
        QCOMPARE(markers(), started.isEmpty() ? QStringList() : QStringList {QStringLiteral("started-") + started});
        QVERIFY(box.isVisible());
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
