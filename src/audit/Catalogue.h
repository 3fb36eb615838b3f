#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <vector>

struct ListedFile;

// KnownFiles: the names of the files that the last full read of the watched
// folder found, in a hash set, so that a lookup costs the same for ten files
// or a million.
class Catalogue
{
public:
    void replace(const std::vector<ListedFile> &files);

    bool contains(const QString &name) const { return m_lookup.contains(name); }
    qsizetype count() const { return m_lookup.size(); }
    // In name order.
    QStringList names() const;

private:
    QSet<QString> m_lookup;
};
