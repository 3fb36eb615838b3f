// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/FileListing.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where a file whose name the folder gave turns out to be: a row, an Absent
// row (no plain file) or an Unlisted one (not found a moment later).
// `type` is what the listing said; a name looked up alone (DT_UNKNOWN) is
// looked at itself too, to know a link. (A listing without types comes
// from a share, listed in full at every tick: its links need not be known.)
void addFound(RowTable &rows, int dirFd, const NameView &name, unsigned char type, bool alone = false)
{
    struct stat st;
    FileRow row;
    if (::fstatat(dirFd, name.data, &st, 0) == 0) {
        struct stat own;
        if (alone && ::fstatat(dirFd, name.data, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode))
            type = DT_LNK;
        if (S_ISREG(st.st_mode))
            row = AddListItem(name, st.st_size, st.st_mtim.tv_sec, 0, false);
        else
            row.flags = FileRow::Absent;
        if (type == DT_LNK)
            row.flags |= FileRow::Linked;
        else if (S_ISREG(st.st_mode) && st.st_nlink > 1)
            row.flags |= FileRow::Linked | FileRow::Shared;
        if (row.flags != FileRow::Absent)
            rows.append(name, row);
        return;
    }
    // A link that leads nowhere is no plain file. A regular file whose
    // attributes cannot be read is still listed. Where the listing gives
    // no types (NFS, FUSE), the entry itself is looked at; one that cannot
    // be looked at either may be a file, and is listed. A file the folder
    // gave that is gone a moment later (or that a share did not find for a
    // moment) has no row, but the catalogue knows it.
    const int error = errno;
    struct stat own;
    const bool looked = type == DT_UNKNOWN && ::fstatat(dirFd, name.data, &own, AT_SYMLINK_NOFOLLOW) == 0;
    if (looked && S_ISLNK(own.st_mode))
        type = DT_LNK;
    if (type == DT_LNK) {
        row.flags = FileRow::Absent | FileRow::Linked;
    } else if (error == ENOENT) {
        row = AddListItem(name, 0, 0, error, false);
        row.flags |= FileRow::Unlisted;
    } else if (type == DT_REG || (looked ? S_ISREG(own.st_mode) : errno != ENOENT)) {
        row = AddListItem(name, 0, 0, error, false);
    } else {
        return;
    }
    rows.append(name, row);
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
        addFound(rows, dirFd, {entry->d_name, length, NameOrder::isAscii(entry->d_name, length)}, type);
    }
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
        const int before = changes.size();
        addFound(changes, dirFd, name, DT_UNKNOWN, true);
        if (changes.size() == before) {
            FileRow absent;
            absent.flags = FileRow::Absent;
            changes.append(name, absent);
        }
        // Gone a moment after the event, it is no row here either; nor is a
        // hidden name, which only tells whether it is a second name.
        FileRow &row = changes.row(changes.size() - 1);
        if ((row.flags & FileRow::Unlisted) || bytes.startsWith('.'))
            row.flags = FileRow::Absent | (row.flags & FileRow::Shared);
    }
    ::close(dirFd);
    return LookUp::Found;
}

} // namespace FileListing
