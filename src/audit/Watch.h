#pragma once

#include "audit/Catalogue.h"
#include "filelist/RowTable.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The watch of one folder: the catalogue (KnownFiles), the signature of the
// last pass (LastNewFiles) and whether the window shows the alert. It
// decides alert, quiet and "folder cannot be listed"; the window shows what
// it is told.
//
// Every listing runs beside the window's thread and its rows come back
// whole, with the folder and generation they were listed from. Passes of one
// folder run one at a time; one asked for meanwhile runs once after.
// Another folder or a new catalogue leaves a listing still running behind
// (a share that stopped answering never holds anything up) and starts its
// own at once; what the one left behind finds is dropped. While the watch
// is held (a box open) no listing starts and none is applied; while passes
// are held (copies running) passes wait, catalogues do not.
class Watch : public QObject
{
    Q_OBJECT

public:
    enum class Kind { Catalogue, Pass };
    // What the watch is doing; the rest of its state (below) says what
    // waits.
    enum class Phase {
        Idle, // nothing runs and nothing waits to be applied
        Listing, // a listing of the present generation runs beside the window
        Parked, // it has ended, and its result waits for the hold to end
        Telling, // a result is being applied; its alert box may be open
        Stopped, // the audit is over: nothing is listed or told again
    };
    // Lists the plain files of a folder in name order; false when the folder
    // cannot be listed. Runs beside the window's thread.
    using Lister = std::function<bool(const QString &folder, RowTable &rows)>;

    // What one listing showed.
    struct Rows {
        QString folder;
        quint64 generation = 0;
        RowTable rows;
    };

    explicit Watch(QObject *parent = nullptr);

    // Tests stand in a slow share here.
    void setLister(Lister lister);

    QString folder() const { return m_folder; }
    // Watches another folder from now on; its catalogue is taken by ReadFile.
    void setFolder(const QString &folder);
    // ReadFile: a new catalogue; the rows come without status and the
    // window turns quiet.
    void ReadFile();
    // CompareFile: one audit pass.
    void CompareFile();

    // Counted: while held, no listing starts and no result is applied.
    void hold();
    void release();
    // Counted: while held, no pass starts; catalogues go on.
    void holdPasses();
    void releasePasses();
    void stop();
    // A pass asked for but not yet started is forgotten (the audit stopped).
    void dropWaitingPass() { m_state.passAsked = false; }

    Phase phase() const { return m_state.phase; }
    quint64 generation() const { return m_generation; }
    // Nothing asked for, listing or waiting to be applied.
    bool isIdle() const;
    // The rows of the last rowsReady(), handed over once.
    Rows takeRows() { return std::move(m_rows); }

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
    // A listing has run longer than a moment; false when it ends or is left.
    void busyChanged(bool busy);

private:
    struct Result {
        Kind kind = Kind::Pass;
        quint64 generation = 0;
        QString folder;
        bool listed = false;
        RowTable rows;
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
        // The generation asked for last: a job that waited its turn behind
        // one stuck on the same share lists nothing once it is overtaken.
        std::shared_ptr<const std::atomic<quint64>> latest;
    };

    bool listing() const { return m_state.phase == Phase::Listing; }
    // The present listing is given up: its result will be dropped.
    void leaveListing();
    void advance();
    void start(Kind kind);
    void finished(Result result);
    void apply(Result &result);
    void setBusy(bool busy);
    static Result run(const Job &job);

    QString m_folder;
    Lister m_lister;
    std::shared_ptr<const Catalogue> m_catalogue;
    // The folder the catalogue was taken of: until the watched folder has
    // one of its own, a pass takes it instead.
    QString m_catalogueFolder;
    QString m_lastNewFiles;
    bool m_alerting = false;
    bool m_available = true;
    int m_lastRowError = 0;

    // Everything that decides what the watch does next, in one place:
    //   Idle      asked for: a catalogue first, then a pass; each starts
    //             when no box is open, a pass also only when no copy runs
    //   Listing   what is asked for meanwhile waits; a new catalogue or
    //             another folder leaves the listing behind and starts anew
    //   Parked    a box opened while it listed: the result is applied when
    //             the last box closes, unless something overtook it
    //   Telling   the result is applied; what is asked for meanwhile waits
    //   Stopped   nothing more
    struct State {
        Phase phase = Phase::Idle;
        Kind listing = Kind::Pass; // what runs while Listing
        std::optional<Result> parked; // only while Parked
        bool catalogueAsked = false;
        bool passAsked = false;
        int holds = 0; // boxes open
        int passHolds = 0; // copies running
    };
    State m_state;
    quint64 m_generation = 0;
    std::shared_ptr<std::atomic<quint64>> m_latest;
    Rows m_rows;
    QTimer m_advance; // the next step, from the event loop
    QTimer m_busyTimer;
    bool m_busy = false;
};
