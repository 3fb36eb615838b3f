#include "audit/FileListing.h"

#include "platform/FileNames.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileListing {

bool list(const QString &path, RowTable &rows)
{
    rows = RowTable();
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
        const NameView name {entry->d_name, length, NameOrder::isAscii(entry->d_name, length)};
        struct stat st;
        if (::fstatat(dirFd, entry->d_name, &st, 0) == 0) {
            if (S_ISREG(st.st_mode))
                rows.append(name, AddListItem(name, st.st_size, st.st_mtim.tv_sec, 0, false));
            continue;
        }
        // A link that leads nowhere is no plain file. A regular file whose
        // attributes cannot be read is still listed. Where the listing gives
        // no types (NFS, FUSE), the entry itself is looked at; one that
        // cannot be looked at either may be a file, and is listed. A file
        // the folder gave that is gone a moment later (or that a share did
        // not find for a moment) has no row, but the catalogue knows it.
        const int error = errno;
        if (error == ENOENT) {
            if (type != DT_LNK) {
                FileRow unlisted = AddListItem(name, 0, 0, error, false);
                unlisted.flags |= FileRow::Unlisted;
                rows.append(name, unlisted);
            }
            continue;
        }
        bool plain = type == DT_REG;
        if (type == DT_UNKNOWN) {
            struct stat own;
            plain = ::fstatat(dirFd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 ? S_ISREG(own.st_mode)
                                                                                    : errno != ENOENT;
        }
        if (plain)
            rows.append(name, AddListItem(name, 0, 0, error, false));
    }
    ::closedir(dir);
    rows.sortByName();
    return true;
}

} // namespace FileListing
