#include "audit/Catalogue.h"

#include "audit/FileListing.h"
#include "platform/FileNames.h"

#include <algorithm>

namespace {

// The same text; names carried over from the listing that made the
// catalogue share it, and compare without reading it.
bool sameName(const QString &a, const QString &b)
{
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

} // namespace

void Catalogue::replace(const std::vector<ListedFile> &files)
{
    std::vector<QString> names;
    names.reserve(files.size());
    for (const ListedFile &file : files)
        names.push_back(file.name);
    // A listing comes in name order; anything else is put in it.
    if (!std::is_sorted(names.begin(), names.end(), FileNames::nameLess))
        std::sort(names.begin(), names.end(), FileNames::nameLess);
    names.erase(std::unique(names.begin(), names.end()), names.end());
    m_names = std::move(names);
}

std::size_t Catalogue::position(const QString &name) const
{
    return std::size_t(std::lower_bound(m_names.begin(), m_names.end(), name, FileNames::nameLess) - m_names.begin());
}

bool Catalogue::contains(const QString &name) const
{
    const std::size_t at = position(name);
    return at < m_names.size() && m_names[at] == name;
}

bool Catalogue::Walk::contains(const QString &name)
{
    const std::vector<QString> &names = m_catalogue.m_names;
    if (m_next < names.size() && sameName(names[m_next], name)) {
        ++m_next;
        return true;
    }
    const std::size_t at = m_catalogue.position(name);
    if (at < names.size() && names[at] == name) {
        m_next = at + 1;
        return true;
    }
    return false;
}
