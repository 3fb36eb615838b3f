// Open, copy and delete the files of the selected rows.

#include "actions/FileOps.h"
#include "actions/ShellErrors.h"
#include "app/frmMain.h"
#include "audit/AuditTexts.h"
#include "filelist/FileListModel.h"
#include "platform/Dialogs.h"
#include "platform/ShellOpen.h"

namespace {
enum class RunAnswer { NotAsked, Yes, No };
} // namespace

void frmMain::ShowShellError(int code, const QString &path)
{
    if (ShellErrors::message(code).isEmpty())
        return;
    m_dialogs.message(this,
                      {ShellErrors::text(code, path), ShellErrors::title(code), Dialogs::Buttons::Ok,
                       Dialogs::Icon::Critical, Dialogs::Answer::Ok});
}

void frmMain::openFile(const QString &path)
{
    ShowShellError(ShellOpen::open(path), path);
}

void frmMain::lvwFile_DblClick()
{
    RunAnswer answer = RunAnswer::NotAsked;
    const int rows = m_model->rowCount();
    for (int i = 0; i < rows && i < m_model->rowCount(); ++i) {
        if (!isRowSelected(i))
            continue;
        const QString name = m_model->row(i).name;
        const QString path = FileOps::joinPath(m_watch->folder(), name);
        if (!FileOps::isExecutable(name, path)) {
            openFile(path);
            continue;
        }
        if (answer == RunAnswer::NotAsked) {
            const Dialogs::Answer reply
                = m_dialogs.message(this,
                                    {QStringLiteral("Do you want to run ") + name + QLatin1Char('?'),
                                     QStringLiteral("Executable Warning..."), Dialogs::Buttons::YesNo,
                                     Dialogs::Icon::Warning, Dialogs::Answer::Yes});
            if (reply == Dialogs::Answer::Yes) {
                openFile(path);
                answer = RunAnswer::Yes;
            } else {
                answer = RunAnswer::No;
            }
        } else if (answer == RunAnswer::Yes) {
            openFile(path);
        }
    }
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
    const QString proposedName = selectedNames().join(QStringLiteral("; "));
    const std::optional<QString> chosen = m_dialogs.saveFileName(this, proposedName);
    if (!chosen)
        return;
    if (!proposedName.isEmpty()) {
        // Where the user changed the name, what is left after it is no folder
        // the user chose: nothing is copied.
        const std::optional<QString> destination = FileOps::destinationFolder(*chosen, proposedName);
        if (!destination)
            return;
        const QString source = FileOps::folderWithSlash(m_watch->folder());
        const int rows = m_model->rowCount();
        for (int i = 0; i < rows && i < m_model->rowCount(); ++i) {
            if (!isRowSelected(i))
                continue;
            const QString name = m_model->row(i).name;
            setStatusText(QStringLiteral("Copying ") + name + QStringLiteral("..."));
            // A copy that fails is passed over in silence.
            FileOps::copyFile(source + name, *destination + name);
        }
    }
    setStatusText(AuditTexts::sleeping());
}

void frmMain::mnuCopy_Click()
{
    mPopCopy_Click();
}

void frmMain::mPopDel_Click()
{
    const QString names = selectedNames().join(QStringLiteral(", "));
    const Dialogs::Answer reply = m_dialogs.message(
        this,
        {QStringLiteral("Do you want to delete the file/s ") + names + QStringLiteral("?  "),
         QStringLiteral("Delete Warning"), Dialogs::Buttons::YesNo, Dialogs::Icon::Question, Dialogs::Answer::Yes});
    if (reply != Dialogs::Answer::Yes)
        return;
    const QString folder = FileOps::folderWithSlash(m_watch->folder());
    const int rows = m_model->rowCount();
    for (int i = 0; i < rows && i < m_model->rowCount(); ++i) {
        if (!isRowSelected(i))
            continue;
        const QString name = m_model->row(i).name;
        setStatusText(QStringLiteral("Deleting ") + name + QStringLiteral("..."));
        // A read-only file, or one that is gone, stays as it is, silently.
        FileOps::deleteFile(folder + name);
    }
    setStatusText(AuditTexts::sleeping());
    ReadFile();
}

void frmMain::mnuDelete_Click()
{
    mPopDel_Click();
}
