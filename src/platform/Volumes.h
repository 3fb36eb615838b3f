// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// The drives of the drive selector: mounted volumes that are ready, as a
// file manager offers them (the computer's own file system, local disks,
// removable media and network shares; no pseudo, container or portal
// mounts), named by their root paths. Nothing here runs on
// the window's thread: reading the mount table and asking a volume whether
// it answers may wait on the disk.
namespace Volumes {

// Where the volumes come from; tests stand in a source of their own.
struct Source {
    // The mount table, as /proc/self/mountinfo gives it.
    std::function<QByteArray()> mountTable;
    // Whether the volume mounted on this root answers.
    std::function<bool(const QString &root)> isReady;
};
// Set and read on the window's thread; work takes a copy along.
const Source &source();
void setSource(Source source);

struct Mount {
    QString root;
    QByteArray type;
    QByteArray device;
};
// Every mount of the table, in its order.
QList<Mount> mounts(const QByteArray &table);

// Whose volumes are offered: removable media are mounted under the user's
// name, and what is mounted in the home is the user's own.
struct User {
    QString home;
    QString name;
};
// The user this process runs for.
User currentUser();
// The roots offered as drives, sorted, each once: "/", the volume of the
// home, and what GIO would have a file manager show (no mount the system
// keeps for itself, none hidden in a dot folder; only under /media,
// /run/media/NAME, /mnt and the home).
QStringList driveRoots(const QList<Mount> &mounts, const User &user = currentUser());
// Whether this root is mounted at all.
bool isMounted(const QString &root, const QList<Mount> &mounts);
// The root of the volume that holds a clean absolute path: the longest
// mount root it lies under; empty when none does.
QString rootOf(const QString &path, const QList<Mount> &mounts);

} // namespace Volumes
