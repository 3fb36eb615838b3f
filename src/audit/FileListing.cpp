#include "audit/FileListing.h"

#include "platform/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

} // namespace

bool FileListing::refresh()
{
    m_files.clear();
    const QByteArray encodedPath = FileNames::encode(m_path);
    if (encodedPath.isEmpty())
        return false;
    const int dirFd = ::open(encodedPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0)
        return false;
    DIR *dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return false;
    }

    // Names are folded once here rather than in every comparison of the
    // sort; a name that folding would not change is its own key and costs
    // no copy.
    std::vector<QString> keys;
    keys.reserve(m_lastCount + m_lastCount / 8 + 16);
    m_files.reserve(keys.capacity());
    while (const dirent *entry = ::readdir(dir)) {
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
            // attributes cannot be read is still listed.
            if (errno == ENOENT || type != DT_REG)
                continue;
            file.error = errno;
        }
        // Reversibly: a name that is not valid UTF-8 still names this file,
        // and no other, when an action turns it back into bytes.
        file.name = FileNames::decode(entry->d_name, qsizetype(std::strlen(entry->d_name)));
        keys.push_back(needsFolding(file.name) ? file.name.toCaseFolded() : file.name);
        m_files.push_back(std::move(file));
    }
    ::closedir(dir);

    // Sort an order of small indexes, then move each file once into its
    // place: a million files never need a second copy of the listing.
    const std::size_t n = m_files.size();
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = keys[a].compare(keys[b]);
        return c < 0 || (c == 0 && m_files[a].name < m_files[b].name);
    });
    std::vector<QString>().swap(keys);
    for (std::size_t start = 0; start < n; ++start) {
        if (order[start] == start)
            continue;
        ListedFile held = std::move(m_files[start]);
        std::size_t at = start;
        for (;;) {
            const std::size_t from = order[at];
            order[at] = std::uint32_t(at);
            if (from == start) {
                m_files[at] = std::move(held);
                break;
            }
            m_files[at] = std::move(m_files[from]);
            at = from;
        }
    }
    m_lastCount = n;
    return true;
}
