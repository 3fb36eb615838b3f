// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/FileListing.h"

#include "platform/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

void unread(FileRow &row, int error)
{
    row.flags |= FileRow::Unread;
    row.error = std::uint8_t(std::min(error, 255));
}

// Looks at a file the folder named and fills in its row: its size and time,
// or an Unread row whose attributes could not be read, or Absent (no plain
// file; Linked as well for a link that leads to none). `type` is what the
// listing said; a name looked up alone (DT_UNKNOWN) is looked at itself too,
// to know a link. (A listing without types comes from a share, listed in
// full at every tick: its links need not be known.)
void look(int dirFd, const char *name, unsigned char type, bool alone, FileRow &row)
{
    struct stat st;
    if (::fstatat(dirFd, name, &st, 0) == 0) {
        struct stat own;
        if (alone && ::fstatat(dirFd, name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode))
            type = DT_LNK;
        if (S_ISREG(st.st_mode)) {
            row.size = st.st_size;
            row.mtime = st.st_mtim.tv_sec;
        } else {
            row.flags = FileRow::Absent;
        }
        if (type == DT_LNK)
            row.flags |= FileRow::Linked;
        else if (S_ISREG(st.st_mode) && st.st_nlink > 1)
            row.flags |= FileRow::Linked | FileRow::Shared;
        return;
    }
    // A link that leads nowhere is no plain file. A regular file whose
    // attributes cannot be read is still listed. Where the listing gives
    // no types (NFS, FUSE), the entry itself is looked at; one that cannot
    // be looked at either may be a file, and is listed. A file the folder
    // gave that is gone a moment later (or that a share did not find for a
    // moment) is Unlisted: no row, but the catalogue knows it.
    const int error = errno;
    struct stat own;
    const bool looked = type == DT_UNKNOWN && ::fstatat(dirFd, name, &own, AT_SYMLINK_NOFOLLOW) == 0;
    if (looked && S_ISLNK(own.st_mode))
        type = DT_LNK;
    if (type == DT_LNK) {
        row.flags = FileRow::Absent | FileRow::Linked;
    } else if (error == ENOENT) { // nothing to tell of it: it was not there
        row.flags |= FileRow::Unlisted;
    } else if (type == DT_REG || (looked ? S_ISREG(own.st_mode) : errno != ENOENT)) {
        unread(row, error);
    } else {
        row.flags = FileRow::Absent;
    }
}

// Looks at the files of rows [from, to), named as the folder gave them.
void lookAt(int dirFd, RowTable &rows, const std::vector<unsigned char> &types, int from, int to)
{
    char name[256]; // a name of the folder has at most 255 bytes
    for (int i = from; i < to; ++i) {
        const NameView view = rows.name(i);
        std::memcpy(name, view.data, std::size_t(view.size));
        name[view.size] = '\0';
        look(dirFd, name, types[std::size_t(i)], false, rows.row(i));
    }
}

// The files are looked at on two threads, each its own half of the rows: the
// disk answers two lookups at once about as fast as one, and a share that
// waits on every lookup waits half as long.
void lookAtAll(int dirFd, RowTable &rows, const std::vector<unsigned char> &types)
{
    const int half = rows.size() / 2;
    std::thread other;
    try {
        other = std::thread(lookAt, dirFd, std::ref(rows), std::cref(types), half, rows.size());
    } catch (const std::system_error &) { // no thread to be had: all of them here
    }
    lookAt(dirFd, rows, types, 0, other.joinable() ? half : rows.size());
    if (other.joinable())
        other.join();
}

} // namespace

namespace FileListing {

bool list(const QString &path, RowTable &rows)
{
    rows.clear();
    const QByteArray encodedPath = FileNames::encode(path);
    const int dirFd = encodedPath.isEmpty() ? -1 : ::open(encodedPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return false;
    }
    // The names first, then their files.
    std::vector<unsigned char> types;
    for (;;) {
        // A listing that fails half way is no listing: what it gave would
        // be taken for the whole folder.
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno == 0)
                break;
            ::closedir(dir);
            rows = RowTable();
            return false;
        }
        if (entry->d_name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        const int length = int(std::strlen(entry->d_name));
        const NameView name {entry->d_name, length, NameOrder::isAscii(entry->d_name, length)};
        rows.append(name, AddListItem(name, 0, 0, 0, false));
        types.push_back(type);
    }
    lookAtAll(dirFd, rows, types);
    ::closedir(dir);
    return true;
}

LookUp lookUp(const QString &path, const std::vector<QByteArray> &names, dev_t device, ino_t inode, RowTable &changes)
{
    changes = RowTable();
    const QByteArray encodedPath = FileNames::encode(path);
    const int dirFd = encodedPath.isEmpty() ? -1 : ::open(encodedPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return LookUp::NotAvailable;
    struct stat st;
    if (::fstat(dirFd, &st) != 0 || (device && (st.st_dev != device || st.st_ino != inode))) {
        ::close(dirFd);
        return LookUp::Replaced;
    }
    for (const QByteArray &bytes : names) {
        const NameView name {bytes.constData(), int(bytes.size()),
                             NameOrder::isAscii(bytes.constData(), int(bytes.size()))};
        FileRow row = AddListItem(name, 0, 0, 0, false);
        look(dirFd, bytes.constData(), DT_UNKNOWN, true, row);
        // Gone a moment after the event, it is no row here either; nor is a
        // hidden name, which only tells whether it is a second name.
        if ((row.flags & FileRow::Unlisted) || bytes.startsWith('.'))
            row.flags = FileRow::Absent | (row.flags & FileRow::Shared);
        changes.append(name, row);
    }
    ::close(dirFd);
    return LookUp::Found;
}

} // namespace FileListing
