#include "actions/FileOps.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileOps {

QString folderWithSlash(const QString &folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString joinPath(const QString &folder, const QString &name)
{
    return folderWithSlash(folder) + name;
}

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
    if (::stat(p.constData(), &st) != 0)
        return false;
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

bool copyContents(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
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
    }
}

} // namespace

bool copyFile(const QString &source, const QString &destination)
{
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

    // Write beside the destination, then rename over it in one step.
    const int slash = dst.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? dst.left(slash + 1) : QByteArray()) + ".vardel-copy-XXXXXX";
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0)
        return false;
    // The permission bits only: a copy never carries set-user-ID or set-group-ID.
    bool ok = copyContents(in.get(), out.get()) && ::fchmod(out.get(), srcStat.st_mode & 0777) == 0;
    if (ok) {
        const struct timespec times[2] = {srcStat.st_atim, srcStat.st_mtim};
        ::futimens(out.get(), times);
        ok = ::fsync(out.get()) == 0;
    }
    ok = ::close(out.release()) == 0 && ok;
    if (ok)
        ok = ::rename(temp.constData(), dst.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
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
