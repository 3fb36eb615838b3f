#include "TestSupport.h"

#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <functional>

// The real boxes, driven as a user would: each test finds the open box,
// acts on it and reads what the adapter gives back.
class TestQtDialogs : public QObject
{
    Q_OBJECT

private:
    // Acts on the next modal box once it is open; one that stays open after
    // is closed, so that no test waits for ever.
    void whenOpen(const std::function<void(QWidget *)> &act)
    {
        auto *poll = new QTimer(this);
        auto tries = std::make_shared<int>(0);
        connect(poll, &QTimer::timeout, this, [=] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box && ++*tries < 500)
                return;
            poll->deleteLater();
            if (!box)
                return;
            act(box);
            QTimer::singleShot(3000, box, [box] {
                if (box->isVisible())
                    static_cast<QDialog *>(box)->reject();
            });
        });
        poll->start(10);
    }

private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path())); }

    void cleanup() { QVERIFY(!QApplication::activeModalWidget()); }

    void saveFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("confirm");

        QTest::newRow("quotes") << QStringLiteral("say\"hi\".txt; x\"\".txt") << true;
        QTest::newRow("longer than a file name")
            << QStringList(12, QStringLiteral("IMG_20240101_123400.jpg")).join(QStringLiteral("; ")) << true;
        QTest::newRow("cancelled") << QStringLiteral("a.txt") << false;
    }

    // What comes back is the folder shown and the name box's text as it stands.
    void saveFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, confirm);
        QString shown;
        bool saveEnabled = false;
        whenOpen([&](QWidget *box) {
            auto *nameBox = box->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            shown = nameBox->text();
            saveEnabled = box->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save)->isEnabled();
            QTest::keyClick(confirm ? static_cast<QWidget *>(nameBox) : box, confirm ? Qt::Key_Return : Qt::Key_Escape);
        });
        const std::optional<QString> reply = QtDialogs().saveFileName(nullptr, name);
        QCOMPARE(shown, name);
        QVERIFY(saveEnabled);
        QCOMPARE(reply,
                 confirm ? std::optional<QString>(QDir(m_dir.path()).absolutePath() + QLatin1Char('/') + name)
                         : std::nullopt);
    }

    void message_data()
    {
        QTest::addColumn<Dialogs::Answer>("defaultAnswer");
        QTest::addColumn<int>("key");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<int>("names"); // how many names the text holds

        QTest::newRow("Enter takes Yes") << Dialogs::Answer::Yes << int(Qt::Key_Return) << Dialogs::Answer::Yes << 1;
        QTest::newRow("Enter takes No") << Dialogs::Answer::No << int(Qt::Key_Return) << Dialogs::Answer::No << 1;
        QTest::newRow("Escape is No") << Dialogs::Answer::Yes << int(Qt::Key_Escape) << Dialogs::Answer::No << 1;
        QTest::newRow("300 names") << Dialogs::Answer::Yes << int(Qt::Key_Return) << Dialogs::Answer::Yes << 300;
    }

    // The whole text is there, in lines as wide as the box, and the box with
    // its buttons is on the screen, however long the text.
    void message()
    {
        QFETCH(Dialogs::Answer, defaultAnswer);
        QFETCH(int, key);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(int, names);
        const QString text = QStringList(names, QStringLiteral("IMG_20240101_123400.jpg")).join(QStringLiteral(", "));
        QString shown;
        bool fits = false;
        whenOpen([&](QWidget *box) {
            fits = box->height() < box->screen()->availableGeometry().height();
            for (QLabel *label : box->findChildren<QLabel *>()) {
                if (label->isVisible() && !label->text().isEmpty()) {
                    shown = label->text();
                    fits = fits && label->width() < box->width();
                }
            }
            QTest::keyClick(box, Qt::Key(key));
        });
        QCOMPARE(QtDialogs().message(nullptr,
                                     {text, QStringLiteral("Question"), Dialogs::Buttons::YesNo,
                                      Dialogs::Icon::Question, defaultAnswer}),
                 answer);
        QCOMPARE(shown, text);
        QVERIFY(fits);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestQtDialogs)
#include "tst_qtdialogs.moc"
