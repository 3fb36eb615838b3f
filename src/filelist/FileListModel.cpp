#include "filelist/FileListModel.h"

#include "filelist/FileTypes.h"
#include "filelist/ImageList.h"
#include "platform/Background.h"
#include "platform/FileNames.h"

#include <algorithm>
#include <numeric>

namespace {

// Fewer old rows than this are freed at once.
constexpr std::size_t kFreeAsideRows = 20000;

} // namespace

FileRow AddListItem(ListedFile &&FName, const QString &FStatus)
{
    const bool known = FName.error == 0;
    const int type = FName.type >= 0 ? FName.type : fileTypeIndex(FName.name);
    return {std::move(FName.name), FStatus, known ? FName.size : 0, known ? FName.mtime : 0, type, known};
}

FileListModel::FileListModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int FileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
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
    return rowText(m_rows[std::size_t(index)], column);
}

QVariant FileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::DecorationRole:
        if (index.column() == NameColumn) {
            const auto &icons = m_large ? m_largeIcons : m_smallIcons;
            const auto type = std::size_t(m_rows[std::size_t(index.row())].type);
            if (type < icons.size())
                return icons[type];
        }
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == SizeColumn)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
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

void FileListModel::setSource(const QString &folder, quint64 generation)
{
    m_folder = folder;
    m_generation = generation;
}

void FileListModel::clear()
{
    m_folder.clear();
    m_generation = 0;
    if (m_rows.empty())
        return;
    beginResetModel();
    // Give the memory back: the next rows are built beside it, and a million
    // of them must not be held twice.
    std::vector<FileRow>().swap(m_rows);
    endResetModel();
}

void FileListModel::removeName(const QString &name)
{
    const auto it = std::find_if(m_rows.begin(), m_rows.end(), [&](const FileRow &r) { return r.name == name; });
    if (it == m_rows.end())
        return;
    const int at = int(it - m_rows.begin());
    beginRemoveRows({}, at, at);
    m_rows.erase(it);
    endRemoveRows();
}

QString FileListModel::rowText(const FileRow &r, int column) const
{
    switch (column) {
    case NameColumn:
        return r.name;
    case StatusColumn:
        return r.status;
    case SizeColumn:
        return RowText::sizeText(r.size);
    case TypeColumn:
        return fileTypeAt(r.type).description;
    case ModifiedColumn:
        return r.timeKnown ? m_time.text(r.mtime) : QString();
    default:
        return {};
    }
}

std::vector<std::size_t> FileListModel::sortedOrder(const std::vector<FileRow> &rows, int column) const
{
    std::vector<std::size_t> order(rows.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    if (column == NameColumn) {
        // Rows from a folder listing already come in name order.
        const auto less = [](const FileRow &a, const FileRow &b) { return FileNames::nameLess(a.name, b.name); };
        if (std::is_sorted(rows.begin(), rows.end(), less))
            return order;
    }
    // Texts are formed and folded once per row, not once per comparison;
    // comparing folded texts orders them as a case-insensitive compare does.
    std::vector<QString> keys(rows.size());
    std::vector<QString> folded(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keys[i] = rowText(rows[i], column);
        folded[i] = keys[i].toCaseFolded();
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const int c = QString::compare(folded[a], folded[b]);
        return c < 0 || (c == 0 && keys[a] < keys[b]);
    });
    return order;
}

void FileListModel::setRows(std::vector<FileRow> rows, RowOrder arriving)
{
    const bool inPlace
        = m_sortColumn < 0 || rows.size() < 2 || (m_sortColumn == NameColumn && arriving == RowOrder::ByName);
    if (!inPlace) {
        const std::vector<std::size_t> order = sortedOrder(rows, m_sortColumn);
        bool identity = true;
        for (std::size_t i = 0; i < order.size() && identity; ++i)
            identity = order[i] == i;
        if (!identity) {
            std::vector<FileRow> sorted;
            sorted.reserve(rows.size());
            for (std::size_t i : order)
                sorted.push_back(std::move(rows[i]));
            rows = std::move(sorted);
        }
    }
    if (!m_rows.empty() && rows.size() == m_rows.size()) {
        // As many rows as before, as a pass mostly finds: the views keep
        // their layout and only repaint. (A dataChanged() over a million
        // rows costs the views a rectangle per cell.)
        m_rows.swap(rows);
        Q_EMIT rowsReplaced();
    } else {
        beginResetModel();
        m_rows.swap(rows);
        endResetModel();
    }
    // The old rows are freed beside the window's thread, not on it.
    if (rows.size() > kFreeAsideRows) {
        auto old = std::make_shared<std::vector<FileRow>>(std::move(rows));
        Background::post(QStringLiteral("free rows"), [old] { old->clear(); });
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
    const std::vector<std::size_t> order = sortedOrder(m_rows, column);
    std::vector<int> newPos(m_rows.size());
    std::vector<FileRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        newPos[order[i]] = int(i);
        sorted.push_back(std::move(m_rows[order[i]]));
    }
    m_rows = std::move(sorted);
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
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0), {Qt::DecorationRole});
}

void FileListModel::setLargeImages(bool large)
{
    if (m_large == large)
        return;
    m_large = large;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0), {Qt::DecorationRole});
}
