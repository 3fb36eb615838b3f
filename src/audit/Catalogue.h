#pragma once

#include <QString>
#include <QStringList>

#include <vector>

struct ListedFile;

// KnownFiles: the names of the files that the last full read of the watched
// folder found, kept in name order.
class Catalogue
{
public:
    void replace(const std::vector<ListedFile> &files);

    bool contains(const QString &name) const;
    qsizetype count() const { return qsizetype(m_names.size()); }
    // In name order.
    QStringList names() const { return QStringList(m_names.cbegin(), m_names.cend()); }

    // Looks up the names of a listing in name order, one after the other:
    // each is first compared with the name after the last one found, which
    // a listing of much the same folder mostly gives. Every other name is
    // searched for.
    class Walk
    {
    public:
        explicit Walk(const Catalogue &catalogue)
            : m_catalogue(catalogue)
        { }
        bool contains(const QString &name);

    private:
        const Catalogue &m_catalogue;
        std::size_t m_next = 0;
    };

private:
    // Where the name is, or would be put.
    std::size_t position(const QString &name) const;

    std::vector<QString> m_names;
};
