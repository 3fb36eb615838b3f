// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QFont>
#include <QStackedWidget>
#include <QTimer>

#include <vector>

class FileListModel;
class FileCellDelegate;
class QAbstractItemView;
class QHeaderView;
class QItemSelectionModel;
class QListView;
class ReportView;

// lvwFile: one list of rows in four view modes (0 large icons, 1 small
// icons, 2 list, 3 report) that share their rows and their selection.
// Enter opens as a double click does, and the menu key (or Shift+F10)
// brings the pop-up menu over the current row.
class FileListView : public QStackedWidget
{
    Q_OBJECT

public:
    enum ViewMode { LargeIcons = 0, SmallIcons = 1, List = 2, Report = 3 };

    explicit FileListView(FileListModel *model, QWidget *parent = nullptr);

    int viewMode() const { return m_mode; }
    // Codes outside 0 to 3 are ignored.
    void setViewMode(int mode);

    FileListModel *model() const { return m_model; }
    QItemSelectionModel *selectionModel() const;
    QHeaderView *header() const;
    QAbstractItemView *currentView() const;
    ReportView *reportView() const { return m_report; }
    QListView *iconView() const { return m_icons; }

Q_SIGNALS:
    void doubleClicked();
    void mousePressed(Qt::MouseButton button, const QPoint &globalPos);
    void headerClicked(int column);
    // The selection may have changed, by any means: keys, the mouse, select
    // all, or rows that went away with it.
    void selectionChanged();
    // The Delete key in the list.
    void deletePressed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kNameCellWidth = 150;
    // Finds the cell width the widest name needs (m_widestName): a first
    // slice at once, the rest of a long list from a zero timer.
    static constexpr int kMeasureSliceMs = 8;
    void startMeasure();
    void measureSome(int budgetMs);
    void remeasure();
    // The widths of the first letters in the view's font; -1 for those that
    // are not measured alone.
    static constexpr char16_t kMeasuredLetters = 0x300;
    const std::vector<float> &letterWidths() const;
    // Sizes the list and small-icon cells to the names; true when changed.
    bool fitCells();

    FileListModel *m_model;
    ReportView *m_report;
    QListView *m_icons;
    FileCellDelegate *m_cells;
    int m_mode = Report;
    int m_widestName = -1; // -1 until measured
    QTimer m_measureTimer {this};
    std::vector<float> m_bounds; // per row, while a measure runs
    int m_measureNext = 0;
    int m_widestText = -1;
    int m_widestRow = -1;
    bool m_widestLost = false; // the widest row is being taken out
    mutable QFont m_letterFont;
    mutable std::vector<float> m_letterWidths;
};
