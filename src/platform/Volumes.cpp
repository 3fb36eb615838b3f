#include "platform/Volumes.h"

#include <QStorageInfo>

namespace Volumes {

namespace {

bool isPseudo(const QStorageInfo &volume)
{
    static const QByteArrayList pseudoTypes
        = {"proc",    "sysfs",    "devpts",     "devtmpfs", "cgroup",    "cgroup2",  "securityfs",      "debugfs",
           "tracefs", "pstore",   "bpf",        "mqueue",   "hugetlbfs", "configfs", "fusectl",         "binfmt_misc",
           "autofs",  "efivarfs", "rpc_pipefs", "nsfs",     "ramfs",     "squashfs", "overlay_internal"};
    const QByteArray type = volume.fileSystemType();
    if (pseudoTypes.contains(type))
        return true;
    const QString root = volume.rootPath();
    if (type == "tmpfs"
        && (root.startsWith(QLatin1String("/run")) || root.startsWith(QLatin1String("/sys"))
            || root.startsWith(QLatin1String("/dev"))))
        return true;
    return root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys"))
        || root.startsWith(QLatin1String("/dev/")) || root.startsWith(QLatin1String("/snap/"));
}

} // namespace

QStringList roots()
{
    QStringList out;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || isPseudo(volume))
            continue;
        if (!out.contains(volume.rootPath()))
            out.append(volume.rootPath());
    }
    out.sort();
    return out;
}

bool isReadyRoot(const QString &root)
{
    return roots().contains(root);
}

} // namespace Volumes
