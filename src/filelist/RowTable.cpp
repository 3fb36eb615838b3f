// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/RowTable.h"

#include "filelist/FileTypes.h"
#include "platform/FileNames.h"

#include <QLatin1StringView>

#include <cstring>
#include <tuple>

namespace {

constexpr std::size_t kHeader = 2; // a name's length, then whether it is ASCII

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// Compares two names of which one at least is not plain ASCII, as texts.
int compareTexts(const NameView &a, const QString *aText, const NameView &b, const QString *bText)
{
    const auto compare = [&](Qt::CaseSensitivity cs) {
        if (aText && bText)
            return QString::compare(*aText, *bText, cs);
        if (aText)
            return aText->compare(QLatin1StringView(b.data, b.size), cs);
        return -bText->compare(QLatin1StringView(a.data, a.size), cs);
    };
    const int c = compare(Qt::CaseInsensitive);
    return c != 0 ? c : compare(Qt::CaseSensitive);
}

// The first 20 bytes of an ASCII name in lower case, as numbers that compare
// as those bytes do (names of a camera or a scanner share a long start: past
// it, the bytes of two names are seldom read); for a name that is not ASCII,
// where its decoded text lies. 24 bytes, as a row.
struct SortKey {
    std::uint64_t high = 0; // bytes 0 to 7; the decoded text's index when not ASCII
    std::uint64_t low = 0; // bytes 8 to 15
    std::uint32_t tail = 0; // bytes 16 to 19
    std::uint32_t row = 0; // the row, and kNotAscii
    static constexpr std::uint32_t kNotAscii = 0x80000000u;
    bool ascii() const { return !(row & kNotAscii); }
    int index() const { return int(row & ~kNotAscii); }
    auto prefix() const { return std::tie(high, low, tail); }
};
static_assert(sizeof(SortKey) == 24);

SortKey sortKey(const NameView &name, std::uint32_t row)
{
    SortKey key;
    key.row = name.ascii ? row : row | SortKey::kNotAscii;
    if (!name.ascii)
        return key;
    const auto word = [&](int from, int bytes) {
        std::uint64_t w = 0;
        for (int i = from; i < from + bytes; ++i)
            w = (w << 8) | (i < name.size ? std::uint8_t(lower(name.data[i])) : 0);
        return w;
    };
    key.high = word(0, 8);
    key.low = word(8, 8);
    key.tail = std::uint32_t(word(16, 4));
    return key;
}

} // namespace

QString NameView::text() const
{
    return ascii ? QString::fromLatin1(data, size) : FileNames::decode(data, size);
}

bool NameView::operator==(const NameView &other) const
{
    return size == other.size && std::memcmp(data, other.data, std::size_t(size)) == 0;
}

FileRow AddListItem(NameView FName, std::int64_t size, std::int64_t mtime, int error, bool FStatusNew)
{
    FileRow row;
    row.type = std::uint8_t(fileTypeIndex(FName));
    row.hash = NameOrder::hashByte(FName.data, FName.size);
    row.flags = FStatusNew ? FileRow::New : 0;
    if (error) {
        row.flags |= FileRow::Unread;
        row.error = std::uint8_t(std::min(error, 255));
    } else {
        row.size = size;
        row.mtime = mtime;
    }
    return row;
}

namespace NameOrder {

int compare(const NameView &a, const NameView &b)
{
    if (!a.ascii || !b.ascii) {
        const QString aText = a.ascii ? QString() : a.text();
        const QString bText = b.ascii ? QString() : b.text();
        return compareTexts(a, a.ascii ? nullptr : &aText, b, b.ascii ? nullptr : &bText);
    }
    const int n = std::min(a.size, b.size);
    for (int i = 0; i < n; ++i) {
        const char x = lower(a.data[i]);
        const char y = lower(b.data[i]);
        if (x != y)
            return std::uint8_t(x) < std::uint8_t(y) ? -1 : 1;
    }
    if (a.size != b.size)
        return a.size < b.size ? -1 : 1;
    return std::memcmp(a.data, b.data, std::size_t(n));
}

bool isAscii(const char *bytes, int size)
{
    for (int i = 0; i < size; ++i) {
        if (std::uint8_t(bytes[i]) >= 0x80)
            return false;
    }
    return true;
}

std::uint8_t hashByte(const char *bytes, int size)
{
    std::uint32_t h = 2166136261u;
    for (int i = 0; i < size; ++i)
        h = (h ^ std::uint8_t(bytes[i])) * 16777619u;
    return std::uint8_t(h ^ (h >> 8) ^ (h >> 16) ^ (h >> 24));
}

} // namespace NameOrder

void GapRows::moveGap(std::size_t to)
{
    if (to < m_gapAt)
        std::move_backward(m_rows.begin() + std::ptrdiff_t(to), m_rows.begin() + std::ptrdiff_t(m_gapAt),
                           m_rows.begin() + std::ptrdiff_t(m_gapAt + m_gapSize));
    else // nothing to move when it stays
        std::move(m_rows.begin() + std::ptrdiff_t(m_gapAt + m_gapSize), m_rows.begin() + std::ptrdiff_t(to + m_gapSize),
                  m_rows.begin() + std::ptrdiff_t(m_gapAt));
    m_gapAt = to;
}

void GapRows::insert(std::size_t at, const FileRow &row)
{
    // Rows added at the end, as a listing adds them, grow the vector as usual.
    if (m_gapSize == 0 && at == m_rows.size()) {
        m_rows.push_back(row);
        m_gapAt = m_rows.size();
        return;
    }
    if (m_gapSize == 0 && m_rows.capacity() > m_rows.size()) {
        // The room a listing left: the rows after the place move up into it,
        // and nothing is copied to new memory.
        const std::size_t gap = std::min(m_rows.capacity() - m_rows.size(), std::max<std::size_t>(16, size() / 32));
        const std::size_t end = m_rows.size();
        m_rows.resize(end + gap);
        std::move_backward(m_rows.begin() + std::ptrdiff_t(at), m_rows.begin() + std::ptrdiff_t(end), m_rows.end());
        m_gapAt = at;
        m_gapSize = gap;
    } else if (m_gapSize == 0) {
        // A gap of a few percent: growing costs a copy now and then.
        const std::size_t gap = std::max<std::size_t>(16, size() / 32);
        std::vector<FileRow> grown;
        grown.reserve(size() + gap);
        grown.insert(grown.end(), m_rows.begin(), m_rows.begin() + std::ptrdiff_t(at));
        grown.resize(at + gap);
        grown.insert(grown.end(), m_rows.begin() + std::ptrdiff_t(at), m_rows.end());
        m_rows = std::move(grown);
        m_gapAt = at;
        m_gapSize = gap;
    } else {
        moveGap(at);
    }
    m_rows[m_gapAt++] = row;
    --m_gapSize;
}

void GapRows::erase(std::size_t at)
{
    moveGap(at);
    ++m_gapSize;
}

void GapRows::assign(std::vector<FileRow> rows)
{
    m_rows = std::move(rows);
    m_gapAt = m_rows.size();
    m_gapSize = 0;
}

std::vector<FileRow> GapRows::take()
{
    moveGap(size());
    m_rows.resize(size());
    m_gapSize = 0;
    m_gapAt = m_rows.size();
    return std::move(m_rows);
}

NameView RowTable::nameAt(std::uint32_t ref) const
{
    return (ref & kOwn) ? nameIn(m_own, ref & ~kOwn) : nameIn(*m_shared, ref);
}

std::uint32_t RowTable::addName(const NameView &name)
{
    const std::size_t at = m_own.size();
    m_own.resize(at + kHeader + std::size_t(name.size));
    char *p = m_own.data() + at;
    p[0] = char(std::uint8_t(name.size));
    p[1] = name.ascii ? 1 : 0;
    std::memcpy(p + kHeader, name.data, std::size_t(name.size));
    return std::uint32_t(at) | kOwn;
}

void RowTable::dropName(std::uint32_t ref)
{
    if (ref & kOwn)
        m_ownDead += kHeader + nameAt(ref).size;
}

void RowTable::compact()
{
    // Names of rows long gone are let go once they outweigh the rest.
    if (m_ownDead < (1u << 20) || m_ownDead * 2 < m_own.size())
        return;
    NameBytes kept;
    kept.reserve(m_own.size() - m_ownDead);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        FileRow &r = m_rows[i];
        if (!(r.name & kOwn))
            continue;
        const NameView n = nameAt(r.name);
        r.name = std::uint32_t(kept.size()) | kOwn;
        kept.insert(kept.end(), n.data - kHeader, n.data + n.size);
    }
    m_own = std::move(kept);
    m_ownDead = 0;
}

void RowTable::append(const NameView &name, FileRow row)
{
    row.name = addName(name);
    m_rows.insert(m_rows.size(), row);
}

void RowTable::insert(int at, const NameView &name, FileRow row)
{
    row.name = addName(name);
    m_rows.insert(std::size_t(at), row);
}

void RowTable::erase(int at)
{
    const std::uint32_t ref = row(at).name;
    m_rows.erase(std::size_t(at));
    dropName(ref);
    compact();
}

void RowTable::move(int from, int to)
{
    const FileRow moved = row(from);
    m_rows.erase(std::size_t(from));
    m_rows.insert(std::size_t(to), moved);
}

int RowTable::lowerBound(const NameView &name) const
{
    int lo = 0;
    int hi = size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (NameOrder::compare(this->name(mid), name) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int RowTable::find(const NameView &name) const
{
    const int at = lowerBound(name);
    return at < size() && this->name(at) == name ? at : -1;
}

std::vector<std::uint32_t> RowTable::nameOrder() const
{
    std::vector<SortKey> keys;
    keys.reserve(m_rows.size());
    std::vector<QString> texts;
    for (int i = 0; i < size(); ++i) {
        const NameView n = name(i);
        keys.push_back(sortKey(n, std::uint32_t(i)));
        if (!n.ascii) {
            keys.back().high = texts.size();
            texts.push_back(n.text());
        }
    }
    const auto less = [&](const SortKey &a, const SortKey &b) {
        if (a.ascii() && b.ascii()) {
            if (a.prefix() != b.prefix())
                return a.prefix() < b.prefix();
            return NameOrder::compare(name(a.index()), name(b.index())) < 0;
        }
        return compareTexts(name(a.index()), a.ascii() ? nullptr : &texts[a.high], name(b.index()),
                            b.ascii() ? nullptr : &texts[b.high])
            < 0;
    };
    if (!std::is_sorted(keys.begin(), keys.end(), less))
        std::sort(keys.begin(), keys.end(), less);
    std::vector<std::uint32_t> order;
    order.reserve(keys.size());
    for (const SortKey &key : keys)
        order.push_back(std::uint32_t(key.index()));
    return order;
}

void RowTable::reorder(const std::vector<std::uint32_t> &order)
{
    // In place, one cycle of the permutation after the other: a million rows
    // are never held twice.
    std::vector<FileRow> rows = m_rows.take();
    std::vector<bool> placed(rows.size());
    for (std::size_t start = 0; start < rows.size(); ++start) {
        if (placed[start])
            continue;
        const FileRow held = rows[start];
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = order[at];
            if (from == start) {
                rows[at] = held;
                break;
            }
            rows[at] = rows[from];
            at = from;
        }
    }
    m_rows.assign(std::move(rows));
}

void RowTable::dropFlagged(std::uint8_t flag)
{
    std::vector<FileRow> rows = m_rows.take();
    for (const FileRow &r : rows) {
        if (r.flags & flag)
            dropName(r.name);
    }
    rows.erase(std::remove_if(rows.begin(), rows.end(), [flag](const FileRow &r) { return r.flags & flag; }),
               rows.end());
    m_rows.assign(std::move(rows));
    compact();
}

void RowTable::clear()
{
    std::vector<FileRow> rows = m_rows.take();
    rows.clear();
    m_rows.assign(std::move(rows));
    m_own.clear();
    m_ownDead = 0;
    m_shared.reset();
}

void RowTable::reserve(int rows, std::size_t nameBytes)
{
    std::vector<FileRow> kept = m_rows.take();
    kept.reserve(std::size_t(rows));
    m_rows.assign(std::move(kept));
    m_own.reserve(nameBytes);
}

std::size_t RowTable::nameBytes() const
{
    return m_own.size() - m_ownDead + (m_shared ? m_shared->size() : 0);
}

std::shared_ptr<const NameBytes> RowTable::shareNames()
{
    // Laid out in the rows' order, so that rows read one after the other
    // read memory so.
    auto names = std::make_shared<NameBytes>();
    names->reserve(m_own.size() - m_ownDead + (m_shared ? m_shared->size() : 0));
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        FileRow &r = m_rows[i];
        const NameView n = nameAt(r.name);
        r.name = std::uint32_t(names->size());
        names->insert(names->end(), n.data - kHeader, n.data + n.size);
    }
    NameBytes().swap(m_own);
    m_ownDead = 0;
    m_shared = std::move(names);
    return m_shared;
}

void RowTable::rebase(const std::shared_ptr<const NameBytes> &names, const std::vector<std::uint32_t> &known)
{
    NameBytes own;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        FileRow &r = m_rows[i];
        if (known[i] != kNoName) {
            r.name = known[i];
            r.flags &= std::uint8_t(~FileRow::New);
        } else {
            const NameView n = nameAt(r.name);
            r.name = std::uint32_t(own.size()) | kOwn;
            own.insert(own.end(), n.data - kHeader, n.data + n.size);
            r.flags |= FileRow::New;
        }
    }
    m_own = std::move(own);
    m_ownDead = 0;
    m_shared = names;
}
