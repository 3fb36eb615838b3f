// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// The main window's side of the audit: its handlers forward to the watch,
// and it shows what the watch tells.

#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "audit/AuditPeriod.h"
#include "audit/AuditTexts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/Dialogs.h"
#include "platform/Notifier.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QSet>
#include <QTime>

#include <utility>

namespace {

// The first few new files' names, one a line, then how many more: the
// list is read only as far as the last name shown. Those still being
// written are marked so, and go to arriving.
QString newFileNames(const FileListModel &model, qsizetype newCount, QSet<QString> *arriving = nullptr)
{
    constexpr int kShown = 5;
    QStringList names;
    for (int i = 0; i < model.rowCount() && names.size() < kShown; ++i) {
        if (!model.isNew(i))
            continue;
        const QString name = model.name(i);
        if (model.isArriving(i) && arriving) {
            arriving->insert(name);
            names.append(AuditTexts::arrivingName(name));
        } else {
            names.append(name);
        }
    }
    if (newCount > names.size())
        names.append(QStringLiteral("and %1 more").arg(newCount - names.size()));
    return names.join(QLatin1Char('\n'));
}

} // namespace

void frmMain::ReadFile()
{
    m_watch->ReadFile();
}

void frmMain::CompareFile()
{
    m_watch->CompareFile();
}

void frmMain::showRows(Watch::Kind kind, qsizetype newCount)
{
    Watch::Rows listed = m_watch->takeRows();
    // Changes go in place: the selection, the current row and the view stay
    // by themselves. Rows of another folder (the list lost them) cannot take
    // them: the folder is listed in full instead.
    if (listed.changes) {
        if (listed.folder != m_model->folder()) {
            m_watch->listInFull();
            m_watch->CompareFile();
            return;
        }
        m_model->applyChanges(listed.rows);
        if (newCount > 0)
            lvwFile->setToolTip(AuditTexts::newFileTip());
        lvwFile_Click();
        noticeArrivals(newCount);
        return;
    }
    // The rows the user picked stay picked when their files are still there
    // (matched by name, not by place); rows of another folder start afresh.
    QSet<QByteArray> picked;
    QByteArray current;
    QItemSelectionModel *selection = lvwFile->selectionModel();
    const auto bytes = [this](int row) {
        const NameView name = m_model->nameView(row);
        return QByteArray(name.data, name.size);
    };
    if (listed.folder == m_model->folder()) {
        for (const QModelIndex &index : selection->selectedRows())
            picked.insert(bytes(index.row()));
        if (selection->currentIndex().isValid())
            current = bytes(selection->currentIndex().row());
    }

    // A pass keeps the columns as they stand: their widths were stored when
    // it was asked for, and one dragged while the folder was listed stays.
    if (kind == Watch::Kind::Catalogue && std::exchange(m_lastWidthsPending, false))
        applyLastWidths();
    m_model->setRows(std::move(listed.rows), FileListModel::RowOrder::ByName);
    m_model->setSource(listed.folder);
    if (newCount > 0)
        lvwFile->setToolTip(AuditTexts::newFileTip());

    selection->clear();
    if (!picked.isEmpty() || !current.isEmpty()) {
        QItemSelection again;
        const int rows = m_model->rowCount();
        for (int i = 0; i < rows; ++i) {
            const NameView view = m_model->nameView(i);
            const QByteArray name = QByteArray::fromRawData(view.data, view.size);
            if (name == current)
                selection->setCurrentIndex(m_model->index(i, 0), QItemSelectionModel::NoUpdate);
            if (picked.contains(name))
                again.select(m_model->index(i, 0), m_model->index(i, FileListModel::ColumnCount - 1));
        }
        selection->select(again, QItemSelectionModel::Select);
    }
    // Open, Copy and Delete follow the selection that is left.
    lvwFile_Click();
    if (kind == Watch::Kind::Pass)
        noticeArrivals(newCount);
}

void frmMain::noticeArrivals(qsizetype newCount)
{
    // The notification named files still being written: once the last of
    // them is complete, it is told again without the marks. Other new files
    // are the alert's to tell.
    if (m_notice.arriving.isEmpty() || newCount != m_notice.newCount)
        return;
    for (int i = 0; i < m_model->rowCount(); ++i) {
        if (m_model->isArriving(i) && m_notice.arriving.contains(m_model->name(i)))
            return;
    }
    m_notice.arriving.clear();
    m_notifier->notify(m_notice.summary, newFileNames(*m_model, m_notice.newCount));
}

void frmMain::arrivalEnded(const QString &name)
{
    // Told before the rows are, while the alert box may still be open.
    if (m_notice.arriving.remove(name) && m_notice.arriving.isEmpty())
        m_notifier->notify(m_notice.summary, newFileNames(*m_model, m_notice.newCount));
}

void frmMain::showAlert(qsizetype newCount)
{
    setWindowIconFile(QStringLiteral("Lighton.ico"));
    setWindowTitle(AuditTexts::alertCaption(newCount));
    Dialogs::Box box {AuditTexts::alertMessage(newCount),
                      AuditTexts::alertTitle(QTime::currentTime()),
                      Dialogs::Buttons::Ok,
                      Dialogs::Icon::Information,
                      Dialogs::Answer::Ok,
                      true};
    // A box from a window in the background may stay behind the one the user
    // works in (focus-stealing prevention, Wayland): the desktop tells too.
    // In front, the box tells alone and an older notification would be stale.
    m_notice = {box.text.trimmed(), newCount, {}};
    if (isActiveWindow())
        m_notifier->withdraw();
    else
        m_notifier->notify(m_notice.summary, newFileNames(*m_model, newCount, &m_notice.arriving));
    m_dialogs.message(this, box);
}

void frmMain::setQuiet()
{
    setWindowTitle(AuditTexts::quietCaption());
    setWindowIconFile(QStringLiteral("Eye.ico"));
    m_notice.arriving.clear();
    m_notifier->withdraw();
}

void frmMain::showNewFiles(const QString &token)
{
    // Chosen, it has told what it had to.
    m_notice.arriving.clear();
    m_notifier->withdraw();
    for (int i = 0; i < m_model->rowCount(); ++i) {
        if (m_model->isNew(i)) {
            lvwFile->currentView()->scrollTo(m_model->index(i, 0));
            break;
        }
    }
    bringToFront(token);
}

void frmMain::showBusy(bool busy)
{
    // The window still answers; the pointer only says that a slow folder is
    // being listed.
    if (busy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

void frmMain::RefreshFileLists()
{
    Drive1->refresh();
    Dir1->refresh();
    // The folder is listed by the pass that always follows; listing it here too
    // would read the folder twice on every tick.
}

void frmMain::Timer1_Timer()
{
    RefreshFileLists();
    SaveColSize();
    // Held while a listing runs or a box is open; it then runs once.
    CompareFile();
}

void frmMain::mnuSetAuditTime_Click()
{
    const QString shown = QString::number(AuditPeriod::shownSeconds(m_auditInterval));
    const QString reply = m_dialogs.input(this, QStringLiteral("Please enter audit timeout in sec:"),
                                          QStringLiteral("Audit time setting..."), shown);
    if (const std::optional<int> ms = AuditPeriod::fromReply(reply))
        setAuditInterval(*ms);
}

void frmMain::mnuInitList_Click()
{
    SaveColSize();
    ReadFile();
}

void frmMain::mnuScanNet_Click()
{
    // The tick stores the column widths itself.
    Timer1_Timer();
}
