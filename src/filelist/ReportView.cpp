// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/ReportView.h"

#include <QHeaderView>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

ReportView::ReportView(QWidget *parent)
    : QAbstractItemView(parent)
    , m_header(new QHeaderView(Qt::Horizontal, this))
{
    m_header->setFocusPolicy(Qt::NoFocus);
    const auto relayout = [this] {
        updateGeometries();
        viewport()->update();
    };
    connect(m_header, &QHeaderView::sectionResized, this, relayout);
    connect(m_header, &QHeaderView::sectionMoved, this, relayout);
    connect(m_header, &QHeaderView::sectionCountChanged, this, relayout);
    connect(m_header, &QHeaderView::geometriesChanged, this, relayout);
    connect(m_header, &QHeaderView::sectionHandleDoubleClicked, this,
            [this](int column) { m_header->resizeSection(column, sizeHintForColumn(column)); });
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerItem);
}

void ReportView::setModel(QAbstractItemModel *model)
{
    if (this->model())
        disconnect(this->model(), nullptr, this, nullptr);
    QAbstractItemView::setModel(model);
    m_header->setModel(model);
    if (!model)
        return;
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int) { rowsChanged(first); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { rowsChanged(); });
    connect(model, &QAbstractItemModel::layoutChanged, this, [this] { rowsChanged(); });
    rowsChanged();
}

void ReportView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    rowsChanged(start);
}

void ReportView::rowsChanged(int from)
{
    m_rowHeight = -1;
    updateGeometries();
    // Rows that come and go below the view leave it as it is: a few files
    // among a million seldom cost a paint.
    if (from <= firstRow() + rowsInView())
        viewport()->update();
}

void ReportView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        m_rowHeight = -1;
    QAbstractItemView::changeEvent(event);
}

int ReportView::rowCount() const
{
    return model() ? model()->rowCount(rootIndex()) : 0;
}

int ReportView::rowHeight() const
{
    // Every row is as high as the first, which holds a picture and a line.
    if (m_rowHeight < 0 && rowCount() > 0) {
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const QModelIndex first = model()->index(0, 0, rootIndex());
        m_rowHeight = std::max(1, itemDelegateForIndex(first)->sizeHint(option, first).height());
    }
    return m_rowHeight > 0 ? m_rowHeight : std::max(1, fontMetrics().height() + 4);
}

int ReportView::firstRow() const
{
    return verticalScrollBar()->value();
}

int ReportView::rowsInView() const
{
    return std::max(1, viewport()->height() / rowHeight());
}

int ReportView::verticalOffset() const
{
    return firstRow() * rowHeight();
}

int ReportView::horizontalOffset() const
{
    return horizontalScrollBar()->value();
}

QRect ReportView::rowRect(int row) const
{
    return {0, (row - firstRow()) * rowHeight(), viewport()->width(), rowHeight()};
}

QRect ReportView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || m_header->isSectionHidden(index.column()))
        return {};
    return {m_header->sectionViewportPosition(index.column()), (index.row() - firstRow()) * rowHeight(),
            m_header->sectionSize(index.column()), rowHeight()};
}

QModelIndex ReportView::indexAt(const QPoint &point) const
{
    if (point.y() < 0)
        return {};
    const int row = firstRow() + point.y() / rowHeight();
    const int column = m_header->logicalIndexAt(point.x());
    if (row >= rowCount() || column < 0)
        return {};
    return model()->index(row, column, rootIndex());
}

void ReportView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid())
        return;
    const int row = index.row();
    const int shown = rowsInView();
    int first = firstRow();
    switch (hint) {
    case PositionAtTop:
        first = row;
        break;
    case PositionAtBottom:
        first = row - shown + 1;
        break;
    case PositionAtCenter:
        first = row - shown / 2;
        break;
    case EnsureVisible:
        if (row < first)
            first = row;
        else if (row >= first + shown)
            first = row - shown + 1;
        break;
    }
    verticalScrollBar()->setValue(first);
    // The cell's column comes into view as far as it fits.
    const int x = m_header->sectionViewportPosition(index.column());
    const int width = m_header->sectionSize(index.column());
    QScrollBar *across = horizontalScrollBar();
    if (x < 0)
        across->setValue(across->value() + x);
    else if (x + width > viewport()->width())
        across->setValue(across->value() + std::min(x, x + width - viewport()->width()));
}

int ReportView::sizeHintForColumn(int column) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    int widest = 0;
    const int last = std::min(rowCount(), firstRow() + rowsInView() + 1);
    for (int row = firstRow(); row < last; ++row) {
        const QModelIndex index = model()->index(row, column, rootIndex());
        widest = std::max(widest, itemDelegateForIndex(index)->sizeHint(option, index).width());
    }
    return widest;
}

QModelIndex ReportView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int rows = rowCount();
    if (rows == 0)
        return {};
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return model()->index(0, 0, rootIndex());
    int row = current.row();
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious:
        --row;
        break;
    case MoveDown:
    case MoveNext:
        ++row;
        break;
    case MovePageUp:
        row -= rowsInView();
        break;
    case MovePageDown:
        row += rowsInView();
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    case MoveLeft:
    case MoveRight:
        // The whole row is the item: left and right scroll across it.
        horizontalScrollBar()->triggerAction(cursorAction == MoveLeft ? QAbstractSlider::SliderSingleStepSub
                                                                      : QAbstractSlider::SliderSingleStepAdd);
        return current;
    }
    return model()->index(std::clamp(row, 0, rows - 1), current.column(), rootIndex());
}

void ReportView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    const int rows = rowCount();
    const QRect r = rect.normalized();
    const int top = firstRow() + std::max(0, r.top()) / rowHeight();
    const int bottom = std::min(rows - 1, firstRow() + std::max(0, r.bottom()) / rowHeight());
    // A press below the last row picks nothing (and clears what it should).
    if (rows == 0 || top >= rows || r.bottom() < 0) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    const int columns = model()->columnCount(rootIndex());
    selectionModel()->select(
        QItemSelection(model()->index(top, 0, rootIndex()), model()->index(bottom, columns - 1, rootIndex())), command);
}

QRegion ReportView::visualRegionForSelection(const QItemSelection &selection) const
{
    // Only the rows in view: a selection of a million rows is one rectangle.
    const int first = firstRow();
    const int last = first + rowsInView();
    QRegion region;
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() != rootIndex())
            continue;
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += rowRect(top).united(rowRect(bottom));
    }
    return region;
}

void ReportView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QAbstractItemView::currentChanged(current, previous);
    // The frame goes round the whole row.
    for (const QModelIndex &index : {previous, current}) {
        if (index.isValid())
            viewport()->update(rowRect(index.row()));
    }
}

void ReportView::updateGeometries()
{
    const int headerHeight = m_header->isHidden() ? 0 : m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    const QRect area = viewport()->geometry();
    m_header->setGeometry(area.left(), area.top() - headerHeight, area.width(), headerHeight);
    QScrollBar *down = verticalScrollBar();
    down->setRange(0, std::max(0, rowCount() - rowsInView()));
    down->setPageStep(rowsInView()); // a step is a row, as Qt has it
    QScrollBar *across = horizontalScrollBar();
    across->setRange(0, std::max(0, m_header->length() - area.width()));
    across->setPageStep(area.width());
    across->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
    m_header->setOffset(across->value());
    QAbstractItemView::updateGeometries();
}

void ReportView::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dy)
    if (dx)
        m_header->setOffset(horizontalScrollBar()->value());
    viewport()->update();
}

void ReportView::paintEvent(QPaintEvent *event)
{
    const int rows = rowCount();
    if (rows == 0)
        return;
    QPainter painter(viewport());
    QStyleOptionViewItem base;
    initViewItemOption(&base);
    const bool active = isActiveWindow();
    if (active)
        base.state |= QStyle::State_Active;
    base.palette.setCurrentColorGroup(!isEnabled() ? QPalette::Disabled
                                          : active ? QPalette::Active
                                                   : QPalette::Inactive);
    const int height = rowHeight();
    const QRect area = event->rect();
    const int first = firstRow() + std::max(0, area.top()) / height;
    const int last = std::min(rows - 1, firstRow() + area.bottom() / height);
    const QModelIndex current = currentIndex();
    QItemSelectionModel *selection = selectionModel();
    for (int row = first; row <= last; ++row) {
        const int y = (row - firstRow()) * height;
        for (int visual = 0; visual < m_header->count(); ++visual) {
            const int column = m_header->logicalIndex(visual);
            if (m_header->isSectionHidden(column))
                continue;
            const QRect cell(m_header->sectionViewportPosition(column), y, m_header->sectionSize(column), height);
            if (!cell.intersects(area))
                continue;
            const QModelIndex index = model()->index(row, column, rootIndex());
            QStyleOptionViewItem option = base;
            option.rect = cell;
            if (selection->isSelected(index))
                option.state |= QStyle::State_Selected;
            itemDelegateForIndex(index)->paint(&painter, option, index);
        }
        if (row == current.row() && hasFocus()) {
            QStyleOptionFocusRect frame;
            frame.QStyleOption::operator=(base);
            frame.rect = QRect(-horizontalOffset(), y, m_header->length(), height);
            frame.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
            const bool selected = selection->isRowSelected(row, rootIndex());
            frame.backgroundColor = base.palette.color(selected ? QPalette::Highlight : QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &painter, this);
        }
    }
}
