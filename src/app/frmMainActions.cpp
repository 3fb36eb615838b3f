// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// Open, copy and delete the files of the selected rows: the window hands
// the selected names to the file actions and shows what they tell.

#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "app/frmMain.h"
#include "audit/AuditTexts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"

#include <QItemSelectionModel>

#include <QProgressBar>

namespace {
// A copy that takes longer than this shows its progress bar.
constexpr int kProgressAfterMs = 400;
} // namespace

void frmMain::ShowShellError(int code, const QString &path)
{
    m_actions->showShellError(code, path);
}

// Every action resolves the rows' names against the folder they were listed
// from, never the watch's, which may have moved on to another folder; while
// the list stands for no folder, no action does anything.

void frmMain::forgetSelection()
{
    lvwFile->selectionModel()->clear();
    lvwFile_Click();
}

void frmMain::lvwFile_DblClick()
{
    const QString folder = m_model->folder();
    QStringList arriving;
    const QStringList names = selectedNames(&arriving);
    if (!folder.isEmpty())
        m_actions->open(folder, m_actions->keepArriving(names, arriving, QStringLiteral("Open")));
}

void frmMain::mPopOpen_Click()
{
    lvwFile_DblClick();
}

void frmMain::mnuOpen_Click()
{
    mPopOpen_Click();
}

void frmMain::mPopCopy_Click()
{
    const QString folder = m_model->folder();
    if (folder.isEmpty())
        return;
    QStringList arriving;
    QStringList names = selectedNames(&arriving);
    // Files still being written are copied only when the user says so.
    if (!arriving.isEmpty()) {
        names = m_actions->keepArriving(names, arriving, QStringLiteral("Copy"));
        if (names.isEmpty())
            return;
    }
    const std::optional<FileActions::CopyJob> job = m_actions->askCopy(folder, names);
    if (!job)
        return;
    if (job->names.isEmpty()) {
        if (!m_copier->isBusy())
            setStatusText(AuditTexts::sleeping());
        return;
    }
    if (!m_copier->isBusy()) {
        m_progressDelay.start(kProgressAfterMs);
        holdForCopies(true);
    }
    m_copier->add(job->sourceFolder, job->destinationFolder, job->names);
}

void frmMain::mnuCopy_Click()
{
    mPopCopy_Click();
}

void frmMain::holdForCopies(bool copying)
{
    // No audit pass runs until the copies end; a new catalogue does.
    if (copying)
        m_watch->holdPasses();
    else
        m_watch->releasePasses();
}

void frmMain::copyProgress(qint64 done, qint64 total)
{
    m_copyProgress->setRange(0, 1000);
    m_copyProgress->setValue(total > 0 ? int(std::min<qint64>(1000, done * 1000 / total)) : 0);
}

void frmMain::copiesFinished()
{
    m_progressDelay.stop();
    m_copyProgress->hide();
    setStatusText(AuditTexts::sleeping());
    holdForCopies(false);
}

bool frmMain::Probe::isCopying() const
{
    return w.m_copier->isBusy();
}

void frmMain::mPopDel_Click()
{
    const QString folder = m_model->folder();
    if (folder.isEmpty())
        return;
    FileActions::DeleteSteps steps;
    steps.status = [this](const QString &text) { setStatusText(text); };
    // A deleted file's row leaves at once, whatever holds the catalogue back.
    steps.deleted = [this, folder](const QString &name) {
        if (m_model->folder() == folder) {
            m_model->removeName(name);
            lvwFile_Click();
        }
    };
    steps.done = [this, folder] {
        const QString copying = m_copier->isBusy() ? m_copier->copyingName() : QString();
        setStatusText(copying.isEmpty() ? AuditTexts::sleeping() : FileActions::copyingText(copying));
        // The new catalogue is of the folder the files left, and only while
        // it is still the one watched.
        if (m_watch->folder() == folder)
            ReadFile();
    };
    // Nothing is deleted once the list has moved on to another folder while
    // the question was open.
    m_actions->deleteFiles(folder, selectedNames(), std::move(steps),
                           [this, folder] { return m_model->folder() == folder; });
}

void frmMain::mnuDelete_Click()
{
    mPopDel_Click();
}
