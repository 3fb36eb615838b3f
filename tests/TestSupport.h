// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

// Included first by every test: a temporary home and settings, a mount table of "/" alone, and no change source
// unless a test gives one.

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "audit/ChangeSource.h"
#include "audit/Watch.h"
#include "platform/Background.h"
#include "platform/FileNames.h"
#include "platform/Volumes.h"
#include "settings/SettingsStore.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A share's faults, for the listings of the folder and of the tree: a listing failing half way, no file types (NFS,
// FUSE).
static std::atomic<int> g_readdirFailsAt {0}; // the n-th call from now on fails; 0: none
static std::atomic<bool> g_noTypes {false};

extern "C" dirent *readdir(DIR *dir)
{
    static const auto real = reinterpret_cast<dirent *(*)(DIR *)>(dlsym(RTLD_NEXT, "readdir"));
    if (g_readdirFailsAt > 0 && --g_readdirFailsAt == 0) {
        errno = EIO;
        return nullptr;
    }
    dirent *entry = real(dir);
    if (entry && g_noTypes)
        entry->d_type = DT_UNKNOWN;
    return entry;
}

namespace TestSupport {

// A wait ends as soon as its condition holds; its limit only ends a test whose condition never comes, and is generous:
// no test passes or fails by the machine's speed.
constexpr int kWaitMs = 20000;

inline QTemporaryDir &home()
{
    static QTemporaryDir dir;
    return dir;
}

inline void isolateHome()
{
    const QString root = home().path();
    qputenv("HOME", QFile::encodeName(root));
    for (const char *name : {"CONFIG_HOME", "DATA_HOME", "CACHE_HOME", "STATE_HOME", "RUNTIME_DIR"}) {
        const QString dir = root + '/' + QString::fromLatin1(name).section('_', 0, 0).toLower();
        QDir().mkpath(dir);
        qputenv(QByteArray("XDG_") + name, QFile::encodeName(dir));
    }
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // No session bus: nothing reaches the desktop's notifications.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            QFile::encodeName(QStringLiteral("unix:path=") + root + QStringLiteral("/runtime/no-bus")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ChangeSource::setDefaultOpener([](const QString &) { return nullptr; });
    // Files the tests write are complete: a clock a day ahead finds none modified since the last pass.
    Watch::setDefaultClock([] { return QDateTime::currentMSecsSinceEpoch() + 24 * 3600 * 1000; });
    Volumes::setSource(
        {[] { return QByteArray("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"); }, [](const QString &) { return true; }});
}

// A disk that stopped answering until the latch opens (a minute at most); notes if the window waited.
struct Latch {
    std::atomic<bool> open {false};
    std::atomic<int> entered {0};
    std::atomic<bool> windowWaited {false};
    void wait()
    {
        ++entered;
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            windowWaited = true;
        for (int i = 0; i < 12000 && !open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

// Writes a file of this mode, making its folder first; a name that is no UTF-8 is taken byte for byte.
inline bool writeFile(const QString &path, const QByteArray &contents = {}, mode_t mode = 0644)
{
    QDir().mkpath(QFileInfo(path).path());
    const int fd = ::open(FileNames::encode(path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    const bool ok = fd >= 0 && ::write(fd, contents.constData(), size_t(contents.size())) == contents.size()
        && ::fchmod(fd, mode) == 0;
    return fd >= 0 && ::close(fd) == 0 && ok;
}

inline QByteArray readFile(const QString &path)
{
    QFile file;
    const int fd = ::open(FileNames::encode(path).constData(), O_RDONLY | O_CLOEXEC);
    return fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) ? file.readAll() : "<none>";
}

// Every entry of a folder, hidden ones included, sorted by their bytes: "name=contents", or "name/" if no file.
inline QByteArrayList entries(const QString &folder)
{
    QByteArrayList out;
    const QByteArray dir = FileNames::encode(folder);
    DIR *d = ::opendir(dir.constData());
    while (const dirent *e = d ? ::readdir(d) : nullptr) {
        const QByteArray name(e->d_name), path = dir + '/' + name;
        struct stat st;
        if (name != "." && name != "..")
            out.append(::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)
                           ? name + '=' + readFile(FileNames::decode(path))
                           : name + '/');
    }
    if (d)
        ::closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

// The settings file the program writes in the temporary home, once the rewrites asked for have ended.
inline QString settingsFile()
{
    SettingsStore::awaitRewrites(20000);
    return home().path() + QStringLiteral("/config/Vardel/Vardel.ini");
}

// A value of the settings file as QSettings reads it, and one written there as another program would. Read from a
// copy of a name of its own: QSettings keeps what it read of a file and reads it again only when its size or time
// changed, and two rewrites of one size within the file system's tick of time differ in neither.
inline QVariant stored(const QString &key)
{
    QTemporaryDir copy;
    const QString name = copy.filePath(QStringLiteral("copy.ini"));
    return QFile::copy(settingsFile(), name) ? QSettings(name, QSettings::IniFormat).value(key) : QVariant();
}
inline void store(const QString &key, const QVariant &value)
{
    QSettings(settingsFile(), QSettings::IniFormat).setValue(key, value);
}

// A session bus of the test's own (Debian package dbus-daemon); its address, empty when it did not start.
inline QByteArray startBus(QProcess &daemon)
{
    const QString config = home().filePath(QStringLiteral("bus.conf"));
    // Its socket in the temporary home, gone with it.
    writeFile(config,
              "<busconfig><type>session</type><listen>unix:dir=" + QFile::encodeName(home().path())
                  + "</listen><auth>EXTERNAL</auth>"
                    "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                    "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
    daemon.start(
        QStringLiteral("dbus-daemon"),
        {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"), QStringLiteral("--nofork")});
    return daemon.waitForReadyRead(20000) ? daemon.readLine().trimmed() : QByteArray();
}

// Turns the event loop until the watch is idle; false when that takes too long.
template<class Watch>
bool settle(Watch &watch)
{
    QCoreApplication::processEvents();
    return QTest::qWaitFor([&] { return watch.isIdle(); }, kWaitMs);
}

// Turns the event loop until no work runs beside the window or waits to, and every result has arrived.
inline bool quiet()
{
    return QTest::qWaitFor([] { return Background::busyCount() == 0; }, kWaitMs);
}

// Loads a main window watching `folder` (when given) and waits for its first catalogue; shows it if asked.
template<class Window>
bool load(Window &win, bool visible = true, const QString &folder = {})
{
    if (!folder.isEmpty())
        store(QStringLiteral("Setting/Path"), folder);
    win.Form_Load();
    if (!settle(typename Window::Probe {win}.watch()))
        return false;
    if (visible)
        win.show();
    return !visible || QTest::qWaitForWindowExposed(&win, kWaitMs);
}

} // namespace TestSupport

// Qt's own waits give up after five seconds, and wait twice as long again when they fail: they take the limit above.
#undef QTRY_VERIFY
#undef QTRY_COMPARE
#define QTRY_VERIFY(expr) QVERIFY2(QTest::qWaitFor([&] { return bool(expr); }, TestSupport::kWaitMs), #expr)
#define QTRY_COMPARE(expr, expected)                                                                                   \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&] { return (expr) == (expected); }, TestSupport::kWaitMs);                             \
        QCOMPARE(expr, expected);                                                                                      \
    } while (false)

static void vardelIsolateTestHome()
{
    TestSupport::isolateHome();
}
Q_CONSTRUCTOR_FUNCTION(vardelIsolateTestHome)
