#include "audit/Catalogue.h"

#include "audit/FileListing.h"

void Catalogue::replace(const FileListing &listing)
{
    QStringList names;
    QSet<QString> lookup;
    names.reserve(listing.count());
    lookup.reserve(listing.count());
    for (const ListedFile &file : listing.files()) {
        names.append(file.name);
        lookup.insert(file.name);
    }
    m_names = std::move(names);
    m_lookup = std::move(lookup);
}
