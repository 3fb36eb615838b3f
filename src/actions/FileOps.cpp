#include "actions/FileOps.h"

#include "platform/FileNames.h"

#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileOps {

bool isExecutable(const QString &name, const QString &fullPath)
{
    const QString suffix = name.right(4).toUpper();
    if (suffix == QLatin1String(".EXE") || suffix == QLatin1String(".BAT") || suffix == QLatin1String(".COM"))
        return true;
    // A launcher runs a program whatever the case of its suffix.
    if (name.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        return true;
    struct stat st;
    if (::stat(FileNames::encode(fullPath).constData(), &st) != 0)
        return false;
    return S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH));
}

std::optional<QString> destinationFolder(const QString &dialogPath, const QString &proposedName)
{
    if (!dialogPath.endsWith(QLatin1Char('/') + proposedName))
        return std::nullopt;
    return folderWithSlash(dialogPath.left(dialogPath.size() - proposedName.size()));
}

bool isReadOnly(const QString &path)
{
    const QByteArray p = FileNames::encode(path);
    struct stat st;
    // A check that cannot be made protects the file all the same.
    if (::stat(p.constData(), &st) != 0)
        return true;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(p.constData(), W_OK) != 0;
}

namespace {

class Fd
{
public:
    explicit Fd(int fd)
        : m_fd(fd)
    { }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return m_fd; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

bool readWriteLoop(int from, int to, CopyMonitor &monitor)
{
    char buffer[1 << 16];
    for (;;) {
        if (monitor.cancelled())
            return false;
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(to, buffer, n))
            return false;
        monitor.copied(n);
    }
}

// The kernel copies the blocks itself where it can. Where it cannot
// (another file system, an old kernel) the plain loop goes on from where it
// stopped; so it does when the kernel finds nothing at all to copy, since
// files such as /proc's say nothing true about their size.
bool copyContents(int from, int to, CopyMonitor &monitor)
{
    constexpr std::size_t kBlock = 1 << 20; // small enough to stop soon when asked
    qint64 total = 0;
    for (;;) {
        if (monitor.cancelled())
            return false;
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, kBlock, 0);
        if (n > 0) {
            total += n;
            monitor.copied(n);
            continue;
        }
        if (n == 0 && total > 0)
            return true;
        if (n < 0 && errno == EINTR)
            continue;
        return readWriteLoop(from, to, monitor);
    }
}

// Contents, permission bits and times, on the disk before the file is named.
bool writeCopy(int in, int out, const struct stat &srcStat, CopyMonitor &monitor)
{
    // The permission bits only: a copy never carries set-user-ID or set-group-ID.
    if (!copyContents(in, out, monitor) || ::fchmod(out, srcStat.st_mode & 0777) != 0)
        return false;
    const struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
    ::futimens(out, times);
    return ::fsync(out) == 0;
}

// A copy nobody watches: never given up.
class Unwatched : public CopyMonitor
{
public:
    bool cancelled() const override { return false; }
    void copied(qint64) override { }
};

QByteArray randomSuffix()
{
    return QByteArray::number(QRandomGenerator::global()->generate(), 36);
}

// Gives the unnamed file open at fd a name; 0 or the errno.
int linkUnnamed(int fd, const QByteArray &to)
{
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    if (::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    // No /proc: the direct way, which needs a privilege most users lack.
    return ::linkat(fd, "", AT_FDCWD, to.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

enum class Linked { Done, Failed, Unable };

// The complete unnamed file takes the destination's name in one step: a new
// name directly, an existing file by a rename over it.
Linked linkInPlace(int fd, const QByteArray &dst, const QByteArray &tempPrefix, CopyMonitor &monitor)
{
    // Given up while its last block was written: it never takes the name.
    if (monitor.cancelled())
        return Linked::Failed;
    const int error = linkUnnamed(fd, dst);
    if (error == 0)
        return Linked::Done;
    if (error != EEXIST)
        return Linked::Unable;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray temp = tempPrefix + randomSuffix();
        monitor.namedTemporary(true);
        if (const int e = linkUnnamed(fd, temp); e != 0) {
            monitor.namedTemporary(false);
            if (e == EEXIST)
                continue;
            return Linked::Failed;
        }
        const bool renamed = ::rename(temp.constData(), dst.constData()) == 0;
        if (!renamed)
            ::unlink(temp.constData());
        monitor.namedTemporary(false);
        return renamed ? Linked::Done : Linked::Failed;
    }
    return Linked::Failed;
}

} // namespace

bool copyFile(const QString &source, const QString &destination, CopyMonitor *watcher)
{
    Unwatched unwatched;
    CopyMonitor &monitor = watcher ? *watcher : unwatched;
    const QByteArray src = FileNames::encode(source);
    const QByteArray dst = FileNames::encode(destination);

    // Non-blocking, so that a pipe put in the file's place cannot hang the
    // walk; it is refused below as no plain file.
    Fd in(::open(src.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in.get() < 0)
        return false;
    struct stat srcStat;
    if (::fstat(in.get(), &srcStat) != 0 || !S_ISREG(srcStat.st_mode))
        return false;

    struct stat dstStat;
    if (::stat(dst.constData(), &dstStat) == 0) {
        if (dstStat.st_dev == srcStat.st_dev && dstStat.st_ino == srcStat.st_ino)
            return true; // the file itself: nothing to do, and nothing to lose
        if (!S_ISREG(dstStat.st_mode) || isReadOnly(destination))
            return false;
    } else if (errno != ENOENT) {
        return false;
    }

    const int slash = dst.lastIndexOf('/');
    const QByteArray folder = FileNames::parentOf(dst);
    const QByteArray tempPrefix = (slash >= 0 ? dst.left(slash + 1) : QByteArray()) + ".vardel-copy-";

    // An unnamed file vanishes with the program, however it ends.
    if (monitor.unnamedTemporary()) {
        Fd out(::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (out.get() >= 0) {
            if (!writeCopy(in.get(), out.get(), srcStat, monitor))
                return false;
            const Linked linked = linkInPlace(out.get(), dst, tempPrefix, monitor);
            if (linked != Linked::Unable)
                return linked == Linked::Done;
            // It cannot be given a name here: written again, named.
            if (monitor.cancelled() || ::lseek(in.get(), 0, SEEK_SET) != 0)
                return false;
        }
    }

    // Written beside the destination under a temporary name, then renamed
    // over it in one step. Given up, the copy removes it itself: nobody else
    // touches the destination folder.
    QByteArray temp = tempPrefix + "XXXXXX";
    monitor.namedTemporary(true);
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        monitor.namedTemporary(false);
        return false;
    }
    bool ok = writeCopy(in.get(), out.get(), srcStat, monitor);
    ok = ::close(out.release()) == 0 && ok;
    ok = ok && !monitor.cancelled() && ::rename(temp.constData(), dst.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    monitor.namedTemporary(false);
    return ok;
}

bool deleteFile(const QString &path)
{
    const QByteArray p = FileNames::encode(path);
    struct stat st;
    if (::stat(p.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (isReadOnly(path))
        return false;
    // unlink() never removes a folder, even one that took the file's place
    // a moment ago.
    return ::unlink(p.constData()) == 0;
}

} // namespace FileOps
