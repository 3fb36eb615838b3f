#pragma once

// Included first by every test: before anything reads a setting, the process
// gets configuration, data and cache folders of its own in a temporary
// folder, so no test ever touches the user's own settings.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <thread>

namespace TestSupport {

inline QTemporaryDir &home()
{
    static QTemporaryDir dir;
    return dir;
}

inline void isolateHome()
{
    const QString root = home().path();
    for (const char *name : {"config", "data", "cache", "state", "runtime"})
        QDir(root).mkpath(QString::fromLatin1(name));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(root + QStringLiteral("/cache")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(root + QStringLiteral("/state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + QStringLiteral("/runtime")));
    QFile::setPermissions(root + QStringLiteral("/runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// The settings file the program writes in the temporary home.
inline QString settingsFile()
{
    return home().path() + QStringLiteral("/config/Vardel/Vardel.ini");
}

// Turns the event loop until the watch has nothing asked for, running or
// waiting (a listing runs on a worker); false when that takes too long.
template<class Watch>
bool settle(Watch &watch, int ms = 20000)
{
    const QDeadlineTimer deadline(ms);
    for (;;) {
        QCoreApplication::processEvents();
        if (watch.isIdle())
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::usleep(200);
    }
}

// Work that stands in for a disk that stopped answering, until the latch
// opens (ten seconds at most, so that a test fails instead of hanging).
struct Latch {
    std::atomic<bool> open {false};
    std::atomic<int> entered {0};
    void wait()
    {
        ++entered;
        for (int i = 0; i < 2000 && !open; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
};

} // namespace TestSupport

static void vardelIsolateTestHome()
{
    TestSupport::isolateHome();
}
Q_CONSTRUCTOR_FUNCTION(vardelIsolateTestHome)
