#include "platform/Volumes.h"

#include "platform/FileNames.h"

#include <QFile>
#include <QMap>

#include <sys/statvfs.h>

namespace Volumes {

namespace {

bool isPseudo(const QString &root, const QByteArray &type)
{
    static const QByteArrayList pseudoTypes
        = {"proc",    "sysfs",    "devpts",     "devtmpfs", "cgroup",    "cgroup2",  "securityfs",      "debugfs",
           "tracefs", "pstore",   "bpf",        "mqueue",   "hugetlbfs", "configfs", "fusectl",         "binfmt_misc",
           "autofs",  "efivarfs", "rpc_pipefs", "nsfs",     "ramfs",     "squashfs", "overlay_internal"};
    if (pseudoTypes.contains(type))
        return true;
    if (type == "tmpfs"
        && (root.startsWith(QLatin1String("/run")) || root.startsWith(QLatin1String("/sys"))
            || root.startsWith(QLatin1String("/dev"))))
        return true;
    return root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys"))
        || root.startsWith(QLatin1String("/dev/")) || root.startsWith(QLatin1String("/snap/"));
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
        out.append({FileNames::decode(unescape(fields[4])), fields[dash + 1]});
    }
    return out;
}

QStringList driveRoots(const QList<Mount> &mounts)
{
    // A root mounted over keeps the type of its last mount.
    QMap<QString, QByteArray> types;
    for (const Mount &m : mounts)
        types.insert(m.root, m.type);
    QStringList out;
    for (auto it = types.cbegin(); it != types.cend(); ++it) {
        if (!isPseudo(it.key(), it.value()))
            out.append(it.key());
    }
    return out;
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
