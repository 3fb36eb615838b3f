#pragma once

#include <QStackedWidget>

class FileListModel;
class FileCellDelegate;
class QAbstractItemView;
class QHeaderView;
class QItemSelectionModel;
class QListView;
class QTreeView;

// lvwFile: one list of rows in four view modes (0 large icons, 1 small
// icons, 2 list, 3 report) that share their rows and their selection.
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
    QTreeView *reportView() const { return m_report; }
    QListView *iconView() const { return m_icons; }

Q_SIGNALS:
    // A left click anywhere in the list, empty space included, after the
    // selection has followed it.
    void clicked();
    void doubleClicked();
    void mousePressed(Qt::MouseButton button, const QPoint &globalPos);
    void headerClicked(int column);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    static constexpr int kNameCellWidth = 150;
    // The cell width the widest of these rows' names needs.
    int widestName(int first, int last) const;
    // Sizes the list and small-icon cells to the names; true when changed.
    bool fitCells();

    FileListModel *m_model;
    QTreeView *m_report;
    QListView *m_icons;
    FileCellDelegate *m_cells;
    int m_mode = Report;
    int m_widestName = -1; // -1 until measured
};
