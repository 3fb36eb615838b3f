// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/Catalogue.h"

#include <algorithm>

std::shared_ptr<const Catalogue> Catalogue::take(RowTable &rows)
{
    auto catalogue = std::make_shared<Catalogue>();
    catalogue->m_names = rows.shareNames();
    catalogue->m_refs.reserve(std::size_t(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        catalogue->m_refs.push_back(rows.row(i).name);
    rows.dropFlagged(FileRow::Unlisted);
    return catalogue;
}

bool Catalogue::contains(const NameView &name) const
{
    if (!m_names)
        return false;
    const NameBytes &names = *m_names;
    const auto at = std::lower_bound(m_refs.begin(), m_refs.end(), name, [&](std::uint32_t ref, const NameView &n) {
        return NameOrder::compare(nameIn(names, ref), n) < 0;
    });
    return at != m_refs.end() && nameIn(names, *at) == name;
}

void Catalogue::mark(RowTable &rows) const
{
    if (!m_names) {
        for (int i = 0; i < rows.size(); ++i)
            rows.row(i).flags |= FileRow::New;
        return;
    }
    rows.rebase(m_names, m_refs);
}
