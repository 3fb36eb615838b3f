// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "filelist/FileRow.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

// Name order: case ignored, ties broken by the exact name (as
// FileNames::nameLess orders the texts), worked out on the bytes; names that
// are not plain ASCII are decoded for it.
namespace NameOrder {
int compare(const NameView &a, const NameView &b);
inline bool less(const NameView &a, const NameView &b)
{
    return compare(a, b) < 0;
}
bool isAscii(const char *bytes, int size);
std::uint8_t hashByte(const char *bytes, int size);
} // namespace NameOrder

// Names one after the other, each as its length, whether it is plain ASCII
// and its bytes. Shared, it is never changed again.
using NameBytes = std::vector<char>;
inline NameView nameIn(const NameBytes &names, std::uint32_t at)
{
    const char *p = names.data() + at;
    return {p + 2, std::uint8_t(p[0]), p[1] != 0};
}

// Rows kept in a vector with a gap: changes near each other move only the
// rows between them, so that changes applied in order move every row at
// most once.
class GapRows
{
public:
    std::size_t size() const { return m_rows.size() - m_gapSize; }
    const FileRow &operator[](std::size_t i) const { return m_rows[i < m_gapAt ? i : i + m_gapSize]; }
    FileRow &operator[](std::size_t i) { return m_rows[i < m_gapAt ? i : i + m_gapSize]; }
    void insert(std::size_t at, const FileRow &row);
    void erase(std::size_t at);
    // Takes rows in order, with no gap.
    void assign(std::vector<FileRow> rows);
    std::vector<FileRow> take();

private:
    void moveGap(std::size_t to);

    std::vector<FileRow> m_rows;
    std::size_t m_gapAt = 0;
    std::size_t m_gapSize = 0;
};

// Rows and their names. Names lie in two stores: the shared one the table
// was built on (a catalogue's) and one of its own for names added since.
class RowTable
{
public:
    static constexpr std::uint32_t kOwn = 0x80000000u;

    int size() const { return int(m_rows.size()); }
    bool empty() const { return m_rows.size() == 0; }
    const FileRow &row(int i) const { return m_rows[std::size_t(i)]; }
    FileRow &row(int i) { return m_rows[std::size_t(i)]; }
    NameView name(int i) const { return nameAt(row(i).name); }
    NameView nameAt(std::uint32_t ref) const;

    // Appends a row with a name of its own.
    void append(const NameView &name, FileRow row);
    void insert(int at, const NameView &name, FileRow row);
    void erase(int at);
    // Moves a row, its name with it, to stand at `to` once it is moved.
    void move(int from, int to);
    // Where a name is, or would be put, in a table in name order.
    int lowerBound(const NameView &name) const;
    // The row of that name in a table in name order, or -1.
    int find(const NameView &name) const;

    // The rows' places in name order: order[i] is the row that comes i-th.
    std::vector<std::uint32_t> nameOrder() const;
    // Puts the rows in that order.
    void reorder(const std::vector<std::uint32_t> &order);
    void sortByName() { reorder(nameOrder()); }
    // Empties the table, keeping the room it had; makes room beforehand.
    void clear();
    void reserve(int rows, std::size_t nameBytes);
    // The bytes the names take.
    std::size_t nameBytes() const;
    // Rows whose flag is set are dropped.
    void dropFlagged(std::uint8_t flag);
    // The names this table was built on, shared with whoever keeps them.
    const std::shared_ptr<const NameBytes> &shared() const { return m_shared; }
    // Moves every name into a new shared store, and hands it out.
    std::shared_ptr<const NameBytes> shareNames();
    // Row i takes its name from `names` at known[i] and is not new, or,
    // where that is kNoName, keeps its name as its own and is new.
    static constexpr std::uint32_t kNoName = ~0u;
    void rebase(const std::shared_ptr<const NameBytes> &names, const std::vector<std::uint32_t> &known);

private:
    std::uint32_t addName(const NameView &name);
    void dropName(std::uint32_t ref);
    void compact();

    std::shared_ptr<const NameBytes> m_shared;
    NameBytes m_own;
    std::size_t m_ownDead = 0; // bytes of names no row uses any more
    GapRows m_rows;
};
