#pragma once

#include "audit/Catalogue.h"
#include "filelist/FileRow.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct ListedFile;

// The watch of one folder: the catalogue (KnownFiles), the signature of the
// last pass (LastNewFiles) and whether the window shows the alert. It
// decides alert, quiet and "folder cannot be listed"; the window shows what
// it is told.
//
// Every listing runs on a worker thread of its own, one at a time, in the
// order asked; rows come back whole. A result that something newer has
// overtaken (another folder, a new catalogue) is dropped. While the watch is
// held (a box open, a copy running) no listing starts and no result is
// applied; a pass asked for meanwhile runs once after the last release.
// Nothing ever waits for a worker: one stuck on a dead share is left behind.
class Watch : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Catalogue, Pass };
    // Lists the plain files of a folder in name order; false when the folder
    // cannot be listed. Runs on the worker thread.
    using Lister = std::function<bool(const QString &folder, std::vector<ListedFile> &files)>;

    explicit Watch(QObject *parent = nullptr);
    ~Watch() override;

    // Tests stand in a slow share here.
    void setLister(Lister lister);

    QString folder() const { return m_folder; }
    // File1 follows another folder; its catalogue is taken by ReadFile.
    void setFolder(const QString &folder);
    // ReadFile: a new catalogue; the rows come without status and the
    // window turns quiet.
    void ReadFile();
    // CompareFile: one audit pass; held while a listing runs.
    void CompareFile();

    // Counted: while held, no listing starts and no result is applied.
    void hold();
    void release();
    // The audit is over (the exit confirmed): nothing is listed or told again.
    void stop();
    // A pass asked for but not yet started is forgotten (the audit stopped).
    void dropWaitingPass() { m_passWanted = false; }

    // Nothing asked for, running or waiting to be applied.
    bool isIdle() const { return !m_running && !m_parked && !m_catalogueWanted && !m_passWanted; }
    // A finished listing waits for the hold to end.
    bool resultWaiting() const { return m_parked.has_value(); }
    // The rows of the last rowsReady(), handed over once.
    std::vector<FileRow> takeRows() { return std::move(m_rows); }

    const Catalogue &knownFiles() const { return *m_catalogue; }
    QString lastNewFiles() const { return m_lastNewFiles; }
    bool alerting() const { return m_alerting; }
    bool folderAvailable() const { return m_available; }

Q_SIGNALS:
    // Rows of a listing are ready (takeRows()); newCount of them are new.
    void rowsReady(Watch::Kind kind, qsizetype newCount);
    // The set of new files changed: the alert, with their count. Returns
    // once the user has seen it.
    void alert(qsizetype newCount);
    void quiet();
    void statusChanged(const QString &text);
    // Files whose attributes could not be read: told once per kind of error.
    void rowError(int error);
    // A listing has run longer than a moment; false when it ends.
    void busyChanged(bool busy);

private:
    struct Result {
        Kind kind = Kind::Pass;
        quint64 generation = 0;
        bool listed = false;
        std::vector<FileRow> rows;
        std::shared_ptr<const Catalogue> catalogue; // a new one, from a catalogue listing
        qsizetype newCount = 0;
        QString signature;
        int lastError = 0;
    };
    struct Job {
        Kind kind = Kind::Pass;
        quint64 generation = 0;
        QString folder;
        Lister lister;
        std::shared_ptr<const Catalogue> catalogue; // looked up by a pass
    };
    struct Link;

    void advance();
    void scheduleAdvance();
    void start(Kind kind);
    void finished(Result result);
    void apply(Result &result);
    void setStatus(const QString &text);
    static Result run(const Job &job);

    QString m_folder;
    Lister m_lister;
    std::shared_ptr<const Catalogue> m_catalogue;
    QString m_lastNewFiles;
    bool m_alerting = false;
    bool m_available = true;
    int m_lastRowError = 0;

    std::shared_ptr<Link> m_link;
    quint64 m_generation = 0;
    bool m_running = false;
    Kind m_runningKind = Kind::Pass;
    bool m_applying = false;
    bool m_advancePosted = false;
    bool m_catalogueWanted = false;
    bool m_passWanted = false;
    bool m_stopped = false;
    int m_holds = 0;
    std::optional<Result> m_parked;
    std::vector<FileRow> m_rows;
    QTimer m_busyTimer;
    bool m_busy = false;
};
