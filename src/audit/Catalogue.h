// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "filelist/RowTable.h"

#include <memory>
#include <vector>

// KnownFiles: the names of the files that the last full read of the watched
// folder found, kept in name order in the same store as that read's rows.
class Catalogue
{
public:
    // The catalogue of a listing's rows (in name order), its Unlisted names
    // included; those rows are then dropped, and the others share the
    // catalogue's names.
    static std::shared_ptr<const Catalogue> take(RowTable &rows);

    bool contains(const NameView &name) const;
    qsizetype count() const { return qsizetype(m_refs.size()); }

    // Takes the names of the rows (in name order) from here where it knows
    // them, and marks the others new.
    void mark(RowTable &rows) const;

private:
    std::shared_ptr<const NameBytes> m_names;
    std::vector<std::uint32_t> m_refs; // in name order
};
