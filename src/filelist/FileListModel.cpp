// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/FileListModel.h"

#include "audit/AuditTexts.h"
#include "filelist/FileTypes.h"
#include "filelist/ImageList.h"
#include "platform/Background.h"
#include "platform/FileNames.h"

#include <QFont>

#include <algorithm>
#include <numeric>
#include <optional>

namespace {

// Fewer old rows than this are freed at once.
constexpr std::size_t kFreeAsideRows = 20000;

} // namespace

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int FileListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString FileListModel::headerText(int column)
{
    switch (column) {
    case NameColumn:
        return QStringLiteral("Name");
    case StatusColumn:
        return QStringLiteral("Status");
    case SizeColumn:
        return QStringLiteral("Size");
    case TypeColumn:
        return QStringLiteral("Type");
    case ModifiedColumn:
        return QStringLiteral("Modified");
    default:
        return {};
    }
}

QString FileListModel::text(int index, int column) const
{
    return column == NameColumn ? name(index) : rowText(m_rows.row(index), column);
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    // A valid index is one of this model's rows (index() checks).
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == NameColumn) {
            const auto &icons = m_large ? m_largeIcons : m_smallIcons;
            const auto type = std::size_t(m_rows.row(index.row()).type);
            if (type < icons.size())
                return icons[type];
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    case Qt::FontRole:
        if (isArriving(index.row())) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (isArriving(index.row()))
            return AuditTexts::arrivingTip();
        return {};
    default:
        return {};
    }
}

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return headerText(section);
    if (role == Qt::TextAlignmentRole && section == SizeColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void FileListModel::setSource(const QString &folder)
{
    m_folder = folder;
}

void FileListModel::clear()
{
    m_folder.clear();
    if (m_rows.empty())
        return;
    beginResetModel();
    // Give the memory back: the next rows are built beside it, and a million
    // of them must not be held twice.
    m_rows = RowTable();
    endResetModel();
}

void FileListModel::removeName(const QString &name)
{
    const QByteArray bytes = FileNames::encode(name);
    const NameView wanted {bytes.constData(), int(bytes.size()),
                           NameOrder::isAscii(bytes.constData(), int(bytes.size()))};
    for (int at = 0; at < m_rows.size(); ++at) {
        if (m_rows.name(at) == wanted) {
            beginRemoveRows({}, at, at);
            m_rows.erase(at);
            endRemoveRows();
            return;
        }
    }
}

QString FileListModel::rowText(const FileRow &r, int column) const
{
    switch (column) {
    case StatusColumn:
        return r.isNew() ? AuditTexts::newStatus() : QString();
    case SizeColumn:
        return RowText::sizeText(r.size);
    case TypeColumn:
        return fileTypeAt(r.type).description;
    case ModifiedColumn:
        return r.timeKnown() ? m_time.text(r.mtime) : QString();
    default:
        return {};
    }
}

std::vector<std::uint32_t> FileListModel::sortedOrder(const RowTable &rows, int column) const
{
    if (column == NameColumn)
        return rows.nameOrder();
    // Texts are formed and folded once per row, not once per comparison;
    // comparing folded texts orders them as a case-insensitive compare does.
    // No two texts of a column differ in case alone (the types' names, the
    // sizes and the times of one locale): folded, equal texts are equal.
    const std::size_t n = std::size_t(rows.size());
    std::vector<QString> folded(n);
    for (std::size_t i = 0; i < n; ++i)
        folded[i] = rowText(rows.row(int(i)), column).toCaseFolded();
    // Equal texts stand in name order, so that a row's place follows from
    // its text and name alone.
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = QString::compare(folded[a], folded[b]);
        return c != 0 ? c < 0 : NameOrder::compare(rows.name(int(a)), rows.name(int(b))) < 0;
    });
    return order;
}

int FileListModel::place(const FileRow &row, const NameView &name) const
{
    if (m_sortColumn <= NameColumn)
        return m_rows.lowerBound(name);
    const QString folded = rowText(row, m_sortColumn).toCaseFolded();
    int lo = 0;
    int hi = m_rows.size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        int c = QString::compare(rowText(m_rows.row(mid), m_sortColumn).toCaseFolded(), folded);
        if (c == 0)
            c = NameOrder::compare(m_rows.name(mid), name);
        if (c < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void FileListModel::applyChanges(const RowTable &changes)
{
    // The rows shown now of the changed names, found by name: by a search
    // where the rows stand in name order, else by one sweep that reads only
    // the names whose hash byte matches.
    std::vector<std::optional<FileRow>> old(std::size_t(changes.size()));
    if (m_sortColumn <= NameColumn) {
        for (int i = 0; i < changes.size(); ++i) {
            const int at = m_rows.find(changes.name(i));
            if (at >= 0)
                old[std::size_t(i)] = m_rows.row(at);
        }
    } else if (!changes.empty()) {
        std::vector<std::vector<int>> byHash(256);
        for (int i = 0; i < changes.size(); ++i) {
            const NameView n = changes.name(i);
            byHash[NameOrder::hashByte(n.data, n.size)].push_back(i);
        }
        for (int r = 0; r < m_rows.size(); ++r) {
            for (int i : byHash[m_rows.row(r).hash]) {
                if (m_rows.name(r) == changes.name(i))
                    old[std::size_t(i)] = m_rows.row(r);
            }
        }
    }
    for (int i = 0; i < changes.size(); ++i) {
        const NameView name = changes.name(i);
        FileRow now = changes.row(i);
        const std::optional<FileRow> &was = old[std::size_t(i)];
        if (!was) {
            if (now.flags & FileRow::Absent)
                continue;
            const int at = place(now, name);
            beginInsertRows({}, at, at);
            m_rows.insert(at, name, now);
            endInsertRows();
            continue;
        }
        const int at = place(*was, name);
        if (now.flags & FileRow::Absent) {
            beginRemoveRows({}, at, at);
            m_rows.erase(at);
            endRemoveRows();
            continue;
        }
        now.name = was->name;
        if (now.size == was->size && now.mtime == was->mtime && now.flags == was->flags && now.type == was->type)
            continue;
        // A row whose sorted text changed moves to its new place; the
        // selection goes with it.
        if (m_sortColumn > NameColumn && rowText(now, m_sortColumn) != rowText(*was, m_sortColumn)) {
            int to = place(now, name);
            if (to != at && to != at + 1) {
                beginMoveRows({}, at, at, {}, to);
                m_rows.move(at, to > at ? to - 1 : to);
                endMoveRows();
                to = to > at ? to - 1 : to;
            } else {
                to = at;
            }
            m_rows.row(to) = now;
            Q_EMIT dataChanged(index(to, 0), index(to, ColumnCount - 1));
            continue;
        }
        m_rows.row(at) = now;
        Q_EMIT dataChanged(index(at, 0), index(at, ColumnCount - 1));
    }
}

void FileListModel::setRows(RowTable rows, RowOrder arriving)
{
    const bool inPlace = m_sortColumn < 0 || (m_sortColumn == NameColumn && arriving == RowOrder::ByName);
    if (!inPlace)
        rows.reorder(sortedOrder(rows, m_sortColumn));
    if (!m_rows.empty() && rows.size() == m_rows.size()) {
        // As many rows as before, as a pass mostly finds: the views keep
        // their layout and only repaint. (A dataChanged() over a million
        // rows costs the views a rectangle per cell.)
        std::swap(m_rows, rows);
        Q_EMIT rowsReplaced();
    } else {
        beginResetModel();
        std::swap(m_rows, rows);
        endResetModel();
    }
    // The old rows are freed beside the window's thread, not on it.
    if (rows.size() > int(kFreeAsideRows)) {
        auto old = std::make_shared<RowTable>(std::move(rows));
        Background::post(QStringLiteral("free rows"), [old]() mutable { *old = RowTable(); });
    }
}

void FileListModel::sortByColumn(int column)
{
    if (column < -1 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    if (column < 0 || m_rows.empty())
        return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<std::uint32_t> order = sortedOrder(m_rows, column);
    std::vector<int> newPos(order.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        newPos[order[i]] = int(i);
    m_rows.reorder(order);
    // The selection follows its rows to their new places.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &idx : before)
        after.append(index(newPos[std::size_t(idx.row())], idx.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void FileListModel::setImageLists(const ImageList *large, const ImageList *small)
{
    m_largeIcons.clear();
    m_smallIcons.clear();
    for (int t = 0; t < fileTypeCount(); ++t) {
        const FileType &type = fileTypeAt(t);
        m_largeIcons.push_back(large ? large->icon(type.iconKey) : QIcon());
        m_smallIcons.push_back(small ? small->icon(type.smallIconKey()) : QIcon());
    }
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(m_rows.size() - 1, 0), {Qt::DecorationRole});
}

void FileListModel::setLargeImages(bool large)
{
    if (m_large == large)
        return;
    m_large = large;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(m_rows.size() - 1, 0), {Qt::DecorationRole});
}
