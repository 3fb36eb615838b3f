#include "actions/FileActions.h"

#include "actions/FileOps.h"
#include "actions/ShellErrors.h"
#include "audit/AuditTexts.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/ShellOpen.h"

FileActions::FileActions(Dialogs &dialogs, QWidget *parent, Opener opener)
    : m_dialogs(dialogs)
    , m_parent(parent)
    , m_opener(opener ? std::move(opener) : Opener(&ShellOpen::open))
{ }

void FileActions::showShellError(int code, const QString &path) const
{
    if (ShellErrors::message(code).isEmpty())
        return;
    m_dialogs.message(m_parent,
                      {ShellErrors::text(code, path), ShellErrors::title(code), Dialogs::Buttons::Ok,
                       Dialogs::Icon::Critical, Dialogs::Answer::Ok});
}

void FileActions::open(const QString &folder, const QStringList &names) const
{
    enum class RunAnswer { NotAsked, Yes, No };
    RunAnswer answer = RunAnswer::NotAsked;
    for (const QString &name : names) {
        const QString path = FileOps::joinPath(folder, name);
        if (FileOps::isExecutable(name, path)) {
            if (answer == RunAnswer::No)
                continue;
            if (answer == RunAnswer::NotAsked) {
                const Dialogs::Answer reply
                    = m_dialogs.message(m_parent,
                                        {QStringLiteral("Do you want to run ") + name + QLatin1Char('?'),
                                         QStringLiteral("Executable Warning..."), Dialogs::Buttons::YesNo,
                                         Dialogs::Icon::Warning, Dialogs::Answer::Yes});
                answer = reply == Dialogs::Answer::Yes ? RunAnswer::Yes : RunAnswer::No;
                if (answer == RunAnswer::No)
                    continue;
            }
        }
        showShellError(m_opener(path), path);
    }
}

std::optional<FileActions::CopyJob> FileActions::askCopy(const QString &folder, const QStringList &names) const
{
    const QString proposedName = names.join(QStringLiteral("; "));
    std::optional<QString> destination;
    if (FileNames::encode(proposedName).size() <= kMaxNameBytes) {
        const std::optional<QString> chosen = m_dialogs.saveFileName(m_parent, proposedName);
        if (!chosen)
            return std::nullopt;
        // With nothing proposed there is nothing to copy.
        destination = proposedName.isEmpty() ? FileOps::folderWithSlash(*chosen)
                                             : FileOps::destinationFolder(*chosen, proposedName);
    } else {
        // No file dialog takes a name this long: the user picks the folder.
        if (const std::optional<QString> chosen = m_dialogs.chooseFolder(m_parent))
            destination = FileOps::folderWithSlash(*chosen);
    }
    if (!destination)
        return std::nullopt;
    return CopyJob {FileOps::folderWithSlash(folder), *destination, names};
}

bool FileActions::deleteFiles(const QString &folder, const QStringList &names, const StatusText &status) const
{
    const Dialogs::Answer reply = m_dialogs.message(
        m_parent,
        {QStringLiteral("Do you want to delete the file/s ") + names.join(QStringLiteral(", ")) + QStringLiteral("?  "),
         QStringLiteral("Delete Warning"), Dialogs::Buttons::YesNo, Dialogs::Icon::Question, Dialogs::Answer::Yes});
    if (reply != Dialogs::Answer::Yes)
        return false;
    for (const QString &name : names) {
        status(QStringLiteral("Deleting ") + name + QStringLiteral("..."));
        // A read-only file, or one that is gone, stays as it is, silently.
        FileOps::deleteFile(FileOps::joinPath(folder, name));
    }
    status(AuditTexts::sleeping());
    return true;
}

QString FileActions::copyingText(const QString &name)
{
    return QStringLiteral("Copying ") + name + QStringLiteral("...");
}
