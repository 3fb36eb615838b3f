// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "filelist/FileListView.h"

#include "filelist/FileListModel.h"
#include "filelist/ReportView.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QResizeEvent>
#include <QStyleOption>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <limits>

// Every item of the icon and list views has one size, set by the mode, so
// that a hundred thousand rows lay out without measuring each name; a name
// longer than its cell is elided. (Uniform sizes taken from the first row
// would cut every longer name down to the first one's width.)
class FileCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize cell;
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override { return cell; }
    // The width a cell needs to show this row's name whole.
    int naturalWidth(const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        return QStyledItemDelegate::sizeHint(option, index).width();
    }

    // A name cut to its cell shows in full as the cell's tooltip.
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            QStyleOptionViewItem opt = option;
            initStyleOption(&opt, index);
            if (isCut(opt, view)) {
                QToolTip::showText(event->globalPos(), opt.text, view->viewport(), option.rect);
                return true;
            }
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    static bool isCut(const QStyleOptionViewItem &opt, const QWidget *view)
    {
        const QStyle *style = view->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, view) + 1;
        const QRect box = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, view);
        const int width = box.width() - 2 * margin;
        if (!(opt.features & QStyleOptionViewItem::WrapText))
            return opt.fontMetrics.horizontalAdvance(opt.text) > width;
        const QRect needed = opt.fontMetrics.boundingRect(QRect(0, 0, width, 1 << 20), Qt::TextWordWrap, opt.text);
        return needed.width() > width || needed.height() > box.height();
    }
};

// A header label cut by its column ends in "…" as the cells below it do,
// keeping its start whatever its alignment (the style would only clip it).
class ElidingHeaderStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        if (element == CE_HeaderLabel) {
            const auto draw = [&](auto label) {
                label.text = label.fontMetrics.elidedText(label.text, Qt::ElideRight, label.rect.width());
                QProxyStyle::drawControl(element, &label, painter, widget);
            };
            if (const auto *v2 = qstyleoption_cast<const QStyleOptionHeaderV2 *>(option))
                return draw(*v2);
            if (const auto *v1 = qstyleoption_cast<const QStyleOptionHeader *>(option))
                return draw(*v1);
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

FileListView::FileListView(FileListModel *model, QWidget *parent)
    : QStackedWidget(parent)
    , m_model(model)
    , m_report(new ReportView(this))
    , m_icons(new QListView(this))
    , m_cells(new FileCellDelegate(m_icons))
{
    m_report->setModel(model);
    m_report->header()->setSectionsClickable(true);
    m_report->header()->setSectionsMovable(false);
    m_report->header()->setStretchLastSection(false);
    m_report->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto *headerStyle = new ElidingHeaderStyle;
    headerStyle->setParent(m_report->header());
    m_report->header()->setStyle(headerStyle);
    // Widths are the user's, in twips: the style's minimum would widen the
    // 320-twip "Size" and "Type" columns and drift the stored widths.
    m_report->header()->setMinimumSectionSize(0);
    m_report->setIconSize(QSize(13, 13));

    m_icons->setModel(model);
    m_icons->setSelectionModel(m_report->selectionModel());
    m_icons->setItemDelegate(m_cells);
    m_icons->setUniformItemSizes(true);
    m_icons->setLayoutMode(QListView::Batched);
    m_icons->setBatchSize(2000);
    m_icons->setResizeMode(QListView::Adjust);
    m_icons->setMovement(QListView::Static);

    for (QAbstractItemView *view :
         {static_cast<QAbstractItemView *>(m_report), static_cast<QAbstractItemView *>(m_icons)}) {
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->viewport()->installEventFilter(this);
        view->installEventFilter(this);
    }
    addWidget(m_icons);
    addWidget(m_report);
    // Long names widen the cells of the list and small-icon views. Rows
    // that come or go, or move, are measured again.
    m_measureTimer.setObjectName(QStringLiteral("measureTimer"));
    m_measureTimer.setSingleShot(true); // at once: a timer's interval is 0 until set
    connect(&m_measureTimer, &QTimer::timeout, this, [this] {
        if (m_mode != SmallIcons && m_mode != List)
            return;
        measureSome(kMeasureSliceMs);
        if (fitCells())
            m_icons->doItemsLayout();
    });
    connect(model, &QAbstractItemModel::modelReset, this, &FileListView::remeasure);
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        // A row or two added to a list measured whole: only they are measured.
        if (m_widestName < 0 || m_measureTimer.isActive() || last - first >= 64)
            return remeasure();
        if (m_widestRow >= first)
            m_widestRow += last - first + 1;
        const QFontMetrics fm = m_icons->fontMetrics();
        for (int r = first; r <= last; ++r) {
            const int w = fm.horizontalAdvance(m_model->name(r));
            if (w > m_widestText) {
                m_widestText = w;
                m_widestRow = r;
            }
        }
        m_measureNext = m_model->rowCount();
        measureSome(kMeasureSliceMs);
        if (fitCells())
            m_icons->doItemsLayout();
    });
    // Rows that go or move are measured again only when the widest is
    // among them: the others leave the widest name as it was.
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex &, int first, int last) {
        const int count = last - first + 1;
        if (m_widestRow >= first && m_widestRow <= last)
            m_widestLost = true;
        else if (m_widestRow > last)
            m_widestRow -= count;
        if (std::size_t(last) < m_bounds.size())
            m_bounds.erase(m_bounds.begin() + first, m_bounds.begin() + last + 1);
        m_measureNext = m_measureNext > last ? m_measureNext - count : std::min(m_measureNext, first);
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (std::exchange(m_widestLost, false))
            remeasure();
    });
    connect(model, &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int from, int, const QModelIndex &, int to) {
                if (!m_bounds.empty())
                    return remeasure();
                if (m_widestRow == from)
                    m_widestRow = to > from ? to - 1 : to;
                else if (from < m_widestRow && m_widestRow < to)
                    --m_widestRow;
                else if (to <= m_widestRow && m_widestRow < from)
                    ++m_widestRow;
            });
    connect(model, &QAbstractItemModel::layoutChanged, this, &FileListView::remeasure);
    connect(m_report->header(), &QHeaderView::sectionClicked, this, &FileListView::headerClicked);
    // A model reset clears the selection without telling.
    connect(m_report->selectionModel(), &QItemSelectionModel::selectionChanged, this, &FileListView::selectionChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &FileListView::selectionChanged);
    connect(model, &FileListModel::rowsReplaced, this, [this] {
        // As many rows as before, but not the same names.
        remeasure();
        m_report->viewport()->update();
        m_icons->viewport()->update();
    });
    setViewMode(Report);
}

QItemSelectionModel *FileListView::selectionModel() const
{
    return m_report->selectionModel();
}

QHeaderView *FileListView::header() const
{
    return m_report->header();
}

QAbstractItemView *FileListView::currentView() const
{
    return m_mode == Report ? static_cast<QAbstractItemView *>(m_report) : m_icons;
}

void FileListView::setViewMode(int mode)
{
    if (mode < LargeIcons || mode > Report)
        return;
    m_mode = mode;
    m_model->setLargeImages(mode == LargeIcons);
    const QFontMetrics fm = m_icons->fontMetrics();
    switch (mode) {
    case LargeIcons:
        // The picture above up to two lines of its name.
        m_cells->cell = QSize(80, 32 + 6 + 2 * fm.lineSpacing());
        m_icons->setViewMode(QListView::IconMode); // the name under the picture; the cells wrap
        m_icons->setFlow(QListView::LeftToRight);
        m_icons->setIconSize(QSize(32, 32));
        m_icons->setGridSize(m_cells->cell + QSize(4, 4));
        m_icons->setWordWrap(true);
        m_icons->setTextElideMode(Qt::ElideMiddle);
        break;
    case SmallIcons:
    case List:
        m_cells->cell = QSize(kNameCellWidth, std::max(13, fm.height()) + 4);
        m_icons->setViewMode(QListView::ListMode);
        // Small icons run across the rows; the list runs down the columns.
        m_icons->setFlow(mode == SmallIcons ? QListView::LeftToRight : QListView::TopToBottom);
        m_icons->setWrapping(true);
        m_icons->setIconSize(QSize(13, 13));
        m_icons->setGridSize(QSize());
        m_icons->setWordWrap(false);
        m_icons->setTextElideMode(Qt::ElideRight);
        break;
    default:
        break;
    }
    m_widestName = -1;
    fitCells();
    // The cell size changed under the uniform layout: lay the items out again.
    m_icons->doItemsLayout();
    const bool hadFocus = currentWidget() && currentWidget()->hasFocus();
    setCurrentWidget(mode == Report ? static_cast<QWidget *>(m_report) : m_icons);
    // Tab and the access key reach whichever view is showing.
    setFocusProxy(currentWidget());
    if (hadFocus)
        currentWidget()->setFocus();
}

const std::vector<float> &FileListView::letterWidths() const
{
    const QFont font = m_icons->font();
    if (m_letterWidths.empty() || font != m_letterFont) {
        m_letterFont = font;
        const QFontMetricsF fm(font);
        m_letterWidths.assign(kMeasuredLetters, -1);
        for (char16_t c = 0x20; c < kMeasuredLetters; ++c) {
            // Control characters, combining marks and letters this font
            // lacks (drawn from another) have no width of their own here.
            if (QChar(c).isPrint() && QChar(c).category() != QChar::Mark_NonSpacing && fm.inFont(QChar(c)))
                m_letterWidths[c] = float(fm.horizontalAdvance(QChar(c)));
        }
    }
    return m_letterWidths;
}

void FileListView::startMeasure()
{
    // Shaping every name costs seconds at a million rows. A name of plain
    // letters is about as wide as its letters' widths added up (pairs set
    // apart, and rounding, add a pixel or two): that bound comes from a
    // table, and only names whose bound could pass the widest found are
    // shaped, a slice at a time, so that the window keeps answering.
    m_measureTimer.stop();
    const int rows = m_model->rowCount();
    m_measureNext = 0;
    m_widestText = -1;
    m_widestRow = -1;
    m_bounds.assign(std::size_t(rows), 0);
    const std::vector<float> &letters = letterWidths();
    const QFontMetrics fm = m_icons->fontMetrics();
    const float slack = 1 + float(fm.height()) / 8;
    float largest = -1;
    for (int r = 0; r < rows; ++r) {
        // Plain ASCII names are read as they lie; the others are decoded.
        const NameView name = m_model->nameView(r);
        constexpr float unknown = std::numeric_limits<float>::infinity();
        const auto width = [&](char16_t u) { return u < kMeasuredLetters && letters[u] >= 0 ? letters[u] : unknown; };
        float sum = 0;
        if (name.ascii) {
            for (int i = 0; i < name.size && sum != unknown; ++i)
                sum += width(char16_t(name.data[i]));
        } else {
            for (const QChar c : name.text()) {
                sum += width(c.unicode());
                if (sum == unknown)
                    break;
            }
        }
        const float bound = sum * 1.03f + slack;
        m_bounds[std::size_t(r)] = bound;
        if (bound > largest && sum != std::numeric_limits<float>::infinity()) {
            largest = bound;
            m_widestRow = r;
        }
    }
    if (m_widestRow >= 0)
        m_widestText = fm.horizontalAdvance(m_model->name(m_widestRow));
    measureSome(kMeasureSliceMs);
}

void FileListView::measureSome(int budgetMs)
{
    // Measured up to the width of the view, which no cell passes.
    const int limit = m_icons->viewport()->width();
    const QFontMetrics fm = m_icons->fontMetrics();
    const int rows = std::min(m_model->rowCount(), int(m_bounds.size()));
    QElapsedTimer clock;
    clock.start();
    int r = m_measureNext;
    for (; r < rows && m_widestText < limit; ++r) {
        if ((r & 255) == 0 && r > m_measureNext && clock.elapsed() >= budgetMs)
            break;
        if (r == m_widestRow || m_bounds[std::size_t(r)] <= float(m_widestText))
            continue;
        const int w = fm.horizontalAdvance(m_model->name(r));
        if (w > m_widestText) {
            m_widestText = w;
            m_widestRow = r;
        }
    }
    m_measureNext = r;
    const bool done = r >= rows || m_widestText >= limit;
    if (done)
        std::vector<float>().swap(m_bounds);
    else
        m_measureTimer.start();
    m_widestName = 0;
    if (m_widestRow >= 0 && m_widestRow < m_model->rowCount()) {
        QStyleOptionViewItem option;
        option.initFrom(m_icons);
        option.decorationSize = m_icons->iconSize();
        option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        m_widestName = m_cells->naturalWidth(option, m_model->index(m_widestRow, 0));
    }
}

void FileListView::remeasure()
{
    m_measureTimer.stop();
    std::vector<float>().swap(m_bounds);
    m_widestName = -1;
    if (fitCells())
        m_icons->doItemsLayout();
}

bool FileListView::fitCells()
{
    if (m_mode != SmallIcons && m_mode != List) {
        m_measureTimer.stop();
        return false;
    }
    if (m_widestName < 0)
        startMeasure();
    // As wide as the widest name needs, within the width the view has.
    const int room = m_icons->viewport()->width() - 2 * m_icons->spacing();
    const int width = std::max(kNameCellWidth, std::min(m_widestName, room));
    if (width == m_cells->cell.width())
        return false;
    m_cells->cell.setWidth(width);
    return true;
}

bool FileListView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_icons->viewport() && event->type() == QEvent::Resize) {
        // A name measured no further than the old width may need more now.
        const int oldRoom = static_cast<QResizeEvent *>(event)->oldSize().width() - 2 * m_icons->spacing();
        if (m_widestName >= oldRoom)
            m_widestName = -1;
        if (fitCells())
            m_icons->doItemsLayout();
    }
    const bool isView = watched == m_report || watched == m_icons;
    // The menu key (or Shift+F10, which the window system does not turn into
    // a menu request) opens the pop-up menu at the current row.
    const auto popUp = [this, watched] {
        auto *view = static_cast<QAbstractItemView *>(watched);
        const QRect item = view->visualRect(view->currentIndex());
        const QPoint local = item.isValid() ? item.center() : QPoint(4, 4);
        Q_EMIT mousePressed(Qt::RightButton, view->viewport()->mapToGlobal(local));
        return true;
    };
    if (isView && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::ShiftModifier && key->key() == Qt::Key_F10)
            return popUp();
        if (modifiers == Qt::NoModifier) {
            switch (key->key()) {
            case Qt::Key_Enter:
            case Qt::Key_Return:
                Q_EMIT doubleClicked();
                return true;
            case Qt::Key_Delete:
                Q_EMIT deletePressed();
                return true;
            default:
                break;
            }
        }
    }
    if (isView && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard)
        return popUp();
    if (watched == m_report->viewport() || watched == m_icons->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            // Told once the view has taken the press, so that a right click
            // on a row selects that row before its pop-up menu acts on it.
            const auto *me = static_cast<QMouseEvent *>(event);
            const Qt::MouseButton button = me->button();
            const QPoint pos = me->globalPosition().toPoint();
            QMetaObject::invokeMethod(
                this, [this, button, pos] { Q_EMIT mousePressed(button, pos); }, Qt::QueuedConnection);
            break;
        }
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
                Q_EMIT doubleClicked();
                return true;
            }
            break;
        default:
            break;
        }
    }
    return QStackedWidget::eventFilter(watched, event);
}
