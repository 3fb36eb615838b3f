// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/ShellOpen.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class Dialogs;
class QWidget;

// What open, copy and delete do with the selected rows, without the window:
// the rows come as their names in list order, the folder as the one they
// were listed from, and every question goes through the Dialogs seam. Each
// file is looked up, opened or deleted beside the window, one after
// another; the window goes on answering meanwhile.
class FileActions : public QObject
{
    Q_OBJECT

public:
    using StatusText = std::function<void(const QString &)>;
    // The file work done beside the window; each one left empty is the real
    // one (FileOps::isExecutable, ShellOpen::open, FileOps::deleteFile).
    // Tests stand in work that waits.
    struct Ops {
        std::function<bool(const QString &name, const QString &path)> isProgram;
        // The desktop's open service: a code out.
        std::function<int(const QString &path, const ShellOpen::Context &context)> open;
        std::function<bool(const QString &path)> remove;
    };

    // The parent is handed on to the boxes as it stands.
    FileActions(Dialogs &dialogs, QWidget *parent, Ops ops = {});

    // Hands each file to the desktop in turn and tells each failure as its
    // result comes back; asks once, before the first program, whether
    // programs may run. The applications start in the folder, with the time
    // of the user's event that asked for them. done follows the last file.
    void open(const QString &folder, const QStringList &names, std::function<void()> done = {});
    // The box for an open service's result; nothing for success or a code
    // that has no message.
    void showShellError(int code, const QString &path) const;

    // Of the names, each one still being written (in arriving) is asked
    // about first: "NAME is still being written. Open it anyway?", with the
    // verb given. The names kept, in their order.
    QStringList keepArriving(const QStringList &names, const QStringList &arriving, const QString &verb) const;

    struct CopyJob {
        QString sourceFolder; // both with a "/" at the end
        QString destinationFolder;
        QStringList names;
    };
    // Asks where the copies go: the file dialog with the names joined by
    // "; ", or a folder dialog when the joined names are longer than any
    // file name can be. Empty when the user cancelled, or changed the name so
    // that what is left is no folder chosen.
    std::optional<CopyJob> askCopy(const QString &folder, const QStringList &names) const;

    struct DeleteSteps {
        StatusText status; // "Deleting NAME..." as each file's turn comes
        std::function<void(const QString &name)> deleted;
        std::function<void()> done; // after the last
    };
    // Asks once; on Yes deletes each file in turn, unless the names asked
    // about are no longer what the list shows (current(), when given). True
    // when it deletes.
    bool deleteFiles(const QString &folder, const QStringList &names, DeleteSteps steps,
                     const std::function<bool()> &current = {});

    static QString copyingText(const QString &name);
    // The longest proposed name the file dialog is given, in bytes.
    static constexpr int kMaxNameBytes = 255;

protected:
    // Notes the time of each of the user's key and button events.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct OpenWalk;
    struct DeleteWalk;
    void openNext(const std::shared_ptr<OpenWalk> &walk);
    void launch(const std::shared_ptr<OpenWalk> &walk, const QString &path);
    void deleteNext(const std::shared_ptr<DeleteWalk> &walk);

    Dialogs &m_dialogs;
    QWidget *m_parent;
    Ops m_ops;
    quint32 m_userTime = 0;
};
