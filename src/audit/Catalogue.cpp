// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/Catalogue.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

std::size_t hashOf(const NameView &name)
{
    return std::hash<std::string_view>()({name.data, std::size_t(name.size)});
}

// A slot for the hash, spread over the table's size.
std::size_t slotOf(std::size_t hash, std::size_t slots)
{
    return std::size_t((std::uint64_t(std::uint32_t(hash)) * slots) >> 32);
}

} // namespace

std::shared_ptr<const Catalogue> Catalogue::take(RowTable &rows)
{
    auto catalogue = std::make_shared<Catalogue>();
    catalogue->m_names = rows.shareNames();
    catalogue->m_refs.reserve(std::size_t(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        catalogue->m_refs.push_back(rows.row(i).name);
    rows.dropFlagged(FileRow::Unlisted);
    catalogue->index();
    return catalogue;
}

void Catalogue::index()
{
    // A quarter of the slots stay free, so that a search ends soon.
    m_slots.assign(m_refs.size() + m_refs.size() / 3 + 1, 0);
    for (std::size_t rank = 0; rank < m_refs.size(); ++rank) {
        std::size_t at = slotOf(hashOf(nameIn(*m_names, m_refs[rank])), m_slots.size());
        while (m_slots[at])
            at = at + 1 == m_slots.size() ? 0 : at + 1;
        m_slots[at] = std::uint32_t(rank + 1);
    }
}

std::uint32_t Catalogue::rankOf(const NameView &name) const
{
    return m_slots.empty() ? kNone : rankFrom(name, slotOf(hashOf(name), m_slots.size()));
}

std::uint32_t Catalogue::rankFrom(const NameView &name, std::size_t at) const
{
    for (; m_slots[at]; at = at + 1 == m_slots.size() ? 0 : at + 1) {
        const std::uint32_t rank = m_slots[at] - 1;
        if (nameIn(*m_names, m_refs[rank]) == name)
            return rank;
    }
    return kNone;
}

void Catalogue::mark(RowTable &rows) const
{
    // The rows the catalogue knows stand in its order, which costs no
    // comparison; only the new ones are sorted, and merged in.
    std::vector<std::uint32_t> byRank(m_refs.size(), kNone);
    std::vector<std::uint32_t> fresh;
    // A batch at a time, the memory of each step asked for ahead of it: a
    // million names would be mostly waits on memory one by one.
    constexpr int kBatch = 32;
    std::array<std::size_t, kBatch> at {};
    for (int first = 0; first < rows.size(); first += kBatch) {
        const int batch = std::min(kBatch, rows.size() - first);
        if (!m_slots.empty()) {
            for (int k = 0; k < batch; ++k) {
                at[k] = slotOf(hashOf(rows.name(first + k)), m_slots.size());
                __builtin_prefetch(&m_slots[at[k]]);
            }
            for (int k = 0; k < batch; ++k) {
                if (m_slots[at[k]])
                    __builtin_prefetch(&m_refs[m_slots[at[k]] - 1]);
            }
            for (int k = 0; k < batch; ++k) {
                if (m_slots[at[k]])
                    __builtin_prefetch(m_names->data() + m_refs[m_slots[at[k]] - 1]);
            }
        }
        for (int k = 0; k < batch; ++k) {
            const int i = first + k;
            const std::uint32_t rank = m_slots.empty() ? kNone : rankFrom(rows.name(i), at[k]);
            if (rank == kNone)
                fresh.push_back(std::uint32_t(i));
            else
                byRank[rank] = std::uint32_t(i);
        }
    }
    const auto less
        = [&](std::uint32_t a, std::uint32_t b) { return NameOrder::less(rows.name(int(a)), rows.name(int(b))); };
    std::sort(fresh.begin(), fresh.end(), less);
    // Where each new name stands among the catalogue's: the rows are then
    // merged by place alone.
    std::vector<std::size_t> places;
    places.reserve(fresh.size());
    for (const std::uint32_t row : fresh) {
        const auto place = std::lower_bound(
            m_refs.begin(), m_refs.end(), rows.name(int(row)),
            [&](std::uint32_t ref, const NameView &name) { return NameOrder::less(nameIn(*m_names, ref), name); });
        places.push_back(std::size_t(place - m_refs.begin()));
    }
    std::vector<std::uint32_t> order;
    std::vector<std::uint32_t> names;
    order.reserve(std::size_t(rows.size()));
    names.reserve(std::size_t(rows.size()));
    std::size_t next = 0;
    const auto putFresh = [&](std::size_t before) {
        for (; next < fresh.size() && places[next] < before; ++next) {
            order.push_back(fresh[next]);
            names.push_back(RowTable::kNoName);
        }
    };
    for (std::size_t rank = 0; rank < byRank.size(); ++rank) {
        if (byRank[rank] == kNone)
            continue;
        putFresh(rank + 1);
        order.push_back(byRank[rank]);
        names.push_back(m_refs[rank]);
    }
    putFresh(m_refs.size() + 1);
    rows.reorder(order);
    rows.rebase(m_names, names);
}
