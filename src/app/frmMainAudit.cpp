// The catalogue, the audit pass and the audit cycle of the main window.

#include "app/DriveSelector.h"
#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "audit/AuditPeriod.h"
#include "audit/AuditTexts.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTime>

namespace {

// Rows straight from the listing, which read each file's size and time in
// the same sweep. A file whose attributes could not be read still gets its
// row, with an empty size and time; the last such failure is reported.
std::vector<FileRow> rowsFromListing(const FileListing &listing, const Catalogue *catalogue, QStringList *newNames,
                                     int *lastError)
{
    std::vector<FileRow> rows;
    rows.reserve(std::size_t(listing.count()));
    const QString newStatus = AuditTexts::newStatus();
    for (const ListedFile &file : listing.files()) {
        const bool isNew = catalogue && !catalogue->contains(file.name);
        FileRow row = FileRow::make(file.name, isNew ? newStatus : QString(), file.size, file.mtime);
        if (file.error) {
            row.timeKnown = false;
            *lastError = file.error;
        }
        if (isNew)
            newNames->append(file.name);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace

bool frmMain::relist(bool takeCatalogue, QStringList *newNames)
{
    // A folder that took more than a moment to list last time shows the
    // busy pointer while it is listed again.
    const bool busy = m_lastListingMs >= kBusyAfterMs;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer timer;
    timer.start();
    InitViewList();
    const bool listed = File1.refresh();
    // A folder that cannot be listed (gone, unmounted) says nothing about
    // its files: the catalogue stays as it was.
    if (takeCatalogue && listed)
        KnownFiles.replace(File1);
    int lastError = 0;
    m_model->setRows(rowsFromListing(File1, takeCatalogue ? nullptr : &KnownFiles, newNames, &lastError),
                     FileListModel::RowOrder::ByName);
    m_lastListingMs = timer.elapsed();
    if (busy)
        QApplication::restoreOverrideCursor();
    // One box for a failure that lasts, not one on every tick.
    if (lastError != m_lastRowError) {
        m_lastRowError = lastError;
        if (lastError)
            reportRowError(lastError);
    }
    return listed;
}

void frmMain::ReadFile()
{
    QStringList unused;
    relist(true, &unused);
    setWindowTitle(AuditTexts::quietCaption());
    setWindowIconFile(QStringLiteral("Eye.ico"));
}

void frmMain::CompareFile()
{
    m_inPass = true;
    setStatusText(AuditTexts::checking());
    NewFileFound = false;
    QStringList newNames;
    if (!relist(false, &newNames)) {
        // While the folder cannot be listed the list is empty, but nothing
        // is known about its files: the window keeps what it told last.
        setStatusText(AuditTexts::sleeping());
        m_inPass = false;
        return;
    }
    const qsizetype NewCount = newNames.size();
    if (NewCount > 0) {
        lvwFile->setToolTip(AuditTexts::newFileTip());
        NewFileFound = true;
    }

    const QString NewFiles = AuditTexts::signature(newNames);
    // A new catalogue turns the window quiet but keeps the signature; new
    // files that repeat it (one deleted and made again) are told all the same.
    const bool shownQuiet = m_iconName == QLatin1String("Eye.ico");
    if (NewFiles != LastNewFiles || (NewFileFound && shownQuiet)) {
        if (NewFileFound)
            showAlert(NewCount);
        else
            setQuiet();
    }
    LastNewFiles = NewFiles;
    setStatusText(AuditTexts::sleeping());
    m_inPass = false;
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
    m_dialogs.message(this, box);
}

void frmMain::setQuiet()
{
    setWindowTitle(AuditTexts::quietCaption());
    setWindowIconFile(QStringLiteral("Eye.ico"));
}

void frmMain::RefreshFileLists()
{
    Drive1->refresh();
    Dir1->refresh();
    // File1 is listed by the pass that always follows; listing it here too
    // would read the folder twice on every tick.
}

void frmMain::Timer1_Timer()
{
    // A pass under an open box would rebuild the list beneath a question
    // and pile alert on alert: it waits until the box is closed.
    if (m_dialogs.isBoxOpen() || m_inPass) {
        m_tickPending = true;
        return;
    }
    m_tickPending = false;
    RefreshFileLists();
    SaveColSize();
    CompareFile();
}

void frmMain::runPendingTick()
{
    if (!m_tickPending || m_dialogs.isBoxOpen())
        return;
    // Once the audit is stopped (a period of 0, or the exit confirmed) a
    // tick held back by the box is dropped: no pass after the window closed.
    if (!Timer1.isActive()) {
        m_tickPending = false;
        return;
    }
    Timer1_Timer();
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
    SaveColSize();
    Timer1_Timer();
}
