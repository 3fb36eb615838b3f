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

    bool contains(const NameView &name) const { return rankOf(name) != kNone; }
    qsizetype count() const { return qsizetype(m_refs.size()); }

    // Puts the rows (in any order) in name order, takes their names from
    // here where it knows them, and marks the others new.
    void mark(RowTable &rows) const;

private:
    static constexpr std::uint32_t kNone = ~0u;
    // Where the name stands in name order, or kNone.
    std::uint32_t rankOf(const NameView &name) const;
    // The same, searched from that slot on.
    std::uint32_t rankFrom(const NameView &name, std::size_t at) const;
    void index();

    std::shared_ptr<const NameBytes> m_names;
    std::vector<std::uint32_t> m_refs; // in name order
    // Each name's place in m_refs, plus one, by the name's hash; 0 is free.
    std::vector<std::uint32_t> m_slots;
};
