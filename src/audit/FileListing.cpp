#include "audit/FileListing.h"

#include "platform/FileNames.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool FileListing::lessThan(const QString &a, const QString &b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c < 0 || (c == 0 && a < b);
}

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
    struct Keyed {
        QString key;
        ListedFile file;
    };
    std::vector<Keyed> found;
    found.reserve(m_lastCount + m_lastCount / 8 + 16);
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
        QString key = needsFolding(file.name) ? file.name.toCaseFolded() : file.name;
        found.push_back({std::move(key), std::move(file)});
    }
    ::closedir(dir);

    std::sort(found.begin(), found.end(), [](const Keyed &a, const Keyed &b) {
        const int c = a.key.compare(b.key);
        return c < 0 || (c == 0 && a.file.name < b.file.name);
    });
    m_files.reserve(found.size());
    for (Keyed &k : found)
        m_files.push_back(std::move(k.file));
    m_lastCount = m_files.size();
    return true;
}
