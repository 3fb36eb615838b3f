// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "about/frmAbout.h"
#include "app/frmMain.h"
#include "platform/SysInfo.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>

class TestAbout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One modeless, fixed, ownerless box, raised again when minimized, closed on Esc; Enter on the focused System Info
    // presses it, which tells of a missing tool.
    void box()
    {
        ScriptedDialogs dialogs;
        frmMain win(dialogs);
        QCOMPARE(win.windowTitle(), QStringLiteral("Vardel")); // the main window's, before any listing
        frmMain::Probe {win}.mnuAbout_Click();
        QPointer<frmAbout> box = frmMain::Probe {win}.aboutBox();
        QVERIFY(box && QTest::qWaitForWindowExposed(box, TestSupport::kWaitMs));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Vardel"));
        QVERIFY(!box->windowIcon().isNull()); // the eye, also beside the texts
        const auto label = [&box](const char *name) { return box->findChild<QLabel *>(QLatin1String(name)); };
        QVERIFY(!label("Image1")->pixmap().isNull());
        QVERIFY(label("lblTitle")->text() == "Vardel" && label("lblTitle")->x() == label("lblVersion")->x()
                && label("lblDescription")->text() == "The Vardel Utility scans directory to detect changes in files.");
        QCOMPARE(box->parent(), nullptr);
        QVERIFY(!box->isModal());
        QCOMPARE(box->minimumSize(), box->maximumSize());
        box->showMinimized();
        frmMain::Probe {win}.mnuAbout_Click();
        QVERIFY(frmMain::Probe {win}.aboutBox() == box && box->isVisible() && !box->isMinimized());
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box);
        frmMain::Probe {win}.mnuAbout_Click();
        box = frmMain::Probe {win}.aboutBox();
        const auto gone = qScopeGuard([&box] { delete box.data(); }); // it has no owner
        QVERIFY(box && QTest::qWaitForWindowActive(box, TestSupport::kWaitMs));

        box->setSysInfoLocations({{QStringLiteral("vardel-no-such-tool")},
                                  QStringLiteral("/nonexistent"),
                                  QStringLiteral("vardel-no-such-tool")});
        for (const int points : {0, 40, 60}) { // no caption cut short, also in a larger font or style
            points == 40 ? box->setFont(QFont(box->font().family(), points))
                         : box->setStyleSheet(points ? QStringLiteral("QPushButton { font: 60pt; }") : QString());
            for (const QPushButton *button : box->findChildren<QPushButton *>())
                QVERIFY((points || button->x() > 0) && button->width() >= button->sizeHint().width()); // placed
        }
        auto *sysInfo = box->findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
        sysInfo->setFocus();
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QTRY_COMPARE(dialogs.boxes(), QStringList {"Vardel|System Information Is Unavailable At This Time"}); // once
        const Dialogs::Box msg = dialogs.messages().constFirst().box;
        QVERIFY(msg.buttons == Dialogs::Buttons::Ok && msg.icon == Dialogs::Icon::NoIcon && sysInfo->isVisible());
    }

    // Two tools on the path, then the folder's own: "-" none, "0" one that will not start, "1" one that runs. None
    // found, the fallback runs; the one found will not start, nothing else is tried.
    void sysInfo()
    {
        for (const auto &[tools, started] : {std::pair<QString, QString> {"--1", "fallback"}, {"011", ""}}) {
            QTemporaryDir dir;
            const QStringList names {"bin/first", "bin/second", "fallback"};
            for (int i = 0; i < 3; ++i) {
                const QByteArray marker = QFile::encodeName(dir.filePath("started-" + QFileInfo(names[i]).fileName()));
                QVERIFY(tools[i] == '-'
                        || TestSupport::writeFile(dir.filePath(names[i]),
                                                  tools[i] == '1' ? "#!/bin/sh\n: > '" + marker + "'\n"
                                                                  : QByteArray("#!/nonexistent/vardel-shell\n"),
                                                  0700));
            }
            qputenv("PATH", QFile::encodeName(dir.filePath("bin")));
            const auto markers = [&] { return QDir(dir.path()).entryList({QStringLiteral("started-*")}, QDir::Files); };
            QCOMPARE(SysInfo::start({{"first", "second"}, dir.path(), "fallback"}), !started.isEmpty());
            QTRY_COMPARE(markers(), started.isEmpty() ? QStringList() : QStringList {"started-" + started});
        }
    }
};

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
