// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/ChangeSource.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

namespace {

// The kernel's events of one folder, read from its descriptor by the
// window's thread when they come (memory only: nothing waits on the disk).
class InotifySource : public ChangeSource
{
public:
    InotifySource(int fd, dev_t device, ino_t inode)
        : m_fd(fd)
    {
        setFolder(device, inode);
    }
    ~InotifySource() override { ::close(m_fd); }
    int descriptor() const override { return m_fd; }
    void readAvailable() override;

private:
    int m_fd;
};

void InotifySource::readAvailable()
{
    // A writer faster than this reader is caught up with at the next call;
    // the kernel's queue bounds what waits.
    alignas(inotify_event) char buffer[64 * 1024];
    for (int reads = 0; reads < 64; ++reads) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got <= 0) {
            if (got < 0 && errno == EINTR)
                continue;
            return;
        }
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const std::uint32_t mask = event->mask;
            if (mask & IN_Q_OVERFLOW)
                tellLost();
            if (mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT))
                tellGone();
            if (event->len == 0)
                continue;
            const QByteArray name(event->name);
            const std::pair<std::uint32_t, Kind> kinds[]
                = {{IN_CREATE, Created}, {IN_MODIFY, Modified},  {IN_CLOSE_WRITE, ClosedWrite}, {IN_ATTRIB, Attributes},
                   {IN_DELETE, Deleted}, {IN_MOVED_TO, MovedIn}, {IN_MOVED_FROM, MovedOut}};
            for (const auto &[bit, kind] : kinds) {
                if (mask & bit)
                    tell(kind, name);
            }
        }
    }
}

} // namespace

bool ChangeSource::deliversEvents(unsigned long fsType)
{
    // File systems of this machine's own disks and memory: every change to
    // them passes through this kernel, which tells of it. Shares (NFS, SMB,
    // 9p, Ceph, AFS), user-space file systems (FUSE: sshfs, virtiofs,
    // ntfs-3g), cluster file systems, and file systems stacked on others
    // (overlay, ecryptfs) change where this kernel does not see it: they,
    // and any not named here, are listed in full at every tick.
    switch (fsType) {
    case EXT4_SUPER_MAGIC: // ext2, ext3 and ext4 alike
    case BTRFS_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case 0x3153464aUL: // jfs
    case REISERFS_SUPER_MAGIC:
    case NILFS_SUPER_MAGIC:
    case MSDOS_SUPER_MAGIC: // vfat
    case EXFAT_SUPER_MAGIC:
    case 0x7366746eUL: // ntfs3, the kernel's own NTFS
    case 0x482bUL: // hfsplus
    case UDF_SUPER_MAGIC:
    case 0xca451a4eUL: // bcachefs
    case 0x2fc12fc1UL: // zfs
    case ISOFS_SUPER_MAGIC:
    case SQUASHFS_MAGIC:
        return true;
    default:
        return false;
    }
}

namespace {
ChangeSource::Opener &opener()
{
    static ChangeSource::Opener chosen;
    return chosen;
}
} // namespace

void ChangeSource::setDefaultOpener(Opener opener)
{
    ::opener() = std::move(opener);
}

ChangeSource::Opener ChangeSource::defaultOpener()
{
    return ::opener() ? ::opener() : Opener(open);
}

std::unique_ptr<ChangeSource> ChangeSource::open(const QString &folder)
{
    struct statfs fs;
    const QByteArray path = FileNames::encode(folder);
    if (::statfs(path.constData(), &fs) != 0 || !deliversEvents((unsigned long)fs.f_type))
        return nullptr;
    return openInotify(folder);
}

std::unique_ptr<ChangeSource> ChangeSource::openInotify(const QString &folder)
{
    const QByteArray path = FileNames::encode(folder);
    struct stat st;
    if (::stat(path.constData(), &st) != 0) // none for an empty path either
        return nullptr;
    // Instances or watches used up (EMFILE, ENOSPC): the folder is listed.
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0)
        return nullptr;
    const std::uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY
        | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (::inotify_add_watch(fd, path.constData(), mask) < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<InotifySource>(fd, st.st_dev, st.st_ino);
}

void ChangeSource::tell(Kind kind, const QByteArray &name)
{
    ++m_events;
    // Hidden names are no rows, but one may be a second name of a file that
    // is: they are looked up too.
    if (m_lost || name.isEmpty() || name.contains('/'))
        return;
    auto it = m_names.find(name);
    if (it == m_names.end()) {
        if (std::size_t(m_names.size()) >= m_bound) {
            tellLost();
            return;
        }
        it = m_names.insert(name, {});
    }
    (*it)[kind] = m_events;
    if (kind == ClosedWrite && m_closed.size() < m_bound)
        m_closed.push_back(name);
}

bool ChangeSource::closedLast(const QByteArray &name) const
{
    const auto it = m_names.constFind(name);
    return it != m_names.cend() && (*it)[ClosedWrite] > std::max((*it)[Created], (*it)[Modified]);
}

std::vector<QByteArray> ChangeSource::takeClosed()
{
    return std::exchange(m_closed, {});
}

void ChangeSource::tellLost()
{
    m_lost = true;
    m_names.clear();
}

void ChangeSource::tellGone()
{
    m_gone = true;
    tellLost();
}

ChangeSource::Taken ChangeSource::take()
{
    Taken taken;
    taken.complete = !m_lost;
    taken.names.reserve(std::size_t(m_names.size()));
    for (auto it = m_names.cbegin(); it != m_names.cend(); ++it)
        taken.names.push_back({it.key(), it.value()});
    m_names.clear();
    m_lost = m_gone;
    return taken;
}
