#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <functional>

// The drives of the drive selector: mounted volumes that are ready, pseudo
// file systems left out, named by their root paths. Nothing here runs on
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
};
// Every mount of the table, in its order.
QList<Mount> mounts(const QByteArray &table);
// The roots that can be drives: pseudo file systems left out, sorted, each
// once.
QStringList driveRoots(const QList<Mount> &mounts);
// The root of the volume that holds a clean absolute path: the longest
// mount root it lies under; empty when none does.
QString rootOf(const QString &path, const QList<Mount> &mounts);

} // namespace Volumes
