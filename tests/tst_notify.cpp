// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "filelist/FileIcons.h"
#include "platform/Notifier.h"

#include <QAbstractItemView>
#include <QDBusArgument>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDialog>
#include <QSignalSpy>

#include <utility>

// The picture as a desktop reads it: RGBA bytes, row after row.
static QImage picture(const QDBusArgument &data)
{
    int width = 0, height = 0, stride = 0, bits = 0, samples = 0;
    bool alpha = false;
    QByteArray bytes;
    if (data.currentSignature() == "(iiibiiay)")
        data.beginStructure(), data >> width >> height >> stride >> alpha >> bits >> samples >> bytes,
            data.endStructure();
    const bool readable = alpha && bits == 8 && samples == 4 && width > 0 && stride >= width * 4;
    return readable && bytes.size() == stride * height
        ? QImage(reinterpret_cast<const uchar *>(bytes.constData()), width, height, stride, QImage::Format_RGBA8888)
              .copy()
        : QImage();
}

// A notification service on a private bus; notes each call ("(hints?)": not the program's) and may hold answers.
class FakeNotifications : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList calls;
    QStringList capabilities;
    uint lastId = 0;
    bool holding = false;
    bool refusing = false; // the next Notify fails
    QList<QDBusMessage> held;

public Q_SLOTS:
    uint Notify(const QString &app, uint replaces, const QString &, const QString &summary, const QString &body,
                const QStringList &actions, const QVariantMap &hints, int)
    {
        const bool own = actions == QStringList {"default", "Show"}
            && hints.value("desktop-entry") == QStringLiteral("io.github.vardel.Vardel")
            && picture(hints.value("image-data").value<QDBusArgument>())
                == FileIcons::lightOnPicture(48).convertToFormat(QImage::Format_RGBA8888);
        calls.append(QStringLiteral("%1 %2 %3 | %4%5")
                         .arg(app)
                         .arg(replaces)
                         .arg(summary, body, own ? QString() : QStringLiteral(" (hints?)"))
                         .replace('\n', '/'));
        if (std::exchange(refusing, false)) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("refused"));
            return 0;
        }
        const uint id = replaces ? replaces : ++lastId;
        if (holding) {
            setDelayedReply(true);
            held.append(message().createReply(id));
        }
        return id;
    }
    void CloseNotification(uint id) { calls.append(QStringLiteral("close %1").arg(id)); }
    QStringList GetCapabilities() { return capabilities; }
    QString GetServerInformation(QString &, QString &, QString &) { return QStringLiteral("fake"); }

Q_SIGNALS:
    void ActivationToken(uint id, const QString &token);
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);
};

class TestNotify : public QObject
{
    Q_OBJECT

    QProcess m_daemon;
    QDBusConnection m_service {QString()};
    FakeNotifications m_fake;
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedDialogs m_dialogs;
    std::unique_ptr<frmMain> m_win;
    qint64 m_clock = 0; // the watch's, from "events" on
    frmMain::Probe probe() const { return {*m_win}; }

    void setFiles(const QString &names)
    {
        for (const QString &name : names.split(QLatin1Char(','), Qt::SkipEmptyParts))
            QVERIFY(QFile::exists(m_dir->filePath(name)) || TestSupport::writeFile(m_dir->filePath(name)));
    }
    void start(const QString &names)
    {
        setFiles(names);
        m_win = std::make_unique<frmMain>(m_dialogs);
        QVERIFY(TestSupport::load(*m_win, false, m_dir->path()));
    }
    // Each step turns the event loop until every call is answered.
    void answered() const { QTRY_VERIFY(m_win->findChild<Notifier *>()->isIdle()); }
    void tick()
    {
        probe().Timer1_Timer();
        QVERIFY(TestSupport::settle(probe().watch()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QByteArray address = TestSupport::startBus(m_daemon);
        QVERIFY2(!address.isEmpty(), "dbus-daemon (Debian package dbus-daemon) did not start");
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_service = QDBusConnection::connectToBus(QString::fromLatin1(address), QStringLiteral("service"));
        QVERIFY(m_service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &m_fake,
                                         QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(TestSupport::home().filePath(QStringLiteral("w-XXXXXX")));
        m_dialogs.reset();
        m_fake.calls.clear();
        m_fake.capabilities = {QStringLiteral("actions"), QStringLiteral("body")};
        m_fake.lastId = 0;
        // Nothing is told, with a service or without; offscreen windows remark on their own.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("^(?!This plugin does not support )")));
        QVERIFY(m_service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }
    void cleanup()
    {
        m_win.reset();
        m_service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    }

    // Steps: the folder's files, "away" (the folder gone), "init", "exit", "front", "markup", "none" (no service),
    // "refusing" (the next call).
    void alerts_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("calls");
        using L = QStringList;
        // A call: the id it replaces, the count and the names shown.
        const auto call = [](int replaces, int count, const char *names) {
            return QStringLiteral("Vardel %1 #%2 New File/s were found! | ").arg(replaces).arg(count) + names;
        };
        const QString one = call(0, 1, "a<&b"), writing = call(0, 1, "a<&b (still being written)"),
                      complete = call(1, 1, "a<&b");
        QTest::newRow("posted, replaced, withdrawn")
            << L {"a<&b", "a<&b,c", "init"} << L {one, call(1, 2, "a<&b/c"), "close 1"};
        QTest::newRow("markup escaped") << L {"markup", "a<&b"} << L {call(0, 1, "a&lt;&amp;b")};
        QTest::newRow("withdrawn on exit") << L {"a<&b", "exit"} << L {one, "close 1"};
        QTest::newRow("window in front") << L {"front", "a<&b"} << L();
        QTest::newRow("no service") << L {"none", "a<&b", "init"} << L();
        QTest::newRow("refused: a new one") << L {"refusing", "a<&b", "a<&b,c"} << L {one, call(0, 2, "a<&b/c")};
        QTest::newRow("dismissed: a new one") << L {"a<&b", "dismiss", "a<&b,c"} << L {one, call(0, 2, "a<&b/c")};
        QTest::newRow("one call at a time") << L {"a<&b", "init", "hold", "c", "c,d", "release"}
                                            << L {one, "close 1", call(0, 1, "c"), call(2, 2, "c/d")};
        // "real": the real clock from a new catalogue on; "-": a tick; "ticking": a tick while the box is open;
        // "events": changes told by the test alone, "made:NAMES", "closed:NAME", "hang" (an hour); "chosen": "Show".
        QTest::newRow("still being written, then complete") << L {"real", "a<&b", "-", "-"} << L {writing, complete};
        QTest::newRow("still being written, folder gone") << L {"real", "a<&b", "away"} << L {writing};
        QTest::newRow("complete while the box is open") << L {"real", "ticking", "a<&b", "-"} << L {writing, complete};
        QTest::newRow("told by events: its writer hangs") << L {"events", "made:a<&b", "hang"} << L {writing, complete};
        QTest::newRow("told by events: chosen, then closed")
            << L {"events", "made:a<&b", "chosen", "closed:a<&b"} << L {writing, "close 1"};
        QTest::newRow("told by events: one of two closed")
            << L {"events", "made:a<&b,c", "closed:c"}
            << L {call(0, 2, "a<&b (still being written)/c (still being written)")};
        QTest::newRow("first five") << L {"f1,f2,f3,f4,f5,f6,f7"} << L {call(0, 7, "f1/f2/f3/f4/f5/and 2 more")};
    }
    void alerts()
    {
        QFETCH(QStringList, steps);
        start({});
        for (const QString &step : std::as_const(steps)) {
            if (step == "hold")
                m_fake.holding = true;
            else if (step == "release") {
                m_fake.holding = false;
                for (const QDBusMessage &reply : std::exchange(m_fake.held, {}))
                    QVERIFY(m_service.send(reply));
            } else if (step == "refusing")
                m_fake.refusing = true;
            else if (step == "markup")
                m_fake.capabilities.append(QStringLiteral("body-markup"));
            else if (step == "none")
                m_service.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
            else if (step == "front") {
                m_win->show();
                m_win->activateWindow();
                QTRY_VERIFY(m_win->isActiveWindow());
            } else if (step == "init")
                probe().mnuInitList_Click();
            else if (step == "real") {
                probe().watch().setClock([] { return QDateTime::currentMSecsSinceEpoch(); });
                probe().mnuInitList_Click();
            } else if (step == "ticking") {
                m_dialogs.whileOpen = [this](const ScriptedDialogs::Asked &) {
                    answered();
                    probe().Timer1_Timer();
                    QTRY_COMPARE(m_fake.calls.size(), 2);
                };
            } else if (step == "events") {
                m_clock = QDateTime::currentMSecsSinceEpoch();
                probe().watch().setClock([this] { return m_clock; });
                probe().watch().setSourceOpener([](const QString &) { return std::make_unique<ChangeSource>(); });
                probe().mnuInitList_Click();
            } else if (step.startsWith("made:") || step.startsWith("closed:")) {
                const bool made = step.startsWith("made:");
                for (const QString &name : step.section(':', 1).split(',')) {
                    setFiles(name);
                    probe().watch().source()->tell(made ? ChangeSource::Created : ChangeSource::ClosedWrite,
                                                   name.toUtf8());
                }
                probe().watch().changesRead();
            } else if (step == "away")
                QVERIFY(QDir(m_dir->path()).removeRecursively());
            else if (step == "hang")
                m_clock += 3600 * 1000;
            else if (step == "-")
                ;
            else if (step == "exit")
                QVERIFY(probe().Form_Unload());
            else if (step == "dismiss" || step == "chosen") {
                if (step == "chosen")
                    Q_EMIT m_fake.ActionInvoked(m_fake.lastId, QStringLiteral("default"));
                else
                    Q_EMIT m_fake.NotificationClosed(m_fake.lastId, 2);
                // Answered after the signal, on the program's own connection.
                QDBusConnection::sessionBus().call(
                    QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                                   "org.freedesktop.Notifications", "GetServerInformation"),
                    QDBus::BlockWithGui);
            } else
                setFiles(step);
            if (step != "exit")
                tick();
            if (!m_fake.holding)
                answered();
        }
        QTEST(m_fake.calls, "calls");
        // The box tells whatever became of the notification.
        QVERIFY(m_dialogs.messages().value(0).box.text.contains(QStringLiteral("New File")));
    }

    // "Show" raises the window with the new file in view, or the box open in it, with the service's token.

    void action_data()
    {
        QTest::addColumn<bool>("box");
        QTest::newRow("window") << false;
        QTest::newRow("box open") << true;
    }
    void action()
    {
        QFETCH(bool, box);
        QStringList names;
        for (int i = 0; i < 60; ++i)
            names.append(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')));
        start(names.join(','));
        m_win->showMinimized();
        // The user works in another window.
        QWidget other;
        other.show();
        other.activateWindow();
        QTRY_VERIFY(other.isActiveWindow());
        QDialog dialog(m_win.get());
        dialog.setWindowModality(Qt::ApplicationModal);
        QSignalSpy shown(m_win->findChild<Notifier *>(), &Notifier::activated);
        const auto invoke = [&] {
            answered();
            Q_EMIT m_fake.ActivationToken(m_fake.lastId, QStringLiteral("token"));
            Q_EMIT m_fake.ActivationToken(m_fake.lastId + 1, QStringLiteral("other's"));
            Q_EMIT m_fake.ActionInvoked(m_fake.lastId, QStringLiteral("default"));
            QTRY_COMPARE(shown.size(), 1);
            QCOMPARE(shown.first().first().toString(), QStringLiteral("token"));
            QTRY_COMPARE(m_fake.calls.size(), 2);
            QCOMPARE(m_fake.calls.last(), QStringLiteral("close 1"));
            QTRY_VERIFY((box ? static_cast<QWidget *>(&dialog) : m_win.get())->isActiveWindow());
            QVERIFY(m_win->isMinimized() == box && !qgetenv("XDG_ACTIVATION_TOKEN").size()); // none left off Wayland
        };
        if (box)
            m_dialogs.whileOpen = [&](const ScriptedDialogs::Asked &) {
                dialog.show();
                invoke();
            };
        setFiles(QStringLiteral("zz"));
        tick();
        if (!box)
            invoke();
        QCOMPARE(m_fake.calls.size(), 2);
        QAbstractItemView *view = probe().listView()->currentView();
        QVERIFY(view->viewport()->rect().contains(view->visualRect(probe().listModel()->index(60, 0))));
    }
};

QTEST_MAIN(TestNotify)
#include "tst_notify.moc"
