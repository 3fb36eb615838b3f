#pragma once

#include "filelist/FileRow.h"

#include <QString>

#include <cstdint>
#include <vector>

// Lists the plain files directly in one folder (regular files and
// links to them), hidden names and special files left out, in name order
// ignoring case with ties broken by the exact name. Never shown.
//
// It remembers the names of the last folder it listed in the order the
// folder gave them: when the folder gives the same names in the same order
// again, as it does while nothing is added or removed, their texts, types
// and order are taken over instead of being worked out again.
class FileListing
{
public:
    // False (and no files) when the folder cannot be read, also when reading
    // it fails half way.
    bool list(const QString &path, std::vector<ListedFile> &files);

private:
    void forget();

    QString m_path;
    // The last listing's names in the folder's own order: their bytes, each
    // ended by a NUL, where each begins, and their texts.
    std::vector<char> m_raw;
    std::vector<std::uint32_t> m_rawStart;
    std::vector<QString> m_names;
    std::vector<std::uint8_t> m_types;
    // m_order[i]: which of those names comes i-th in name order.
    std::vector<std::uint32_t> m_order;
};
