#include "audit/Catalogue.h"

#include "audit/FileListing.h"

void Catalogue::replace(const std::vector<ListedFile> &files)
{
    QStringList names;
    QSet<QString> lookup;
    names.reserve(qsizetype(files.size()));
    lookup.reserve(qsizetype(files.size()));
    for (const ListedFile &file : files) {
        names.append(file.name);
        lookup.insert(file.name);
    }
    m_names = std::move(names);
    m_lookup = std::move(lookup);
}
