// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include "ScriptedDialogs.h"
#include "app/frmMain.h"
#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/EndSignals.h"
#include "platform/SessionBus.h"
#include "platform/SingleInstance.h"
#include "platform/SysInfo.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTranslator>

#include <csignal>

#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace {

using TestSupport::store, TestSupport::stored;

// Stops the bus's daemon (SIGSTOP) until the guard goes.
auto stopped(const QProcess &daemon)
{
    ::kill(pid_t(daemon.processId()), SIGSTOP);
    return qScopeGuard([pid = pid_t(daemon.processId())] { ::kill(pid, SIGCONT); });
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
        // Offscreen by Qt's own option, which must reach Qt.
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        // What it leaves at exit is no fault of a process that ends.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + ":detect_leaks=0");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());
        process.start(QStringLiteral(VARDEL_PROGRAM), QStringList {"-platform", "offscreen"} + arguments);
        // Until then the child is this process's copy, with its handlers.
        process.waitForStarted(30000);
    }
    // Its handler for SIGTERM is in place: it has come as far as its event loop's set-up.
    bool catchesTerm() const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("SigCgt:");
        return at >= 0 && (text.mid(at + 7, 17).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    // Ended by SIGTERM the normal way.
    bool terminate()
    {
        const bool ready = QTest::qWaitFor([this] { return catchesTerm(); }, 30000);
        ::kill(pid_t(process.processId()), SIGTERM);
        return ready && process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }
    QString setting(const char *key) const
    {
        return QSettings(home.filePath("config/Vardel/Vardel.ini"), QSettings::IniFormat).value(key).toString();
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
    void init() { m_dialogs.reset(); }
    void cleanup()
    {
        QFile::remove(TestSupport::settingsFile());
        Desktop::setPlatformName({});
        frmMain::Probe::setTrayAvailability([] { return false; });
    }

    // "@bus" is the private bus's address, "@socket" its socket; "unset" names none ($XDG_RUNTIME_DIR/bus is it).
    // A bus that does not answer is turned off here; programs started from here get the address as it was.
    void probe_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("stopped");
        QTest::addColumn<SessionBus::State>("state");

        QTest::newRow("answers") << "@bus" << false << SessionBus::State::Answers;
        QTest::newRow("stopped") << "@bus" << true << SessionBus::State::Silent;
        QTest::newRow("nothing listens") << "unix:path=@socket-none" << false << SessionBus::State::Absent;
        QTest::newRow("too long a path") << "unix:path=/" + QString(300, 'x') << false << SessionBus::State::Absent;
        QTest::newRow("second of a list")
            << "unix:path=/nonexistent;unix:path=@socket" << false << SessionBus::State::Answers;
        QTest::newRow("escaped") << "unix:guid=0,path=@escaped" << false << SessionBus::State::Answers;
        QTest::newRow("not a socket here") << "tcp:host=localhost,port=1" << false << SessionBus::State::Answers;
        QTest::newRow("abstract, takes no one in") << "unix:abstract=@abstract" << false << SessionBus::State::Silent;
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
        // A name in the abstract namespace, as long as one can be, whose connections nobody takes in.
        const QByteArray abstract = ("vardel-test-" + QByteArray::number(::getpid())).leftJustified(107, 'x');
        sockaddr_un named {AF_UNIX, {}};
        std::memcpy(named.sun_path + 1, abstract.constData(), size_t(abstract.size()));
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const auto closing = qScopeGuard([listener] { ::close(listener); });
        QVERIFY(::bind(listener, reinterpret_cast<const sockaddr *>(&named),
                       socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(abstract.size())))
                    == 0
                && ::listen(listener, 4) == 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path() + (address == "unset-none" ? "/none" : "")));
        const QString given = address.startsWith(QLatin1String("unset"))
            ? QString()
            : address.replace("@bus", QString::fromLatin1(m_address))
                  .replace("@socket", socketPath())
                  .replace("@abstract", QString::fromLatin1(abstract))
                  .replace("@escaped", QString::fromLatin1(socketPath().toLatin1().toPercentEncoding({}, "/")));
        if (given.isEmpty())
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        else
            qputenv("DBUS_SESSION_BUS_ADDRESS", given.toLatin1());
        {
            const auto guard = stopped ? std::optional(::stopped(m_daemon)) : std::nullopt;
            QCOMPARE(SessionBus::setUp(QStringLiteral("vardel"), 300), state);
        }
        QCOMPARE(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") == given, state != SessionBus::State::Silent);
        // A tool started from here (the system information tool) gets the address the session gave.
        const QString tool = folder.filePath(QStringLiteral("tool"));
        QVERIFY(TestSupport::writeFile(tool, "#!/bin/sh\necho -n \"$DBUS_SESSION_BUS_ADDRESS\" > \"$0.out\"\n", 0755));
        QVERIFY(SysInfo::start({{tool}, {}, {}}));
        QTRY_COMPARE(TestSupport::readFile(tool + ".out"), given.toLatin1());
        qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
        qputenv("XDG_RUNTIME_DIR", runtime);
    }

    // A start that gives the name up leaves it to the next. The program: of two starts at once one stays; a later start
    // hands it its folder and ends.
    void laterStart()
    {
        SingleInstance gone(QDBusConnection::connectToBus(QString::fromLatin1(m_address), QStringLiteral("one")));
        QVERIFY(gone.start({}, {}) == SingleInstance::Role::First && nameTaken());
        gone.release();
        QVERIFY(!nameTaken());
        Program a, b, later;
        a.start(m_address);
        b.start(m_address);
        QVERIFY(QTest::qWaitFor([&] { return !a.process.processId() || !b.process.processId(); }, 30000));
        Program &first = a.process.processId() ? a : b;
        QCOMPARE((&first == &a ? b : a).process.exitCode(), 0);
        QTemporaryDir base; // Deeper than the first's tree reads on its own.
        const QString folder = base.filePath(QStringLiteral("x/watched"));
        QVERIFY(QDir().mkpath(folder) && QTest::qWaitFor([&] { return nameTaken() && first.catchesTerm(); }, 30000));
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(inotify_add_watch(watch, QFile::encodeName(folder).constData(), IN_OPEN) >= 0);
        later.start(m_address, {folder});
        QVERIFY(later.process.waitForFinished(30000) && later.process.exitCode() == 0);
        // The first lists the folder once it watches it.
        char events[4096];
        QVERIFY(QTest::qWaitFor([&] { return ::read(watch, events, sizeof events) > 0; }, 30000));
        ::close(watch);
        QVERIFY(first.terminate() && first.setting("Setting/Path") == folder);
    }

    // Each signal writes the settings as Exit > Yes, unasked; a second ends at once. Wayland: the size only, no place.
    void endSignals_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("platform");
        QTest::newRow("SIGTERM") << SIGTERM << "xcb";
        QTest::newRow("SIGINT, Wayland") << SIGINT << "wayland";
        QTest::newRow("SIGHUP") << SIGHUP << "xcb";
    }
    void endSignals()
    {
        QFETCH(int, signal);
        QFETCH(QString, platform);
        Desktop::setPlatformName(platform);
        for (const char *key : {"Main/Top", "Main/Left", "Main/Width"})
            store(QLatin1String(key), QStringLiteral("4500"));
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, false) && win.testAttribute(Qt::WA_Moved) == (platform == "xcb"));
        win.show();
        win.setGeometry(120, 150, 500, 400);
        frmMain::Probe {win}.setAuditInterval(7000);
        EndSignals ends;
        QSignalSpy told(&ends, &EndSignals::received);
        connect(&ends, &EndSignals::received, &win, &frmMain::endSession);
        ::raise(signal);
        QTRY_COMPARE(told.value(0), QVariantList {signal});
        QVERIFY(!win.isVisible() && m_dialogs.asked.isEmpty());
        QCOMPARE(stored("Setting/Audit Timeout").toString(), QStringLiteral("7000"));
        QCOMPARE(stored("Main/Top").toString() + stored("Main/Left").toString() == "45004500", platform != "xcb");
        QVERIFY(stored("Main/Width").toString() != "4500");
        struct sigaction now = {};
        for (int round = 0; round < 2; ++round, delete new EndSignals) // and after one that ends untold
            for (const int s : {SIGTERM, SIGINT, SIGHUP})
                QVERIFY(::sigaction(s, nullptr, &now) == 0 && now.sa_handler == SIG_DFL);
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
        frmMain::Probe::setTrayAvailability([available] { return available; });
        if (!stored.isEmpty())
            store(QStringLiteral("Setting/Tray"), stored);
        QTemporaryDir folder(TestSupport::home().filePath(QStringLiteral("t-XXXXXX")));
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, true, folder.path()));
        QAction *option = win.findChild<QAction *>(QStringLiteral("mnuTrayIcon"));
        const bool shown = available && stored.isEmpty();
        QVERIFY(option->isEnabled() == available && option->isChecked() == shown);
        QCOMPARE(frmMain::Probe {win}.trayIcon() != nullptr, shown);
        if (!available)
            return;
        if (!shown)
            option->trigger();
        QSystemTrayIcon *tray = frmMain::Probe {win}.trayIcon();
        QCOMPARE(tray->toolTip(), QStringLiteral("Vardel")); // the caption, before any file is new
        QVERIFY(TestSupport::writeFile(folder.filePath(QStringLiteral("new.txt"))));
        frmMain::Probe {win}.Timer1_Timer();
        QVERIFY(TestSupport::settle(frmMain::Probe {win}.watch()));
        QVERIFY(tray->toolTip() == win.windowTitle() && win.windowTitle().contains(QStringLiteral("#1")));
        QCOMPARE(tray->icon().cacheKey(), win.windowIcon().cacheKey());
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!win.isVisible());
        Q_EMIT tray->activated(QSystemTrayIcon::Trigger);
        QVERIFY(win.isVisible());
        m_dialogs.answers = {Dialogs::Answer::No};
        tray->contextMenu()->actions().last()->trigger();
        QCOMPARE(m_dialogs.messages().last().box.title, QStringLiteral("Exiting Warning..."));
        option->trigger();
        QVERIFY(win.isVisible() && !frmMain::Probe {win}.trayIcon() && frmMain::Probe {win}.Form_Unload());
        QCOMPARE(TestSupport::stored("Setting/Tray").toString(), QStringLiteral("0"));
    }

    // Start at Login writes the entry where the environment says at that moment, and removes it; the check follows.
    void startAtLogin()
    {
        frmMain win(m_dialogs);
        QVERIFY(TestSupport::load(win, false));
        QAction *option = win.findChild<QAction *>(QStringLiteral("mnuStartAtLogin"));
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        QTemporaryDir config;
        const QString entry = config.filePath(QStringLiteral("autostart/io.github.vardel.Vardel.desktop"));
        const QString file = config.filePath(QStringLiteral("file"));
        QVERIFY(TestSupport::writeFile(file));
        // On and off, each also where the folder is a file: that fails, is told, and the check says what is there.
        bool present = false;
        qsizetype told = 0;
        for (const QString &home : {config.path(), file, config.path(), config.path(), file}) {
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
            const bool on = !option->isChecked();
            option->trigger();
            QTRY_VERIFY(option->isEnabled());
            QCOMPARE(option->isChecked(), on && home != file);
            present = home == file ? present : on;
            QCOMPARE(TestSupport::readFile(entry),
                     present ? Autostart::entry(QFile::encodeName(QCoreApplication::applicationFilePath()))
                             : QByteArray("<none>"));
            QCOMPARE(m_dialogs.messages().size(), told += home == file);
        }
        QVERIFY(m_dialogs.messages().value(1).box.text.startsWith(QStringLiteral("Vardel cannot change")));
        qputenv("XDG_CONFIG_HOME", saved);
    }

    // The entry runs exactly the program's file, whatever its path holds.
    void execLine()
    {
        for (const auto &[program, exec] :
             {std::pair<QByteArray, QByteArray> {"/o/$x\"`\\/v",
                                                 "\"/o/\\\\$x\\\\\"\\\\`\\\\\\\\/v\""}, // the shell's characters
              {"/opt/100%f/vardel", "/opt/100%%f/vardel"}}) { // a field code
            const QByteArray entry = Autostart::entry(program);
            QCOMPARE(entry.mid(entry.indexOf("\nExec=") + 6).split('\n').first(), exec);
        }
    }

    // Qt's own buttons speak the user's language where Qt has its translation.
    void qtTranslations()
    {
        QTemporaryDir folder;
        // The least a translation file holds: its signature and its language.
        QVERIFY(TestSupport::writeFile(folder.filePath("qtbase_de.qm"),
                                       QByteArray::fromHex("3cb86418caef9c95cd211cbf60a1bddda7000000026465")));
        QVERIFY(!Desktop::installQtTranslations(QLocale("ja_JP"), folder.path()));
        QTranslator *installed = Desktop::installQtTranslations(QLocale("de_AT"), folder.path());
        QVERIFY(installed && installed->language() == "de" && QCoreApplication::removeTranslator(installed));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
