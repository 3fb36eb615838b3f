// Open, copy and delete the files of the selected rows: the window hands
// the selected names to the file actions and shows what they tell.

#include "actions/FileActions.h"
#include "actions/FileCopier.h"
#include "app/frmMain.h"
#include "audit/AuditTexts.h"

#include <QProgressBar>

namespace {
// A copy that takes longer than this shows its progress bar.
constexpr int kProgressAfterMs = 400;
} // namespace

FileActions frmMain::fileActions()
{
    return FileActions(m_dialogs, this);
}

void frmMain::ShowShellError(int code, const QString &path)
{
    fileActions().showShellError(code, path);
}

void frmMain::lvwFile_DblClick()
{
    fileActions().open(m_watch->folder(), selectedNames());
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
    const std::optional<FileActions::CopyJob> job = fileActions().askCopy(m_watch->folder(), selectedNames());
    if (!job)
        return;
    if (job->names.isEmpty()) {
        if (!m_copier->isBusy())
            setStatusText(AuditTexts::sleeping());
        return;
    }
    // No audit pass runs until the copies end; a new catalogue does.
    if (!m_copier->isBusy()) {
        m_progressDelay.start(kProgressAfterMs);
        m_watch->holdPasses();
    }
    m_copier->add(job->sourceFolder, job->destinationFolder, job->names);
}

void frmMain::mnuCopy_Click()
{
    mPopCopy_Click();
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
    m_watch->releasePasses();
}

bool frmMain::isCopying() const
{
    return m_copier->isBusy();
}

void frmMain::mPopDel_Click()
{
    if (fileActions().deleteFiles(m_watch->folder(), selectedNames(), [this](const QString &t) { setStatusText(t); }))
        ReadFile();
}

void frmMain::mnuDelete_Click()
{
    mPopDel_Click();
}
