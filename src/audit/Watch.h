// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "audit/Catalogue.h"
#include "audit/ChangeSource.h"
#include "filelist/RowTable.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QSocketNotifier;

// The watch of one folder: the catalogue (KnownFiles), the signature of the
// last pass (LastNewFiles) and whether the window shows the alert. It
// decides alert, quiet and "folder cannot be listed"; the window shows what
// it is told.
//
// Every listing runs beside the window's thread and its rows come back
// whole, with the folder they were listed from. Passes of one
// folder run one at a time; one asked for meanwhile runs once after.
// Another folder or a new catalogue leaves a listing still running behind
// (a share that stopped answering never holds anything up) and starts its
// own at once; what the one left behind finds is dropped. While the watch
// is held (a box open) no listing starts and none is applied; while passes
// are held (copies running) passes wait, catalogues do not.
//
// Where the folder's file system tells of its changes (a change source), a
// pass looks up again only the names that changed since the last one, and
// its rows come as changes to the rows shown. It lists the folder in full
// whenever the changes cannot be trusted (events lost, the watch gone, no
// source to be had), at each catalogue, and once an hour as a check.
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
    // Lists the plain files of a folder, in any order; false when the folder
    // cannot be listed. Runs beside the window's thread.
    using Lister = std::function<bool(const QString &folder, RowTable &rows)>;

    // What one listing showed.
    struct Rows {
        QString folder;
        RowTable rows;
        // The rows are changes to the rows last shown of this folder, in
        // name order: rows to put in or update, Absent rows to take out.
        bool changes = false;
    };

    explicit Watch(QObject *parent = nullptr);
    ~Watch() override;

    // Tests stand in a slow share here.
    void setLister(Lister lister);
    // And change sources of their own; null: no source, every pass lists.
    void setSourceOpener(ChangeSource::Opener opener);
    // How long changes are trusted before a pass lists in full as a check.
    void setCheckEvery(qint64 ms) { m_checkEveryMs = ms; }
    // A new file being written that has not changed for this long is
    // complete all the same (a writer that hangs without closing it).
    void setSettleTime(qint64 ms) { m_settleMs = ms; }
    // The time arrivals are judged by, in milliseconds since the epoch.
    // Tests stand in a clock of their own, for one watch or for every one
    // made from then on.
    void setClock(std::function<qint64()> clock);
    static void setDefaultClock(std::function<qint64()> clock);
    // The source the folder's changes come from, if any.
    ChangeSource *source() const { return m_source.get(); }

    QString folder() const { return m_folder; }
    // Watches another folder from now on; its catalogue is taken by ReadFile,
    // which also leaves a listing of the last one.
    void setFolder(const QString &folder);
    // ReadFile: a new catalogue; the rows come without status and the
    // window turns quiet.
    void ReadFile();
    // CompareFile: one audit pass.
    void CompareFile();
    // The next pass lists the folder in full (the list lost its rows).
    void listInFull() { m_listInFull = true; }

    // Counted: while held, no listing starts and no result is applied.
    void hold();
    void release();
    // Counted: while held, no pass starts; catalogues go on.
    void holdPasses();
    void releasePasses();
    void stop();

    Phase phase() const { return m_state.phase; }
    // Nothing asked for, listing, waiting to be applied or due to step.
    bool isIdle() const;
    // The rows of the last rowsReady(), handed over once.
    Rows takeRows() { return std::move(m_rows); }

    bool alerting() const { return m_alerting; }
    bool folderAvailable() const { return m_available; }
    // The source's events were read: a new file being written that its
    // writer closed brings the next pass forward, so that it is told
    // complete soon.
    void changesRead();

Q_SIGNALS:
    // Rows of a listing are ready (takeRows()); newCount files are new.
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
    // A new file that was being written is complete, told as soon as it is
    // known, before its row is (a box may hold the passes back).
    void arrivalEnded(const QString &name);

private:
    struct ByName {
        bool operator()(const QByteArray &a, const QByteArray &b) const;
    };
    // A new file as the last pass saw it, to tell whether it is still being
    // written.
    struct Arrival {
        std::int64_t size = 0;
        std::int64_t mtime = 0;
        qint64 changedAt = 0; // the clock's time it was last seen change
        bool writing = false; // changed, or written and not yet closed
        bool open = false; // events told of a write and no close after it
    };
    using Seen = std::array<std::uint32_t, ChangeSource::KindCount>;
    // What the watch knows of the folder's files, as of its last listing
    // and the changes applied since.
    struct Known {
        // The new files' names in byte order, each ended by a NUL: the
        // signature of a pass.
        QByteArray newNames;
        qsizetype newCount = 0;
        // Files whose attributes could not be read, and why.
        std::map<QByteArray, int, ByName> unreadable;
        // Links and files of several names, read again at every pass.
        std::set<QByteArray> relook;
        // Every new file's size and time, and whether it is being written.
        std::map<QByteArray, Arrival> arrivals;
        // The last listing's size, to make room for the next.
        int rows = 0;
        std::size_t nameBytes = 0;
    };
    struct Result {
        Kind kind = Kind::Pass;
        quint64 generation = 0;
        QString folder;
        bool listed = false;
        bool changes = false; // the rows are changes; else the whole folder
        RowTable rows;
        std::shared_ptr<const Catalogue> catalogue; // a new one, from a catalogue listing
        Known known;
        qint64 now = 0; // the clock when the job began
        bool sourceOpened = false; // the folder's source was opened anew (or none could be)
        std::unique_ptr<ChangeSource> source;
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
        ChangeSource::Opener opener;
        bool openSource = false; // a new source is opened before the listing
        // Changes only: the names events named, looked up in a folder that
        // must still be the one watched.
        bool changesOnly = false;
        std::vector<QByteArray> names;
        // What the events told of each name, and whether they told all.
        std::map<QByteArray, Seen> events;
        bool eventsTrusted = false;
        std::map<QByteArray, Arrival> arrivals; // as the last pass left them
        qint64 now = 0;
        qint64 listedAt = 0; // when the folder was last listed (0: not yet)
        qint64 settleMs = 0;
        int rows = 0; // as many as the last listing found
        std::size_t nameBytes = 0;
        dev_t device = 0;
        ino_t inode = 0;
        Known known;
    };

    bool listing() const { return m_state.phase == Phase::Listing; }
    // The present listing is given up: its result will be dropped.
    void leaveListing();
    void advance();
    void start(Kind kind);
    void finished(Result result);
    void apply(Result &result);
    void setBusy(bool busy);
    void setSource(std::unique_ptr<ChangeSource> source);
    // While a box holds the passes back, the files being written are looked
    // at alone where no events tell of them.
    void lookAtArrivals();
    static Result run(const Job &job);
    static void listInFull(const Job &job, Result &result);
    static void lookUp(const Job &job, Result &result);
    // Whether a new file's row is still being written; its arrival as this
    // pass leaves it in arrivals.
    static bool arriving(const Job &job, const NameView &name, const FileRow &row,
                         std::map<QByteArray, Arrival> &arrivals);

    QString m_folder;
    Lister m_lister;
    ChangeSource::Opener m_opener;
    std::shared_ptr<const Catalogue> m_catalogue;
    // The folder the catalogue was taken of: until the watched folder has
    // one of its own, a pass takes it instead.
    QString m_catalogueFolder;
    Known m_known;
    QByteArray m_lastNewFiles;
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

    // The folder's changes, read as they come.
    std::unique_ptr<ChangeSource> m_source;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_listInFull = true;
    QElapsedTimer m_sinceInFull;
    qint64 m_checkEveryMs = 3600 * 1000;
    qint64 m_settleMs = 120 * 1000;
    std::function<qint64()> m_clock;
    qint64 m_listedAt = 0;
    QTimer m_soon; // a pass brought forward
    bool m_looking = false;
};
