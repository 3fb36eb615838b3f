#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Dialogs;
class QWidget;

// What open, copy and delete do with the selected rows, without the window:
// the rows come as their names in list order, the folder as the watched
// folder's path, and every question goes through the Dialogs seam.
class FileActions
{
public:
    using StatusText = std::function<void(const QString &)>;
    // The desktop's open service: a path in, a result code out.
    using Opener = std::function<int(const QString &path)>;

    // The parent is handed on to the boxes as it stands.
    FileActions(Dialogs &dialogs, QWidget *parent, Opener opener = {});

    // Hands each file to the desktop and tells each failure; asks once,
    // before the first program, whether programs may run.
    void open(const QString &folder, const QStringList &names) const;
    // The box for an open service's result; nothing for success or a code
    // that has no message.
    void showShellError(int code, const QString &path) const;

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

    // Asks once; on Yes deletes each file in turn, naming it in the status
    // text, then shows "Sleeping...". True when the user said Yes.
    bool deleteFiles(const QString &folder, const QStringList &names, const StatusText &status) const;

    static QString copyingText(const QString &name);
    // The longest proposed name the file dialog is given, in bytes.
    static constexpr int kMaxNameBytes = 255;

private:
    Dialogs &m_dialogs;
    QWidget *m_parent;
    Opener m_opener;
};
