#pragma once

// Included first by every test: a temporary home and settings, a mount table of "/" alone, and no change source
// unless a test gives one.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtGlobal>

#include "audit/ChangeSource.h"
#include "platform/FileNames.h"
#include "platform/Volumes.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TestSupport {

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
    Volumes::setSource(
        {[] { return QByteArray("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"); }, [](const QString &) { return true; }});
}

// A disk that stopped answering until the latch opens (ten seconds at most); notes if the window waited.
struct Latch {
    std::atomic<bool> open {false};
    std::atomic<int> entered {0};
    std::atomic<bool> windowWaited {false};
    void wait()
    {
        ++entered;
        if (QThread::currentThread() == QCoreApplication::instance()->thread())
            windowWaited = true;
        for (int i = 0; i < 2000 && !open; ++i)
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

// The settings file the program writes in the temporary home.
inline QString settingsFile()
{
    return home().path() + QStringLiteral("/config/Vardel/Vardel.ini");
}

// A value of the settings file as QSettings reads it, and one written there as another program would.
inline QVariant stored(const QString &key)
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key);
}
inline void store(const QString &key, const QVariant &value)
{
    QSettings(settingsFile(), QSettings::IniFormat).setValue(key, value);
}

// Turns the event loop until the watch is idle; false when that takes too long.
template<class Watch>
bool settle(Watch &watch, int ms = 20000)
{
    QCoreApplication::processEvents();
    return QTest::qWaitFor([&] { return watch.isIdle(); }, ms);
}

// Loads a main window watching `folder` (when given) and waits for its first catalogue; shows it if asked.
template<class Window>
bool load(Window &win, bool visible = true, const QString &folder = {})
{
    if (!folder.isEmpty())
        store(QStringLiteral("Setting/Path"), folder);
    win.Form_Load();
    if (!settle(win.watch()))
        return false;
    if (visible)
        win.show();
    return !visible || QTest::qWaitForWindowExposed(&win);
}

} // namespace TestSupport

static void vardelIsolateTestHome()
{
    TestSupport::isolateHome();
}
Q_CONSTRUCTOR_FUNCTION(vardelIsolateTestHome)
