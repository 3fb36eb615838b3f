#include "audit/FileListing.h"

#include "filelist/FileTypes.h"
#include "platform/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool needsFolding(const QString &name)
{
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || (u >= u'A' && u <= u'Z'))
            return true;
    }
    return false;
}

// Name order: case ignored, ties by the exact name. Names are folded once
// here rather than in every comparison; a name that folding would not
// change is its own key and costs no copy.
std::vector<std::uint32_t> nameOrder(const std::vector<ListedFile> &files)
{
    std::vector<QString> keys;
    keys.reserve(files.size());
    for (const ListedFile &file : files)
        keys.push_back(needsFolding(file.name) ? file.name.toCaseFolded() : file.name);
    std::vector<std::uint32_t> order(files.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = keys[a].compare(keys[b]);
        return c < 0 || (c == 0 && files[a].name < files[b].name);
    });
    return order;
}

// Moves each file once into its place in that order: a million files never
// need a second copy of the listing.
void arrange(std::vector<ListedFile> &files, std::vector<std::uint32_t> order)
{
    const std::size_t n = files.size();
    for (std::size_t start = 0; start < n; ++start) {
        if (order[start] == start)
            continue;
        ListedFile held = std::move(files[start]);
        std::size_t at = start;
        for (;;) {
            const std::size_t from = order[at];
            order[at] = std::uint32_t(at);
            if (from == start) {
                files[at] = std::move(held);
                break;
            }
            files[at] = std::move(files[from]);
            at = from;
        }
    }
}

} // namespace

void FileListing::forget()
{
    std::vector<char>().swap(m_raw);
    std::vector<std::uint32_t>().swap(m_rawStart);
    std::vector<QString>().swap(m_names);
    std::vector<std::uint8_t>().swap(m_types);
    std::vector<std::uint32_t>().swap(m_order);
}

bool FileListing::list(const QString &path, std::vector<ListedFile> &files)
{
    files.clear();
    if (path != m_path) {
        forget();
        m_path = path;
    }
    const QByteArray encodedPath = FileNames::encode(path);
    const int dirFd = encodedPath.isEmpty() ? -1 : ::open(encodedPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) {
        forget();
        return false;
    }
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        forget();
        return false;
    }

    const std::size_t known = m_names.size();
    files.reserve(known + known / 8 + 16);
    // While every name so far is the one the last listing gave at that
    // place, the last listing's texts stand for them.
    bool same = true;
    std::vector<char> raw;
    std::vector<std::uint32_t> rawStart;
    std::vector<QString> names;
    std::vector<std::uint8_t> types;
    for (;;) {
        // A listing that fails half way is no listing: what it gave would
        // be taken for the whole folder.
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            if (errno == 0)
                break;
            ::closedir(dir);
            files.clear();
            return false;
        }
        if (entry->d_name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        struct stat st;
        ListedFile file;
        if (::fstatat(dirFd, entry->d_name, &st, 0) == 0) {
            if (!S_ISREG(st.st_mode))
                continue;
            file.size = st.st_size;
            file.mtime = st.st_mtim.tv_sec;
        } else {
            // A file that vanished since the folder was read, or a link that
            // leads nowhere, is no plain file. A regular file whose
            // attributes cannot be read is still listed. Where the listing
            // gives no types (NFS, FUSE), the entry itself is looked at; one
            // that cannot be looked at either may be a file, and is listed.
            const int error = errno;
            bool plain = type == DT_REG;
            if (type == DT_UNKNOWN && error != ENOENT) {
                struct stat own;
                plain = ::fstatat(dirFd, entry->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 ? S_ISREG(own.st_mode)
                                                                                        : errno != ENOENT;
            }
            if (error == ENOENT || !plain)
                continue;
            file.error = error;
        }
        const std::size_t at = files.size();
        const std::size_t length = std::strlen(entry->d_name);
        if (same && at < known && std::strcmp(m_raw.data() + m_rawStart[at], entry->d_name) == 0) {
            file.name = m_names[at];
            file.type = m_types[at];
        } else {
            if (same) {
                // The folder changed here: what came before is kept, the rest
                // is learned anew.
                same = false;
                raw.assign(m_raw.begin(), m_raw.begin() + (at < known ? m_rawStart[at] : m_raw.size()));
                rawStart.assign(m_rawStart.begin(), m_rawStart.begin() + std::min(at, known));
                names.assign(m_names.begin(), m_names.begin() + std::min(at, known));
                types.assign(m_types.begin(), m_types.begin() + std::min(at, known));
                forget();
            }
            // Reversibly: a name that is not valid UTF-8 still names this
            // file, and no other, when an action turns it back into bytes.
            file.name = FileNames::decode(entry->d_name, qsizetype(length));
            rawStart.push_back(std::uint32_t(raw.size()));
            raw.insert(raw.end(), entry->d_name, entry->d_name + length + 1);
            file.type = fileTypeIndex(file.name);
            names.push_back(file.name);
            types.push_back(std::uint8_t(file.type));
        }
        files.push_back(std::move(file));
    }
    ::closedir(dir);

    if (same && files.size() == known) {
        arrange(files, m_order);
        return true;
    }
    if (same) {
        // Only names at the end went away.
        const std::size_t n = files.size();
        raw.assign(m_raw.begin(), m_raw.begin() + (n < known ? m_rawStart[n] : m_raw.size()));
        rawStart.assign(m_rawStart.begin(), m_rawStart.begin() + n);
        names.assign(m_names.begin(), m_names.begin() + n);
        types.assign(m_types.begin(), m_types.begin() + n);
    }
    m_raw = std::move(raw);
    m_rawStart = std::move(rawStart);
    m_names = std::move(names);
    m_types = std::move(types);
    m_order = nameOrder(files);
    arrange(files, m_order);
    return true;
}
