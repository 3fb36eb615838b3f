// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/ShellOpen.h"

#include "platform/FileNames.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <atomic>
#include <cerrno>

#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ShellOpen {

namespace {

// GIO reports most trouble only as "failed"; the checks here tell the
// caller which of the usual cases it was, before GIO is asked at all.
int checkFile(const QByteArray &local)
{
    struct stat st {
    };
    if (::stat(local.constData(), &st) != 0) {
        switch (errno) {
        case EACCES:
            return AccessDenied;
        case ENOTDIR:
            return PathNotFound;
        case ENOENT: {
            // Missing file or missing folder: the folder decides.
            const QByteArray parent = FileNames::parentOf(local);
            struct stat parentSt {
            };
            if (::stat(parent.constData(), &parentSt) == 0 && S_ISDIR(parentSt.st_mode))
                return FileNotFound;
            return PathNotFound;
        }
        default: // a loop of links, a name too long, a disk error
            return FileNotFound;
        }
    }
    // Only a plain file is opened: a folder or a pipe that took the file's
    // place is not the file that was asked for.
    if (!S_ISREG(st.st_mode))
        return FileNotFound;
    if (::access(local.constData(), R_OK) != 0)
        return AccessDenied;
    return HandedOver;
}

// Why no application could be found for the file.
int lookupFailure(const GError *error)
{
    if (error != nullptr && error->domain == G_IO_ERROR) {
        switch (error->code) {
        case G_IO_ERROR_NOT_FOUND:
            return FileNotFound;
        case G_IO_ERROR_PERMISSION_DENIED:
            return AccessDenied;
        default:
            break;
        }
    }
    // Whatever else went wrong, no application takes the file.
    return NoAssociation;
}

// Its launcher (gio-launch-desktop) fails within milliseconds when the
// program cannot be run; an application still running after this has started.
std::atomic<int> s_startWindowMs {300};
std::atomic<quint64> s_launches {0};

void keepPid(GDesktopAppInfo *, GPid pid, gpointer pidOut)
{
    *static_cast<GPid *>(pidOut) = pid;
}

// In the started child, before the exec.
void enterFolder(gpointer folder)
{
    if (::chdir(static_cast<const char *>(folder)) != 0) {
        // The application starts where this program is.
    }
}

// A child that goes on running is reaped on the event loop once it ends.
void reapLater(GPid pid, int pidfd)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (pidfd < 0 || !app) {
        // No pidfd (an old kernel): GLib's child watch reaps it.
        g_child_watch_add(
            pid, [](GPid, gint, gpointer) {}, nullptr);
        return;
    }
    QMetaObject::invokeMethod(app, [app, pid, pidfd] {
        auto *ended = new QSocketNotifier(pidfd, QSocketNotifier::Read, app);
        QObject::connect(ended, &QSocketNotifier::activated, ended, [ended, pid, pidfd] {
            ::waitpid(pid, nullptr, WNOHANG);
            ended->setEnabled(false);
            ::close(pidfd);
            ended->deleteLater();
        });
    });
}

// Whether the started process, a child of ours, ended within the start
// window with a failure.
bool failedToStart(GPid pid)
{
    const int fd = int(::syscall(SYS_pidfd_open, pid, 0));
    pollfd ended {fd, POLLIN, 0};
    int status = 0;
    if (fd >= 0 && ::poll(&ended, 1, s_startWindowMs) == 1 && ::waitpid(pid, &status, 0) == pid) {
        ::close(fd);
        return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    }
    reapLater(pid, fd);
    return false;
}

GAppLaunchContext *launchContext(const Context &context)
{
    GAppLaunchContext *made = g_app_launch_context_new();
    if (context.userTime != 0) {
        const QByteArray id = "vardel-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(++s_launches)
            + "_TIME" + QByteArray::number(context.userTime);
        g_app_launch_context_setenv(made, "DESKTOP_STARTUP_ID", id.constData());
    }
    return made;
}

// GIO's launcher double-forks the application and reports only what fails
// before the exec of its helper: a program that then cannot be run (an
// interpreter missing from its "#!" line) would pass for started. Launched
// as our own child instead, its failure to start can be seen.
bool launch(GAppInfo *app, GList *uris, const Context &context, GError **error)
{
    GAppLaunchContext *launching = launchContext(context);
    bool launched = false;
    if (!G_IS_DESKTOP_APP_INFO(app)) {
        launched = g_app_info_launch_uris(app, uris, launching, error);
    } else {
        GDesktopAppInfo *desktop = G_DESKTOP_APP_INFO(app);
        // An application's own working folder (its entry's "Path") comes first.
        gchar *ownFolder = g_desktop_app_info_get_string(desktop, "Path");
        QByteArray folder = FileNames::encode(context.folder);
        const bool enter = !ownFolder && !folder.isEmpty();
        g_free(ownFolder);
        GPid pid = 0;
        launched = g_desktop_app_info_launch_uris_as_manager(
            desktop, uris, launching, GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
            enter ? enterFolder : nullptr, folder.data(), keepPid, &pid, error);
        // No pid when the application was started over D-Bus.
        launched = launched && (pid <= 0 || !failedToStart(pid));
    }
    g_object_unref(launching);
    return launched;
}

} // namespace

void setStartWindow(int ms)
{
    s_startWindowMs = ms;
}

int open(const QString &path, const Context &context)
{
    // The path's own bytes, even where they are not valid UTF-8: GIO takes
    // local paths as bytes and escapes them into the URI.
    const QByteArray local = FileNames::encode(path);
    if (const int checked = checkFile(local); checked != HandedOver)
        return checked;

    // The URI comes from GIO so that spaces, '%', '#' and non-Latin names
    // are escaped the way the receiving application expects.
    GFile *file = g_file_new_for_path(local.constData());
    GError *error = nullptr;
    GAppInfo *app = g_file_query_default_handler(file, nullptr, &error);
    int code = NoAssociation;
    if (app == nullptr) {
        code = lookupFailure(error);
    } else {
        gchar *uri = g_file_get_uri(file);
        GList uris {uri, nullptr, nullptr};
        // An application that is there but cannot start (a terminal it needs
        // and does not find, a program gone from its place or one whose
        // interpreter is) is an association that does not work.
        code = launch(app, &uris, context, &error) ? HandedOver : AssociationInvalid;
        g_free(uri);
        g_object_unref(app);
    }
    if (error != nullptr)
        g_error_free(error);
    g_object_unref(file);
    return code;
}

} // namespace ShellOpen
