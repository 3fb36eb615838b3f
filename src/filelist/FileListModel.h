// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "filelist/RowTable.h"
#include "filelist/RowText.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>

#include <vector>

class ImageList;

// The rows of lvwFile, with the five columns "Name", "Status", "Size",
// "Type" and "Modified". Once a column has been chosen for sorting, every
// row, those added later included, keeps its place in that column's text
// order: without regard to case, ties by the exact text.
class FileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { NameColumn, StatusColumn, SizeColumn, TypeColumn, ModifiedColumn, ColumnCount };

    explicit FileListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text a cell shows, made when asked for.
    QString text(int row, int column) const;
    const FileRow &row(int index) const { return m_rows.row(index); }
    // The file's name, as the list shows it and actions use it.
    QString name(int row) const { return m_rows.name(row).text(); }
    NameView nameView(int row) const { return m_rows.name(row); }
    bool isNew(int row) const { return m_rows.row(row).isNew(); }
    bool isArriving(int row) const { return m_rows.row(row).isArriving(); }

    // Empties the list; it then stands for no folder.
    void clear();
    // Takes out the row of the file of that name, if the list shows one.
    void removeName(const QString &name);
    // Replaces every row at once. Rows from a folder listing arrive in name
    // order already, which spares a sort by name.
    enum class RowOrder { Unknown, ByName };
    void setRows(RowTable rows, RowOrder arriving = RowOrder::Unknown);
    // Applies the changes of a lookup of names (in name order): each row
    // taken out (an Absent change), updated where it stands, moved, or put
    // in at its sorted place. The other rows stay as they are, and with
    // them the selection and the view.
    void applyChanges(const RowTable &changes);

    // The folder the rows were listed from: an action on a row resolves its
    // name against this folder, never against one the list does not show.
    // Empty while the list stands for no folder.
    QString folder() const { return m_folder; }
    void setSource(const QString &folder);

    // Sorts by a column from now on; -1 means not sorted.
    void sortByColumn(int column);
    int sortColumn() const { return m_sortColumn; }

    // The pictures of the rows: the large set for the large-icon view, the
    // small set for the others.
    void setImageLists(const ImageList *large, const ImageList *small);
    void setLargeImages(bool large);

    static QString headerText(int column);

Q_SIGNALS:
    // setRows() put as many rows in place of the old ones: every row may
    // read otherwise, the layout stands.
    void rowsReplaced();

private:
    QString rowText(const FileRow &row, int column) const;
    // Where a row of that name and fields is, or would be put, in the
    // present order.
    int place(const FileRow &row, const NameView &name) const;
    // The rows' places sorted by a column's text; ties keep their order.
    std::vector<std::uint32_t> sortedOrder(const RowTable &rows, int column) const;

    RowTable m_rows;
    QString m_folder;
    int m_sortColumn = -1;
    RowText::TimeFormatter m_time;
    std::vector<QIcon> m_largeIcons; // by type index
    std::vector<QIcon> m_smallIcons;
    bool m_large = false;
};
