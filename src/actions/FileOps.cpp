// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "actions/FileOps.h"

#include "platform/FileNames.h"

#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <set>
#include <string_view>

#include <dirent.h>
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

namespace {

// A file with no write permission for anyone, or one this user may not
// write, is read-only: it is neither replaced nor deleted. So is a file
// whose permissions cannot be read.
bool isReadOnly(const QString &path)
{
    const QByteArray p = FileNames::encode(path);
    struct stat st;
    // A check that cannot be made protects the file all the same.
    if (::stat(p.constData(), &st) != 0)
        return true;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(p.constData(), W_OK) != 0;
}

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

// A named temporary is ".vardel-copy-" and six letters or digits, as
// mkostemp() makes them: the one pattern the sweep of leftovers removes.
constexpr char kTempPrefix[] = ".vardel-copy-";
constexpr int kTempSuffix = 6;
constexpr std::string_view kTempLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

QByteArray randomSuffix()
{
    QByteArray suffix;
    for (int i = 0; i < kTempSuffix; ++i)
        suffix += kTempLetters[std::size_t(QRandomGenerator::global()->bounded(int(kTempLetters.size())))];
    return suffix;
}

bool isTemporaryName(const char *name)
{
    const std::size_t prefix = sizeof kTempPrefix - 1;
    if (std::strncmp(name, kTempPrefix, prefix) != 0 || std::strlen(name) != prefix + kTempSuffix)
        return false;
    return std::all_of(name + prefix, name + prefix + kTempSuffix,
                       [](char c) { return kTempLetters.find(c) != std::string_view::npos; });
}

// When each copy running now began, by the clock that stamps the files'
// change times.
std::mutex s_copiesMutex;
std::multiset<qint64> s_copiesSince;

qint64 coarseNow()
{
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

class RunningCopy
{
public:
    RunningCopy()
    {
        const std::lock_guard<std::mutex> lock(s_copiesMutex);
        m_since = s_copiesSince.insert(coarseNow());
    }
    ~RunningCopy()
    {
        const std::lock_guard<std::mutex> lock(s_copiesMutex);
        s_copiesSince.erase(m_since);
    }
    RunningCopy(const RunningCopy &) = delete;
    RunningCopy &operator=(const RunningCopy &) = delete;

private:
    std::multiset<qint64>::iterator m_since;
};

// Gives the unnamed file open at fd a name; 0 or the errno.
int linkUnnamed(int fd, const QByteArray &to)
{
    // Through /proc: the direct way (AT_EMPTY_PATH) needs a privilege most
    // users lack. Without /proc the copy takes a name of its own instead.
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, proc.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
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
        if (const int e = linkUnnamed(fd, temp); e != 0) {
            if (e == EEXIST)
                continue;
            return Linked::Failed;
        }
        const bool renamed = ::rename(temp.constData(), dst.constData()) == 0;
        if (!renamed)
            ::unlink(temp.constData());
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
    const QByteArray tempPrefix = (slash >= 0 ? dst.left(slash + 1) : QByteArray()) + kTempPrefix;
    const RunningCopy running;

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
    QByteArray temp = tempPrefix + QByteArray(kTempSuffix, 'X');
    Fd out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0)
        return false;
    bool ok = writeCopy(in.get(), out.get(), srcStat, monitor);
    ok = ::close(out.release()) == 0 && ok;
    ok = ok && !monitor.cancelled() && ::rename(temp.constData(), dst.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}

void removeStrayTemporaries(const QString &folder)
{
    qint64 before = std::numeric_limits<qint64>::max();
    {
        const std::lock_guard<std::mutex> lock(s_copiesMutex);
        if (!s_copiesSince.empty())
            before = *s_copiesSince.begin();
    }
    DIR *dir = ::opendir(FileNames::encode(folder).constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        struct stat st;
        if (isTemporaryName(entry->d_name) && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec < before)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
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
