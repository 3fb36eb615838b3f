#include "audit/Catalogue.h"

#include "audit/FileListing.h"

#include <algorithm>

void Catalogue::replace(const std::vector<ListedFile> &files)
{
    QSet<QString> lookup;
    lookup.reserve(qsizetype(files.size()));
    for (const ListedFile &file : files)
        lookup.insert(file.name);
    m_lookup = std::move(lookup);
}

QStringList Catalogue::names() const
{
    QStringList names(m_lookup.cbegin(), m_lookup.cend());
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c < 0 || (c == 0 && a < b);
    });
    return names;
}
