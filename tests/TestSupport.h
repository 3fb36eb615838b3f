// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

// Included first by every test: a temporary home and settings, a mount table of "/" alone, no change source.

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QProcess>

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "audit/ChangeSource.h"
#include "audit/Watch.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
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

// A share's faults, for folder and tree listings: a listing failing half way, no file types (NFS, FUSE).
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

// A wait ends once its condition holds; its generous limit only ends a test whose condition never comes.
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

// A column's texts, row after row.
inline QStringList column(const FileListModel &model, int col)
{
    QStringList texts;
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.text(r, col);
    return texts;
}
// The rows as "name:status,name:status", or with as many columns.
inline QString rows(const FileListModel &model, int columns = 2)
{
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << model.text(r, c);
        out << cells.join(QLatin1Char(':'));
    }
    return out.join(QLatin1Char(','));
}
// The names of the rows selected, sorted; the row of a name added to them.
inline QStringList selected(const FileListView &view)
{
    QStringList names;
    for (const QModelIndex &i : view.selectionModel()->selectedRows())
        names << view.model()->text(i.row(), FileListModel::NameColumn);
    names.sort();
    return names;
}
inline void select(const FileListView &view, const QString &name)
{
    const int row = int(column(*view.model(), FileListModel::NameColumn).indexOf(name));
    view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Where the made-up desktop's application notes what it was given: "path|working folder|startup id".
inline QString openedMarker()
{
    return home().filePath(QStringLiteral("opened"));
}

// Real GIO with no GVfs or dconf, the system's MIME types but none of its applications. A script of builtins opens
// plain text and *.vardeltest; *.vardelterm wants a terminal, *.vardelbroken lacks its interpreter, *.vardelorphan
// has no application.
inline bool fakeDesktop()
{
    qputenv("GIO_USE_VFS", "local");
    qputenv("GSETTINGS_BACKEND", "memory");
    const QString root = home().path(), system = root + QStringLiteral("/system"),
                  data = root + QStringLiteral("/data");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(system));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
    const QByteArray opener = QFile::encodeName(root + QStringLiteral("/opener.sh"));
    const QByteArray broken = QFile::encodeName(root + QStringLiteral("/broken.sh"));
    QByteArray types, defaults = "[Default Applications]\ntext/plain=vardel-test.desktop;\n";
    for (const char *type : {"test", "term", "broken", "orphan"})
        types += QByteArray("<mime-type type=\"application/x-vardel-") + type + "\"><glob pattern=\"*.vardel" + type
            + "\"/></mime-type>\n";
    bool ok = QDir().mkpath(system) && QFile::link(QStringLiteral("/usr/share/mime"), system + QStringLiteral("/mime"))
        && writeFile(data + QStringLiteral("/mime/packages/vardel-test.xml"),
                     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                         + types + "</mime-info>\n")
        && writeFile(opener,
                     "#!/bin/sh\nprintf '%s|%s|%s' \"$1\" \"$PWD\" \"$DESKTOP_STARTUP_ID\" > '"
                         + QFile::encodeName(openedMarker()) + "'\n",
                     0500)
        && writeFile(broken, "#!/nonexistent/interp\n", 0500);
    for (const QByteArray type : {"test", "term", "broken"}) {
        ok = ok
            && writeFile(data + QStringLiteral("/applications/vardel-%1.desktop").arg(QLatin1String(type)),
                         "[Desktop Entry]\nType=Application\nName=Opener\nExec=\""
                             + (type == "broken" ? broken : opener) + "\" %f\nMimeType=application/x-vardel-" + type
                             + (type == "test" ? ";text/plain;\n" : ";\n") + (type == "term" ? "Terminal=true\n" : ""));
        defaults += "application/x-vardel-" + type + "=vardel-" + type + ".desktop;\n";
    }
    QProcess update;
    update.start(QStringLiteral("update-mime-database"), {data + QStringLiteral("/mime")});
    return ok && writeFile(root + QStringLiteral("/config/mimeapps.list"), defaults) && update.waitForFinished(60000)
        && update.exitStatus() == QProcess::NormalExit && update.exitCode() == 0;
}

// Turns the event loop until the watch is idle; false when that takes too long.
template<class Watch>
bool settle(Watch &watch)
{
    // Waits for the watch's own events (a result, a timer) rather than in
    // steps: a pass that ends a moment after a look costs no step.
    const QDeadlineTimer limit(kWaitMs);
    QTimer wake; // ends the last wait below
    wake.start(kWaitMs);
    QCoreApplication::processEvents();
    while (!watch.isIdle() && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return watch.isIdle();
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
