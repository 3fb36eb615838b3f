// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Volumes.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFile>
#include <QMap>

#include <gio/gunixmounts.h>

#include <sys/statvfs.h>

namespace Volumes {

namespace {

// Strictly under: a volume mounted on the folder itself is not.
bool isUnder(const QString &path, const QString &folder)
{
    return !folder.isEmpty() && path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// GIO's rules for what a file manager shows (g_unix_mount_guess_should_display),
// on the table's own lines: that function reads the machine's table itself.
bool isShown(const Mount &m, const User &user)
{
    const QByteArray path = FileNames::encode(m.root);
    if (g_unix_is_system_fs_type(m.type.constData()) || g_unix_is_system_device_path(m.device.constData())
        || g_unix_is_mount_path_system_internal(path.constData()))
        return false;
    // Hidden on purpose (the document portal's ~/.cache/doc, ~/.gvfs).
    if (m.root.contains(QLatin1String("/.")))
        return false;
    // The administrator sees every user's removable media.
    const QString media = user.name == QLatin1String("root") ? QStringLiteral("/run/media/")
                                                             : QStringLiteral("/run/media/") + user.name;
    // Shares and disks mounted by hand or from /etc/fstab lie under /mnt,
    // which GIO leaves out; everything under /run, /var, /snap and the like
    // is the system's, containers' and sandboxes' own.
    return isUnder(m.root, QStringLiteral("/media")) || (!user.name.isEmpty() && isUnder(m.root, media))
        || isUnder(m.root, QStringLiteral("/mnt")) || (user.home != QLatin1String("/") && isUnder(m.root, user.home));
}

// The table writes a blank, a tab, a line break and a backslash in a path
// as \040, \011, \012 and \134.
QByteArray unescape(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto octal = [&](qsizetype at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            out.append(char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

Source &current()
{
    static Source s {[] {
                         QFile table(QStringLiteral("/proc/self/mountinfo"));
                         return table.open(QIODevice::ReadOnly) ? table.readAll() : QByteArray();
                     },
                     [](const QString &root) {
                         struct statvfs info;
                         return ::statvfs(FileNames::encode(root).constData(), &info) == 0;
                     }};
    return s;
}

} // namespace

const Source &source()
{
    return current();
}

void setSource(Source source)
{
    current() = std::move(source);
}

QList<Mount> mounts(const QByteArray &table)
{
    QList<Mount> out;
    for (const QByteArray &line : table.split('\n')) {
        // ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [OPTIONAL...] - TYPE SOURCE ...
        const QByteArrayList fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        // Six fields at least before the separator, one after it.
        if (dash < 6 || dash + 1 >= fields.size())
            continue;
        out.append({FileNames::decode(unescape(fields[4])), fields[dash + 1],
                    dash + 2 < fields.size() ? unescape(fields[dash + 2]) : QByteArray()});
    }
    return out;
}

User currentUser()
{
    return {QDir::homePath(), QString::fromLocal8Bit(g_get_user_name())};
}

QStringList driveRoots(const QList<Mount> &mounts, const User &user)
{
    // A root mounted over is what its last mount makes it.
    QMap<QString, Mount> last;
    for (const Mount &m : mounts)
        last.insert(m.root, m);
    // The computer's file system and the home's volume are offered as a
    // file manager offers "Computer" and "Home".
    const QString home = user.home.isEmpty() ? QString() : rootOf(user.home, mounts);
    QStringList out;
    for (const Mount &m : last) {
        if (m.root == QLatin1String("/") || m.root == home || isShown(m, user))
            out.append(m.root);
    }
    return out;
}

bool isMounted(const QString &root, const QList<Mount> &mounts)
{
    return std::any_of(mounts.cbegin(), mounts.cend(), [&](const Mount &m) { return m.root == root; });
}

QString rootOf(const QString &path, const QList<Mount> &mounts)
{
    QString best;
    for (const Mount &m : mounts) {
        const bool under = path == m.root || m.root == QLatin1String("/")
            || (path.startsWith(m.root) && path.at(m.root.size()) == QLatin1Char('/'));
        if (under && m.root.size() > best.size())
            best = m.root;
    }
    return best;
}

} // namespace Volumes
