#pragma once

// Included first by every test: before anything reads a setting, the process
// gets configuration, data and cache folders of its own in a temporary
// folder, so no test ever touches the user's own settings.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

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

} // namespace TestSupport

static void vardelIsolateTestHome()
{
    TestSupport::isolateHome();
}
Q_CONSTRUCTOR_FUNCTION(vardelIsolateTestHome)
