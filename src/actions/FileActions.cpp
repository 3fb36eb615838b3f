// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "actions/FileActions.h"

#include "actions/FileOps.h"
#include "actions/ShellErrors.h"
#include "platform/Background.h"
#include "platform/Dialogs.h"
#include "platform/FileNames.h"
#include "platform/ShellOpen.h"

#include <QGuiApplication>
#include <QInputEvent>

struct FileActions::OpenWalk {
    enum class RunAnswer { NotAsked, Yes, No };
    QString folder;
    QStringList names;
    qsizetype next = 0;
    RunAnswer answer = RunAnswer::NotAsked;
    std::function<void()> done;
    ShellOpen::Context context;
};

struct FileActions::DeleteWalk {
    QString folder;
    QStringList names;
    qsizetype next = 0;
    DeleteSteps steps;
};

FileActions::FileActions(Dialogs &dialogs, QWidget *parent, Ops ops)
    : m_dialogs(dialogs)
    , m_parent(parent)
    , m_ops(std::move(ops))
{
    if (!m_ops.isProgram)
        m_ops.isProgram = &FileOps::isExecutable;
    if (!m_ops.open)
        m_ops.open = &ShellOpen::open;
    if (!m_ops.remove)
        m_ops.remove = &FileOps::deleteFile;
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

bool FileActions::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        m_userTime = quint32(static_cast<QInputEvent *>(event)->timestamp());
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void FileActions::showShellError(int code, const QString &path) const
{
    if (ShellErrors::message(code).isEmpty())
        return;
    m_dialogs.message(m_parent,
                      {ShellErrors::text(code, path), ShellErrors::title(code), Dialogs::Buttons::Ok,
                       Dialogs::Icon::Critical, Dialogs::Answer::Ok});
}

void FileActions::open(const QString &folder, const QStringList &names, std::function<void()> done)
{
    // Only X11 stamps events with the time its window manager compares.
    const quint32 userTime = QGuiApplication::platformName() == QLatin1String("xcb") ? m_userTime : 0;
    openNext(std::make_shared<OpenWalk>(
        OpenWalk {folder, names, 0, OpenWalk::RunAnswer::NotAsked, std::move(done), {folder, userTime}}));
}

void FileActions::openNext(const std::shared_ptr<OpenWalk> &walk)
{
    if (walk->next >= walk->names.size()) {
        if (walk->done)
            walk->done();
        return;
    }
    const QString name = walk->names[walk->next++];
    const QString path = FileOps::joinPath(walk->folder, name);
    // Whether it is a program, and the launch unless it must be asked about
    // first: one trip beside the window.
    struct Looked {
        bool program = false;
        std::optional<int> code; // launched
    };
    const bool mayRun = walk->answer == OpenWalk::RunAnswer::Yes;
    Background::run(
        FileOps::folderWithSlash(walk->folder), this,
        [ops = m_ops, name, path, mayRun, context = walk->context] {
            Looked looked;
            looked.program = ops.isProgram(name, path);
            if (!looked.program || mayRun)
                looked.code = ops.open(path, context);
            return looked;
        },
        [this, walk, name, path](Looked looked) {
            if (looked.code) {
                showShellError(*looked.code, path);
            } else if (walk->answer == OpenWalk::RunAnswer::NotAsked) {
                const Dialogs::Answer reply
                    = m_dialogs.message(m_parent,
                                        {QStringLiteral("Do you want to run ") + name + QLatin1Char('?'),
                                         QStringLiteral("Executable Warning..."), Dialogs::Buttons::YesNo,
                                         Dialogs::Icon::Warning, Dialogs::Answer::Yes});
                if (reply == Dialogs::Answer::Yes) {
                    walk->answer = OpenWalk::RunAnswer::Yes;
                    launch(walk, path);
                    return;
                }
                walk->answer = OpenWalk::RunAnswer::No;
            }
            openNext(walk);
        });
}

void FileActions::launch(const std::shared_ptr<OpenWalk> &walk, const QString &path)
{
    Background::run(
        FileOps::folderWithSlash(walk->folder), this,
        [open = m_ops.open, path, context = walk->context] { return open(path, context); },
        [this, walk, path](int code) {
            showShellError(code, path);
            openNext(walk);
        });
}

QStringList FileActions::keepArriving(const QStringList &names, const QStringList &arriving, const QString &verb) const
{
    QStringList kept;
    for (const QString &name : names) {
        if (arriving.contains(name)
            && m_dialogs.message(
                   m_parent,
                   {name + QStringLiteral(" is still being written. ") + verb + QStringLiteral(" it anyway?"),
                    QStringLiteral("File Still Arriving"), Dialogs::Buttons::YesNo, Dialogs::Icon::Warning,
                    Dialogs::Answer::No})
                != Dialogs::Answer::Yes)
            continue;
        kept.append(name);
    }
    return kept;
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

bool FileActions::deleteFiles(const QString &folder, const QStringList &names, DeleteSteps steps,
                              const std::function<bool()> &current)
{
    const Dialogs::Answer reply = m_dialogs.message(
        m_parent,
        {QStringLiteral("Do you want to delete the file/s ") + names.join(QStringLiteral(", ")) + QStringLiteral("?  "),
         QStringLiteral("Delete Warning"), Dialogs::Buttons::YesNo, Dialogs::Icon::Question, Dialogs::Answer::Yes});
    if (reply != Dialogs::Answer::Yes || (current && !current()))
        return false;
    deleteNext(std::make_shared<DeleteWalk>(DeleteWalk {folder, names, 0, std::move(steps)}));
    return true;
}

void FileActions::deleteNext(const std::shared_ptr<DeleteWalk> &walk)
{
    if (walk->next >= walk->names.size()) {
        walk->steps.done();
        return;
    }
    const QString name = walk->names[walk->next++];
    walk->steps.status(QStringLiteral("Deleting ") + name + QStringLiteral("..."));
    Background::run(
        FileOps::folderWithSlash(walk->folder), this,
        // A read-only file, or one that is gone, stays as it is, silently.
        [remove = m_ops.remove, path = FileOps::joinPath(walk->folder, name)] { return remove(path); },
        [this, walk, name](bool deleted) {
            if (deleted)
                walk->steps.deleted(name);
            deleteNext(walk);
        });
}

QString FileActions::copyingText(const QString &name)
{
    return QStringLiteral("Copying ") + name + QStringLiteral("...");
}
