// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <functional>

class TestQtDialogs : public QObject
{
    Q_OBJECT

private:
    // Acts on the next modal box once open; rejects it three seconds later if it stays open.
    void whenOpen(const std::function<void(QWidget *)> &act)
    {
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, act] {
            if (auto *box = static_cast<QDialog *>(QApplication::activeModalWidget())) {
                poll->deleteLater();
                poll->stop();
                act(box);
                QTimer::singleShot(3000, box, [box] { box->reject(); });
            }
        });
        poll->start(10);
    }

private Q_SLOTS:
    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void saveFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed"); // a folder's path typed and taken first
        QTest::addColumn<bool>("confirm");

        QTest::newRow("quotes") << QStringLiteral("say\"hi\".txt; x\"\".txt") << QString() << true;
        QTest::newRow("longer than a file name")
            << QStringList(12, QStringLiteral("IMG_20240101_123400.jpg")).join(QStringLiteral("; ")) << QString()
            << true;
        QTest::newRow("a folder typed") << QStringLiteral("a.txt; b.txt") << QStringLiteral("@dir") << true;
        QTest::newRow("one under home typed") << QStringLiteral("a.txt") << QStringLiteral("~/typed") << true;
        QTest::newRow("cancelled") << QStringLiteral("a.txt") << QStringLiteral("@dir") << false;
    }

    // Gives the folder shown plus the name box's text; opens at home, then where the last was confirmed.
    void saveFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(bool, confirm);
        const bool typeFolder = !typed.isEmpty();
        const QString home = QDir::homePath();
        const QString folder = !typeFolder ? home : typed == "@dir" ? m_dir.path() : home + typed.mid(1);
        QVERIFY(QDir().mkpath(folder));
        QString shown, shownAfter, startedIn;
        bool saveEnabled = false;
        whenOpen([&](QWidget *box) {
            auto *dialog = static_cast<QFileDialog *>(box);
            auto *nameBox = box->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            startedIn = dialog->directory().absolutePath();
            shown = nameBox->text();
            // A folder picked in the list, then none: what was proposed can still be confirmed.
            auto *list = box->findChild<QListView *>(QStringLiteral("listView"));
            QTRY_VERIFY(list->model()->rowCount(list->rootIndex()) > 0);
            list->setCurrentIndex(list->model()->index(0, 0, list->rootIndex()));
            list->selectionModel()->clear();
            saveEnabled = box->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->isEnabled();
            if (typeFolder) {
                nameBox->setText(typed == "@dir" ? folder : typed);
                QTest::keyClick(nameBox, Qt::Key_Return);
            }
            shownAfter = dialog->directory().absolutePath() + QLatin1Char('/') + nameBox->text();
            QTest::keyClick(confirm ? static_cast<QWidget *>(nameBox) : box, confirm ? Qt::Key_Return : Qt::Key_Escape);
        });
        QtDialogs dialogs;
        const std::optional<QString> reply = dialogs.saveFileName(nullptr, name);
        QVERIFY(startedIn == home && saveEnabled && shown == name && shownAfter == folder + QLatin1Char('/') + name);
        QCOMPARE(reply, confirm ? std::optional<QString>(folder + QLatin1Char('/') + name) : std::nullopt);

        const auto startIn = [&](QWidget *box) {
            startedIn = static_cast<QFileDialog *>(box)->directory().absolutePath();
            QTest::keyClick(box, Qt::Key_Escape);
        };
        whenOpen(startIn);
        QCOMPARE(dialogs.chooseFolder(nullptr), std::nullopt);
        QCOMPARE(startedIn, confirm ? folder : home);
        if (confirm && typeFolder) { // once the folder has gone, at home again
            QVERIFY(QDir().rename(folder, folder + "-gone"));
            whenOpen(startIn), dialogs.chooseFolder(nullptr);
            QVERIFY(QDir().rename(folder + "-gone", folder) && startedIn == home);
        }
    }

    void message_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<int>("names"); // how many names the text holds
        QTest::addColumn<bool>("alert"); // an OK box above every window; else Yes and No

        QTest::newRow("Escape is No") << int(Qt::Key_Escape) << Dialogs::Answer::No << 1 << false;
        QTest::newRow("300 names, Enter takes Yes, the default")
            << int(Qt::Key_Return) << Dialogs::Answer::Yes << 300 << false;
        QTest::newRow("an alert") << int(Qt::Key_Return) << Dialogs::Answer::Ok << 3 << true;
    }

    // The whole text, wrapped to the box, and the box on the screen, however long the text.

    void message()
    {
        QFETCH(int, key);
        QFETCH(int, names);
        QFETCH(bool, alert);
        const QString text = QStringList(names, QStringLiteral("IMG_20240101_123400.jpg")).join(QStringLiteral(", "));
        QString shown;
        bool fits = false;
        whenOpen([&](QWidget *box) {
            // Shrunk to the screen, and put in its middle again.
            const QRect screen = box->screen()->availableGeometry();
            fits = box->height() < screen.height()
                && (box->frameGeometry().center() - screen.center()).manhattanLength() <= 4;
            for (QLabel *label : box->findChildren<QLabel *>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    shown = label->text();
                    fits = fits && label->width() < box->width();
                }
            }
            fits = fits && box->findChildren<QPushButton *>().size() == (alert ? 1 : 2)
                && box->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == alert;
            QTest::keyClick(box, Qt::Key(key));
        });
        QTEST(QtDialogs().message(nullptr,
                                  {text, QStringLiteral("Question"),
                                   alert ? Dialogs::Buttons::Ok : Dialogs::Buttons::YesNo, Dialogs::Icon::Question,
                                   Dialogs::Answer::Yes, alert}),
              "answer");

        QVERIFY(shown == text && fits);
    }

    // The input box shows its whole title, the program's or one wider than the box would be, in a title bar's larger
    // bold font beside the frame's icon and buttons.
    void input()
    {
        for (const QString title : {"Audit time setting...", "Audit time setting... of the watched folder, in ms"}) {
            QString seen;
            whenOpen([&](QWidget *box) {
                QFont titleBar = box->font();
                titleBar.setBold(true);
                titleBar.setPointSizeF(titleBar.pointSizeF() * 1.2);
                const QFontMetrics bold(titleBar);
                const int room = box->width() - bold.horizontalAdvance(box->windowTitle());
                seen = box->findChild<QLabel *>()->text() + box->windowTitle() + (room >= 8 * bold.height() ? "" : "!");
                QTest::keyClick(box->findChild<QLineEdit *>(), Qt::Key_Return);
            });
            QCOMPARE(QtDialogs().input(nullptr, QStringLiteral("In s:"), title, QStringLiteral("60")), "60");
            QCOMPARE(seen, "In s:" + title); // "!": the title cut short
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
