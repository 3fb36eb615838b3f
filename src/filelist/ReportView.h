// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QAbstractItemView>

class QHeaderView;

// The report view: rows of one height under a header of columns, the whole
// row selected and framed. It keeps nothing per row, so that rows coming and
// going cost it the same at ten rows as at a million (a tree view lays
// every row out again at each change, and keeps 40 bytes for each).
class ReportView : public QAbstractItemView
{
    Q_OBJECT

public:
    explicit ReportView(QWidget *parent = nullptr);

    QHeaderView *header() const { return m_header; }
    void setModel(QAbstractItemModel *model) override;
    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    // Measured on the rows in view only.
    int sizeHintForColumn(int column) const override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex &) const override { return false; }
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    int rowHeight() const;
    int rowCount() const;
    int firstRow() const;
    // How many whole rows the viewport shows, at least one.
    int rowsInView() const;
    QRect rowRect(int row) const;
    // Rows from `from` on came, went or changed: the view shows them anew
    // if it shows any of them.
    void rowsChanged(int from = 0);

    QHeaderView *m_header;
    mutable int m_rowHeight = -1;
};
