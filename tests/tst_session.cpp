#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/EndSignals.h"
#include "platform/SessionBus.h"
#include "platform/SingleInstance.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QSignalSpy>
#include <QTranslator>

#include <csignal>

#include <sys/inotify.h>

namespace {

using TestSupport::store, TestSupport::stored;

QAction *action(const frmMain &win, const char *name)
{
    return win.findChild<QAction *>(QLatin1String(name));
}

// The program itself (the one built beside the tests), offscreen, with a home of its own and the given bus.
struct Program {
    QTemporaryDir home {TestSupport::home().filePath(QStringLiteral("p-XXXXXX"))};
    QProcess process;

    void start(const QByteArray &bus, const QStringList &arguments = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromLatin1(bus));
        // What it leaves at exit is no fault of a process that ends.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + ":detect_leaks=0");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());
        process.start(QStringLiteral(VARDEL_PROGRAM), arguments);
    }
    // Its handler for SIGTERM is in place: it has come as far as its event loop's set-up.
    bool catchesTerm() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("SigCgt:");
        return at >= 0 && (text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    // Ended by SIGTERM the normal way; false when it does not end.
    bool terminate()
    {
        if (!QTest::qWaitFor([this] { return catchesTerm(); }, 30000))
            return false;
        ::kill(pid_t(process.processId()), SIGTERM);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
    QString setting(const QString &key) const
    {
        return QSettings(home.filePath(QStringLiteral("config/Vardel/Vardel.ini")), QSettings::IniFormat)
            .value(key)
            .toString();
    }
};

} // namespace

class TestSession : public QObject
{
    Q_OBJECT

    QProcess m_daemon;
    QByteArray m_address;
    ScriptedDialogs m_dialogs;

    QString socketPath() const { return QString::fromLatin1(m_address).section("path=", 1).section(',', 0, 0); }
    // The bus's daemon stops answering (SIGSTOP) while this lives.
    struct Stopped {
        qint64 pid;
        explicit Stopped(qint64 p)
            : pid(p)
        {
            ::kill(pid_t(pid), SIGSTOP);
        }
        ~Stopped() { ::kill(pid_t(pid), SIGCONT); }
    };
    bool nameTaken() const
    {
        return QDBusConnection::connectToBus(QString::fromLatin1(m_address), QStringLiteral("watcher"))
            .interface()
            ->isServiceRegistered(SingleInstance::kService);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_address = TestSupport::startBus(m_daemon);
        QVERIFY2(!m_address.isEmpty(), "dbus-daemon (Debian package dbus-daemon) did not start");
    }
    void cleanupTestCase()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    void init() { m_dialogs.reset(); }
    void cleanup()
    {
        QFile::remove(TestSupport::settingsFile());
        Desktop::setPlatformName({});
        frmMain::setTrayAvailability([] { return false; });
    }

    // "@bus" stands for the private bus's address, "@socket" for its socket; "unset" names no address.
    void probe_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<SessionBus::State>("state");

        QTest::newRow("answers") << "@bus" << false << SessionBus::State::Answers;
        QTest::newRow("stopped") << "@bus" << true << SessionBus::State::Silent;
        QTest::newRow("nothing listens") << "unix:path=@socket-none" << false << SessionBus::State::Absent;
        QTest::newRow("second of a list")
            << "unix:path=/nonexistent;unix:path=@socket" << false << SessionBus::State::Answers;
        QTest::newRow("escaped") << "unix:guid=0,path=@escaped" << false << SessionBus::State::Answers;
        QTest::newRow("not a socket here") << "tcp:host=localhost,port=1" << false << SessionBus::State::Answers;
        QTest::newRow("unset: runtime folder") << "unset" << true << SessionBus::State::Silent;
        QTest::newRow("unset: none there") << "unset-none" << false << SessionBus::State::Absent;
    }
    void probe()
    {
        QFETCH(QString, address);
        QFETCH(bool, stopped);
        QFETCH(SessionBus::State, state);
        const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS"), runtime = qgetenv("XDG_RUNTIME_DIR");
        QTemporaryDir folder;
        QVERIFY(QFile::link(socketPath(), folder.filePath(QStringLiteral("bus"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path() + (address == "unset-none" ? "/none" : "")));
        if (address.startsWith(QLatin1String("unset")))
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS",
                    address.replace("@bus", QString::fromLatin1(m_address))
                        .replace("@socket", socketPath())
                        .replace("@escaped", QString::fromLatin1(socketPath().toLatin1().toPercentEncoding({}, "/")))
                        .toLatin1());
        const std::optional<Stopped> stop
            = stopped ? std::optional<Stopped>(std::in_place, m_daemon.processId()) : std::nullopt;
        QCOMPARE(SessionBus::probe(300), state);
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }

    // A bus that does not answer is turned off for this process; programs started from here get it as it was.
    void silentBus()
    {
        const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
        {
            const Stopped stop(m_daemon.processId());
            QCOMPARE(SessionBus::setUp(QStringLiteral("vardel"), 300), SessionBus::State::Silent);
            QVERIFY(
                !QDBusConnection::connectToBus(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"), "off").isConnected());
        }
        QCOMPARE(SessionBus::userAddress().value_or("unset"), m_address);
        QCOMPARE(SessionBus::childEnvironment().value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS")).toLatin1(),
                 m_address);
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
    }

    // The first start has the name; a later one hands over its folder, byte for byte, and its token.
    void singleInstance_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("how"); // "released": the first gave the name up; "no bus"
        QTest::addColumn<SingleInstance::Role>("role");
        QTest::addColumn<QString>("token");

        QTest::newRow("folder, X11") << FileNames::decode("/tmp/a b\xff") << "xcb"
                                     << "" << SingleInstance::Role::HandedOver << "id_TIME5";
        QTest::newRow("no folder, Wayland") << ""
                                            << "wayland"
                                            << "" << SingleInstance::Role::HandedOver << "token";
        QTest::newRow("first gone") << "/tmp"
                                    << "xcb"
                                    << "released" << SingleInstance::Role::First << "";
        QTest::newRow("no bus") << "/tmp"
                                << "xcb"
                                << "no bus" << SingleInstance::Role::Alone << "";
    }
    void singleInstance()
    {
        QFETCH(QString, folder);
        QFETCH(QString, platform);
        QFETCH(QString, how);
        QFETCH(SingleInstance::Role, role);
        QFETCH(QString, token);
        Desktop::setPlatformName(platform);
        SingleInstance first(QDBusConnection::connectToBus(QString::fromLatin1(m_address), QStringLiteral("one")));
        QCOMPARE(first.start({}, {}), SingleInstance::Role::First);
        QSignalSpy heard(&first, &SingleInstance::requested);
        if (how == "released")
            first.release();
        {
            SingleInstance later(
                how == "no bus" ? QDBusConnection(QStringLiteral("none"))
                                : QDBusConnection::connectToBus(QString::fromLatin1(m_address), QStringLiteral("two")));
            QCOMPARE(later.start(folder, {QStringLiteral("token"), QStringLiteral("id_TIME5")}), role);
        }
        QDBusConnection::disconnectFromBus(QStringLiteral("two"));
        QDBusConnection::disconnectFromBus(QStringLiteral("one"));
        QCOMPARE(heard.size(), role == SingleInstance::Role::HandedOver ? 1 : 0);
        if (!heard.isEmpty())
            QCOMPARE(heard.first(), (QVariantList {folder, token}));
    }

    // The program itself: a later start ends, and the first watches its folder; one that is refused says so.
    void laterStart()
    {
        Program first, later, refused;
        // Deeper than the first's tree reads on its own.
        QTemporaryDir base;
        QVERIFY(QDir().mkpath(base.filePath(QStringLiteral("x/watched"))));
        const QDir folder(base.filePath(QStringLiteral("x/watched")));
        first.start(m_address);
        QVERIFY(QTest::qWaitFor([&] { return nameTaken() && first.catchesTerm(); }, 30000));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(folder.path()).constData(), IN_OPEN) >= 0);
        later.start(m_address, {folder.path()});
        QVERIFY(later.process.waitForFinished(30000));
        QCOMPARE(later.process.exitCode(), 0);
        refused.start(m_address, {QStringLiteral("missing")});
        QVERIFY(refused.process.waitForFinished(30000));
        QCOMPARE(refused.process.exitCode(), 2);
        QCOMPARE(refused.process.readAllStandardError(), QByteArray("vardel: missing: no such folder\n"));
        // The first lists the folder once it watches it.
        char events[4096];
        QVERIFY(QTest::qWaitFor([&] { return ::read(watch, events, sizeof events) > 0; }, 30000));
        ::close(watch);
        QVERIFY(first.terminate());
        QCOMPARE(first.setting(QStringLiteral("Setting/Path")), folder.path());
    }

    // Two starts at once: one stays, the other hands over to it.
    void twoAtOnce()
    {
        Program a, b;
        a.start(m_address);
        b.start(m_address);
        const auto ended = [](const Program &p) { return p.process.state() == QProcess::NotRunning; };
        QVERIFY(QTest::qWaitFor([&] { return ended(a) || ended(b); }, 30000));
        Program &stays = a.process.state() == QProcess::Running ? a : b;
        QCOMPARE((&stays == &a ? b : a).process.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&] { return nameTaken(); }, 30000));
        QVERIFY(stays.terminate());
    }

    // With the bus's daemon stopped the program comes up, says why once, and SIGTERM writes its settings.
    void stoppedBus()
    {
        const Stopped stop(m_daemon.processId());
        Program program;
        program.start(m_address);
        QVERIFY(program.terminate());
        QCOMPARE(program.process.readAllStandardError().count("session bus does not answer"), 1);
        QVERIFY(program.setting(QStringLiteral("Main/Width")).toInt() > 0);
        QCOMPARE(program.setting(QStringLiteral("Setting/Audit Timeout")), QStringLiteral("60000"));
    }

    // Each signal writes the settings as Exit > Yes does, without asking; a second would end the program at once.
    void endSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void endSignals()
    {
        QFETCH(int, signal);
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win));
        QVERIFY(win.setAuditInterval(7000));
        EndSignals ends;
        QSignalSpy told(&ends, &EndSignals::received);
        connect(&ends, &EndSignals::received, &win, &frmMain::endSession);
        ::raise(signal);
        QTRY_COMPARE(told.size(), 1);
        QCOMPARE(told.first().first().toInt(), signal);
        QVERIFY(!win.isVisible());
        QVERIFY(m_dialogs.asked.isEmpty());
        QCOMPARE(stored("Setting/Audit Timeout").toString(), QStringLiteral("7000"));
        QVERIFY(stored("Main/Width").toInt() > 0);
        for (const int s : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction now {
            };
            ::sigaction(s, nullptr, &now);
            QVERIFY(now.sa_handler == SIG_DFL);
        }
    }

    // Under Wayland the place is neither restored nor written; the size is, and the stored place stays.
    void waylandPlace_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::newRow("X11") << "xcb";
        QTest::newRow("Wayland") << "wayland";
    }
    void waylandPlace()
    {
        QFETCH(QString, platform);
        Desktop::setPlatformName(platform);
        const bool places = platform == "xcb";
        for (const char *key : {"Main/Top", "Main/Left", "Main/Width", "Main/Height"})
            store(QLatin1String(key), QStringLiteral("4500"));
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, false));
        QCOMPARE(win.testAttribute(Qt::WA_Moved), places);
        win.show();
        win.setGeometry(120, 150, 500, 400);
        QVERIFY(win.Form_Unload());
        QCOMPARE(stored("Main/Top").toString() == "4500", !places);
        QCOMPARE(stored("Main/Left").toString() == "4500", !places);
        QVERIFY(stored("Main/Width").toString() != "4500");
    }

    // The tray icon shows the window's icon and caption; a click hides and shows; its Exit asks.
    void tray_data()
    {
        QTest::addColumn<bool>("available");
        QTest::addColumn<QString>("stored");
        QTest::newRow("no tray") << false << "";
        QTest::newRow("tray") << true << "";
        QTest::newRow("turned off") << true << "0";
    }
    void tray()
    {
        QFETCH(bool, available);
        QFETCH(QString, stored);
        frmMain::setTrayAvailability([available] { return available; });
        if (!stored.isEmpty())
            store(QStringLiteral("Setting/Tray"), stored);
        QTemporaryDir folder(TestSupport::home().filePath(QStringLiteral("t-XXXXXX")));
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, true, folder.path()));
        QAction *option = action(win, "mnuTrayIcon");
        const bool shown = available && stored.isEmpty();
        QCOMPARE(option->isEnabled(), available);
        QCOMPARE(option->isChecked(), shown);
        QCOMPARE(win.trayIcon() != nullptr, shown);
        if (available && !shown) {
            option->trigger();
            QVERIFY(win.trayIcon());
        }
        if (!available)
            return;
        QSystemTrayIcon *tray = win.trayIcon();
        QStringList items;
        for (const QAction *a : tray->contextMenu()->actions())
            items << a->text();
        QCOMPARE(items, (QStringList {"&Show", "&Init List", "E&xit"}));
        QVERIFY(TestSupport::writeFile(folder.filePath(QStringLiteral("new.txt"))));
        win.Timer1_Timer();
        QVERIFY(TestSupport::settle(win.watch()));
        QCOMPARE(tray->toolTip(), win.windowTitle());
        QVERIFY(win.windowTitle().contains(QStringLiteral("#1")));
        QCOMPARE(tray->icon().cacheKey(), win.windowIcon().cacheKey());
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!win.isVisible());
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(win.isVisible());
        m_dialogs.answers = {Dialogs::Answer::No};
        tray->contextMenu()->actions().last()->trigger();
        QCOMPARE(m_dialogs.messages().last().box.title, QStringLiteral("Exiting Warning..."));
        QVERIFY(win.isVisible());
        option->trigger();
        QVERIFY(!win.trayIcon());
        QVERIFY(win.Form_Unload());
        QCOMPARE(TestSupport::stored("Setting/Tray").toString(), QStringLiteral("0"));
    }

    // Start at Login writes the entry where the environment says at that moment, and removes it; the check follows.
    void startAtLogin()
    {
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, false));
        QAction *option = action(win, "mnuStartAtLogin");
        QVERIFY(!option->isChecked());
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
        const QString entry = config.filePath(QStringLiteral("autostart/io.github.vardel.Vardel.desktop"));
        option->trigger();
        QTRY_VERIFY(option->isEnabled());
        QVERIFY(option->isChecked());
        QCOMPARE(TestSupport::readFile(entry),
                 Autostart::entry(QFile::encodeName(QCoreApplication::applicationFilePath())));
        option->trigger();
        QTRY_VERIFY(option->isEnabled());
        QVERIFY(!option->isChecked() && !QFileInfo::exists(entry));
        // A folder that cannot be made: told, and the check stays off.
        QVERIFY(TestSupport::writeFile(config.filePath(QStringLiteral("file"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.filePath(QStringLiteral("file"))));
        option->trigger();
        QTRY_VERIFY(option->isEnabled());
        QVERIFY(!option->isChecked());
        QVERIFY(m_dialogs.messages().value(0).box.text.startsWith(QStringLiteral("Vardel cannot change")));
        qputenv("XDG_CONFIG_HOME", saved);
    }

    // The entry runs exactly the program's file, whatever its path holds.
    void execLine_data()
    {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<QByteArray>("exec");
        QTest::newRow("plain") << QByteArray("/usr/bin/vardel") << QByteArray("/usr/bin/vardel");
        QTest::newRow("blank") << QByteArray("/opt/my apps/vardel") << QByteArray("\"/opt/my apps/vardel\"");
        QTest::newRow("shell's characters")
            << QByteArray("/o/$x\"`\\/v") << QByteArray("\"/o/\\\\$x\\\\\"\\\\`\\\\\\\\/v\"");
        QTest::newRow("field code") << QByteArray("/opt/100%f/vardel") << QByteArray("/opt/100%%f/vardel");
    }
    void execLine()
    {
        QFETCH(QByteArray, program);
        QFETCH(QByteArray, exec);
        const QByteArray entry = Autostart::entry(program);
        QCOMPARE(entry.mid(entry.indexOf("\nExec=") + 6).split('\n').first(), exec);
    }

    // Qt's own translations for the user's language, when there are any.
    void qtTranslations_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("language");
        QTest::newRow("German, Austria") << "de_AT"
                                         << "de";
        QTest::newRow("French") << "fr_FR"
                                << "fr";
        QTest::newRow("none for it") << "ja_JP"
                                     << "";
    }
    void qtTranslations()
    {
        QFETCH(QString, locale);
        QFETCH(QString, language);
        QTemporaryDir folder;
        // The least a translation file holds: its signature and its language.
        for (const QByteArray name : {"de", "fr"})
            QVERIFY(TestSupport::writeFile(folder.filePath("qtbase_" + name + ".qm"),
                                           QByteArray::fromHex("3cb86418caef9c95cd211cbf60a1bddd") + "\xa7"
                                               + QByteArray::fromHex("00000002") + name));
        QTranslator *installed = Desktop::installQtTranslations(QLocale(locale), folder.path());
        QCOMPARE(installed ? installed->language() : QString(), language);
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
