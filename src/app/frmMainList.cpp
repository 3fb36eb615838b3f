// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// The main window's list: its columns, rows, views, sorting and menus.

#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/Dialogs.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// The widest a column may be, in twips (some 400 screens at 96 dpi): a width
// is used as stored, guarded only against pixel counts that would overflow.
constexpr double kMaxColumnTwips = 1e7;

} // namespace

double frmMain::columnWidthTwips(int column) const
{
    const int px = lvwFile->header()->sectionSize(column - 1);
    const double stored = m_columnTwips[std::size_t(column - 1)];
    // A column the user has not dragged keeps the exact width it was given.
    if (px == twipsToPixels(stored))
        return stored;
    return pixelsToTwips(px);
}

void frmMain::setColumnWidthTwips(int column, double twips)
{
    if (!(twips >= 0))
        return;
    twips = std::min(twips, kMaxColumnTwips);
    m_columnTwips[std::size_t(column - 1)] = twips;
    lvwFile->header()->resizeSection(column - 1, twipsToPixels(twips));
}

double frmMain::headerTextTwips(int column) const
{
    return std::ceil(pixelsToTwips(lvwFile->header()->sectionSizeHint(column - 1)));
}

void frmMain::InitViewList()
{
    for (int c = 1; c <= 5; ++c) {
        const Setting key = SettingsStore::columnSize(c);
        std::optional<double> width = SettingsStore::parseNumber(m_settings.read(key, QString()));
        // No width stored, or none usable: the column's default, widened
        // where the desktop's font needs more for the header's text.
        if (!width || *width < 0)
            width
                = std::max(SettingsStore::parseNumber(SettingsStore::defaultValue(key).value_or(QString())).value_or(0),
                           headerTextTwips(c));
        ColumnWidths[std::size_t(c - 1)] = float(std::min(*width, kMaxColumnTwips));
    }
    for (int c = 1; c <= 5; ++c)
        setColumnWidthTwips(c, ColumnWidths[std::size_t(c - 1)]);
    m_model->clear();
}

void frmMain::applyLastWidths()
{
    for (int c = 1; c <= 4; ++c) {
        if (auto v = m_settings.readNumber(SettingsStore::listViewColumn(c)))
            setColumnWidthTwips(c, *v);
    }
}

void frmMain::SaveColSize()
{
    // Runs on every tick: a width that has not changed is not written, and
    // those that have reach the disk together.
    const SettingsStore::Batch batch(m_settings);
    for (int c = 1; c <= 5; ++c)
        m_settings.writeNumber(SettingsStore::columnSize(c), columnWidthTwips(c));
}

void frmMain::reportRowError(int error)
{
    m_dialogs.message(this,
                      {QStringLiteral("Error #") + QString::number(error) + QStringLiteral(": ")
                           + QString::fromLocal8Bit(std::strerror(error)),
                       QStringLiteral("Vardel")});
}

void frmMain::cmdView_Click()
{
    switch (lvwFile->viewMode()) {
    case FileListView::LargeIcons:
        lvwFile->setViewMode(FileListView::SmallIcons);
        break;
    case FileListView::SmallIcons:
        lvwFile->setViewMode(FileListView::Report);
        break;
    case FileListView::Report:
        lvwFile->setViewMode(FileListView::List);
        break;
    case FileListView::List:
        lvwFile->setViewMode(FileListView::LargeIcons);
        break;
    default:
        break;
    }
}

void frmMain::lvwFile_ColumnClick(int column)
{
    m_model->sortByColumn(column);
    lvwFile->header()->setSortIndicatorShown(true);
    lvwFile->header()->setSortIndicator(column, Qt::AscendingOrder);
}

void frmMain::lvwFile_Click()
{
    const bool any = lvwFile->selectionModel()->hasSelection();
    for (QAction *a : {mnuOpen, mnuCopy, mnuDelete, mPopOpen, mPopCopy, mPopDel})
        a->setEnabled(any);
}

void frmMain::lvwFile_MouseDown(Qt::MouseButton button, const QPoint &globalPos)
{
    if (button == Qt::RightButton)
        mPopupSys->exec(globalPos);
}

bool frmMain::isRowSelected(int row) const
{
    return lvwFile->selectionModel()->isRowSelected(row, {});
}

QStringList frmMain::selectedNames(QStringList *arriving) const
{
    QStringList names;
    const int rows = m_model->rowCount();
    for (int i = 0; i < rows; ++i) {
        if (!isRowSelected(i))
            continue;
        names.append(m_model->name(i));
        if (arriving && m_model->isArriving(i))
            arriving->append(names.back());
    }
    return names;
}
