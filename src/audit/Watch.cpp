// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "audit/Watch.h"

#include "audit/AuditTexts.h"
#include "audit/FileListing.h"
#include "platform/Background.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <malloc.h>

namespace {

// A listing that runs longer than this shows the busy pointer.
constexpr int kBusyAfterMs = 150;
// Past this many links, a pass would read as much as a listing.
constexpr std::size_t kMaxRelooked = 4096;
// A file being written that its writer closed is told complete this soon,
// not only at the next tick.
constexpr int kClosedPassAfterMs = 500;

NameView viewOf(const QByteArray &bytes)
{
    return {bytes.constData(), int(bytes.size()), NameOrder::isAscii(bytes.constData(), int(bytes.size()))};
}

} // namespace

bool Watch::ByName::operator()(const QByteArray &a, const QByteArray &b) const
{
    return NameOrder::compare(viewOf(a), viewOf(b)) < 0;
}

Watch::Watch(QObject *parent)
    : QObject(parent)
    , m_catalogue(std::make_shared<Catalogue>())
    , m_latest(std::make_shared<std::atomic<quint64>>(0))
{
    // Listings of a million files come and go in tables of tens of
    // megabytes: each goes back to the system when it is freed, rather than
    // staying in the heap of the thread that freed it.
    static const bool tuned = ::mallopt(M_MMAP_THRESHOLD, 256 * 1024) == 1;
    Q_UNUSED(tuned)
    setLister(nullptr);
    setSourceOpener(ChangeSource::defaultOpener());
    m_advance.setSingleShot(true); // at once: a timer's interval is 0 until set
    connect(&m_advance, &QTimer::timeout, this, &Watch::advance);
    m_busyTimer.setSingleShot(true);
    m_busyTimer.setInterval(kBusyAfterMs);
    connect(&m_busyTimer, &QTimer::timeout, this, [this] { setBusy(listing()); });
    setClock(nullptr);
    m_soon.setSingleShot(true);
    m_soon.setInterval(kClosedPassAfterMs);
    connect(&m_soon, &QTimer::timeout, this, &Watch::CompareFile);
}

namespace {
std::function<qint64()> &defaultClock()
{
    static std::function<qint64()> clock;
    return clock;
}
} // namespace

void Watch::setDefaultClock(std::function<qint64()> clock)
{
    defaultClock() = std::move(clock);
}

void Watch::setClock(std::function<qint64()> clock)
{
    if (!clock)
        clock = defaultClock();
    m_clock = clock ? std::move(clock) : std::function<qint64()>(&QDateTime::currentMSecsSinceEpoch);
}

void Watch::changesRead()
{
    if (!m_source)
        return;
    for (const QByteArray &name : m_source->takeClosed()) {
        const auto it = m_known.arrivals.find(name);
        if (it == m_known.arrivals.end() || !it->second.writing || !m_source->closedLast(name))
            continue;
        it->second.writing = it->second.open = false;
        Q_EMIT arrivalEnded(viewOf(name).text());
        if (!m_soon.isActive())
            m_soon.start();
    }
}

void Watch::lookAtArrivals()
{
    if (m_looking || m_source || m_folder.isEmpty())
        return;
    std::vector<QByteArray> names;
    for (const auto &[name, arrival] : m_known.arrivals) {
        if (arrival.writing)
            names.push_back(name);
    }
    if (names.empty())
        return;
    m_looking = true;
    Background::run(
        m_folder, this,
        [folder = m_folder, names = std::move(names)] {
            RowTable rows;
            if (FileListing::lookUp(folder, names, 0, 0, rows) != FileListing::LookUp::Found)
                rows = RowTable();
            return rows;
        },
        [this, folder = m_folder](RowTable rows) {
            m_looking = false;
            if (folder != m_folder)
                return;
            // Unchanged since it was last seen: complete. (No pass runs
            // meanwhile: what it is seen as now is what the next one
            // compares with.)
            for (int i = 0; i < rows.size(); ++i) {
                const FileRow &row = rows.row(i);
                const auto it = m_known.arrivals.find(QByteArray(rows.name(i).data, rows.name(i).size));
                if (it == m_known.arrivals.end() || !it->second.writing)
                    continue;
                Arrival &arrival = it->second;
                if ((arrival.size == row.size && arrival.mtime == row.mtime) || (row.flags & FileRow::Absent)) {
                    arrival.writing = false;
                    Q_EMIT arrivalEnded(rows.name(i).text());
                } else {
                    arrival = {row.size, row.mtime, m_clock(), true, false};
                }
            }
        });
}

Watch::~Watch() = default;

void Watch::setLister(Lister lister)
{
    m_lister = lister ? std::move(lister) : Lister(FileListing::list);
}

void Watch::setSourceOpener(ChangeSource::Opener opener)
{
    m_opener = std::move(opener);
    setSource(nullptr);
}

void Watch::setSource(std::unique_ptr<ChangeSource> source)
{
    m_notifier.reset();
    m_source = std::move(source);
    m_listInFull = true;
    // Events are read as they come, so that the kernel's queue seldom fills.
    if (m_source && m_source->descriptor() >= 0) {
        m_notifier = std::make_unique<QSocketNotifier>(m_source->descriptor(), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
            m_source->readAvailable();
            changesRead();
        });
    }
}

bool Watch::isIdle() const
{
    return (m_state.phase == Phase::Idle || m_state.phase == Phase::Stopped) && !m_state.catalogueAsked
        && !m_state.passAsked && !m_advance.isActive();
}

void Watch::leaveListing()
{
    *m_latest = ++m_generation;
    if (m_state.phase == Phase::Parked) {
        m_state.parked.reset();
        m_state.phase = Phase::Idle;
    }
    if (!listing())
        return;
    const bool pass = m_state.listing == Kind::Pass;
    m_state.phase = Phase::Idle;
    m_busyTimer.stop();
    setBusy(false);
    if (pass)
        Q_EMIT statusChanged(m_available ? AuditTexts::sleeping() : AuditTexts::notAvailable(m_folder));
}

void Watch::setFolder(const QString &folder)
{
    if (folder == m_folder || m_state.phase == Phase::Stopped)
        return;
    m_folder = folder;
    setSource(nullptr);
    // Whatever was known of the last folder's availability says nothing of this one.
    if (!std::exchange(m_available, true))
        Q_EMIT statusChanged(AuditTexts::sleeping());
}

void Watch::ReadFile()
{
    if (m_state.phase == Phase::Stopped)
        return;
    // A listing begun before this, or waiting to be applied, may miss what
    // made the new catalogue necessary (a delete, another folder).
    leaveListing();
    m_state.catalogueAsked = true;
    advance();
}

void Watch::CompareFile()
{
    if (m_state.phase == Phase::Stopped)
        return;
    if (m_state.holds > 0)
        lookAtArrivals();
    m_state.passAsked = true;
    advance();
}

void Watch::hold()
{
    ++m_state.holds;
}

void Watch::release()
{
    if (m_state.holds > 0 && --m_state.holds == 0)
        m_advance.start();
}

void Watch::holdPasses()
{
    ++m_state.passHolds;
}

void Watch::releasePasses()
{
    if (m_state.passHolds > 0 && --m_state.passHolds == 0)
        m_advance.start();
}

void Watch::stop()
{
    leaveListing();
    setSource(nullptr);
    m_state.phase = Phase::Stopped;
    m_state.catalogueAsked = false;
    m_state.passAsked = false;
}

void Watch::advance()
{
    // Applying may show a box, whose own event loop comes back here.
    if (m_state.phase == Phase::Stopped || m_state.phase == Phase::Telling || m_state.holds > 0)
        return;
    if (m_state.phase == Phase::Parked) {
        Result result = std::move(*m_state.parked);
        m_state.parked.reset();
        m_state.phase = Phase::Idle;
        apply(result);
        m_advance.start();
        return;
    }
    if (listing())
        return;
    if (m_folder.isEmpty()) {
        // No folder watched yet: nothing to list.
        m_state.catalogueAsked = m_state.passAsked = false;
        return;
    }
    // A pass looks names up in the catalogue of its own folder: until there
    // is one, it takes that catalogue instead.
    if (m_state.catalogueAsked || (m_state.passAsked && m_catalogueFolder != m_folder))
        start(Kind::Catalogue);
    else if (m_state.passAsked && m_state.passHolds == 0)
        start(Kind::Pass);
}

void Watch::start(Kind kind)
{
    m_state.catalogueAsked = false;
    if (kind == Kind::Pass || m_catalogueFolder != m_folder)
        m_state.passAsked = false;
    m_state.phase = Phase::Listing;
    m_state.listing = kind;
    if (kind == Kind::Pass)
        Q_EMIT statusChanged(AuditTexts::checking());
    m_busyTimer.start();
    // The job owns copies of all it needs; the folder is its lane, so a share
    // that stopped answering holds back its own listings only.
    Job job;
    job.kind = kind;
    job.generation = m_generation;
    job.folder = m_folder;
    job.lister = m_lister;
    job.catalogue = m_catalogue;
    job.latest = m_latest;
    job.opener = m_opener;
    job.rows = m_known.rows;
    job.nameBytes = m_known.nameBytes;
    // A pass looks up what changed where the changes can be trusted; the
    // folder is listed in full otherwise, and what the source told until now
    // is in that listing.
    const bool check = m_sinceInFull.isValid() && m_sinceInFull.elapsed() >= m_checkEveryMs;
    bool inFull = kind == Kind::Catalogue || !m_source || m_source->gone() || m_listInFull || check
        || m_known.relook.size() > kMaxRelooked;
    if (m_source) {
        m_source->setBound(std::max<std::size_t>(4096, std::size_t(m_known.rows) / 8));
        m_source->readAvailable();
        m_source->takeClosed();
        ChangeSource::Taken taken = m_source->take();
        job.eventsTrusted = taken.complete && !m_source->gone();
        inFull = inFull || !job.eventsTrusted;
        for (ChangeSource::Named &named : taken.names) {
            job.events.emplace(named.name, named.seen);
            job.names.push_back(std::move(named.name));
        }
    }
    // Whether new files are still being written is judged at every pass:
    // those that were are looked up again, changed or not.
    m_soon.stop();
    job.arrivals = m_known.arrivals;
    job.now = m_clock();
    job.listedAt = m_listedAt;
    job.settleMs = m_settleMs;
    for (const auto &[name, arrival] : job.arrivals) {
        if (arrival.writing)
            job.names.push_back(name);
    }
    if (inFull) {
        job.names.clear();
        job.openSource = !m_source || m_source->gone();
        if (job.openSource)
            setSource(nullptr);
    } else {
        job.changesOnly = true;
        job.device = m_source->device();
        job.inode = m_source->inode();
        job.known = m_known;
    }
    Background::run(
        m_folder, this, [job = std::move(job)] { return run(job); },
        [this](Result result) { finished(std::move(result)); });
}

Watch::Result Watch::run(const Job &job)
{
    Result result;
    result.kind = job.kind;
    result.generation = job.generation;
    result.folder = job.folder;
    result.now = job.now;
    if (job.latest->load() != job.generation)
        return result;
    if (job.changesOnly)
        lookUp(job, result);
    else
        listInFull(job, result);
    return result;
}

void Watch::listInFull(const Job &job, Result &result)
{
    // The watch begins before the listing: a change made meanwhile is in
    // both, and the next pass looks it up again.
    if (job.openSource || result.sourceOpened) {
        result.sourceOpened = true;
        result.source = job.opener ? job.opener(job.folder) : nullptr;
    }
    RowTable &rows = result.rows;
    // Room for a few more than the last time, at once: growing a million
    // rows as they come would hold them twice over now and then.
    rows.reserve(job.rows + job.rows / 16 + 16, job.nameBytes + job.nameBytes / 16 + 256);
    result.listed = job.lister(job.folder, rows);
    if (!result.listed)
        return;
    Known &known = result.known;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.row(i).flags & FileRow::Linked)
            known.relook.emplace(rows.name(i).data, rows.name(i).size);
    }
    rows.dropFlagged(FileRow::Absent);
    if (job.kind == Kind::Catalogue) {
        rows.sortByName();
        result.catalogue = Catalogue::take(rows);
    } else {
        rows.dropFlagged(FileRow::Unlisted);
        job.catalogue->mark(rows); // and puts them in name order
    }
    std::vector<QByteArray> newNames;
    for (int i = 0; i < rows.size(); ++i) {
        FileRow &row = rows.row(i);
        const NameView name = rows.name(i);
        if (row.isNew()) {
            newNames.emplace_back(name.data, name.size);
            if (arriving(job, name, row, known.arrivals))
                row.flags |= FileRow::Arriving;
        }
        if (row.flags & FileRow::Unread)
            known.unreadable.emplace_hint(known.unreadable.end(), QByteArray(name.data, name.size), row.error);
    }
    std::sort(newNames.begin(), newNames.end());
    for (const QByteArray &name : newNames)
        known.newNames.append(name).append('\0');
    known.newCount = qsizetype(newNames.size());
    known.rows = rows.size();
    known.nameBytes = rows.nameBytes();
}

void Watch::lookUp(const Job &job, Result &result)
{
    std::vector<QByteArray> names = job.names;
    names.insert(names.end(), job.known.relook.begin(), job.known.relook.end());
    std::sort(names.begin(), names.end(), ByName());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    RowTable &changes = result.rows;
    switch (FileListing::lookUp(job.folder, names, job.device, job.inode, changes)) {
    case FileListing::LookUp::NotAvailable:
        return;
    case FileListing::LookUp::Replaced:
        // Another folder under the same name (or one mounted on it): the
        // watch is of the old one.
        result.sourceOpened = true;
        return listInFull(job, result);
    case FileListing::LookUp::Found:
        break;
    }
    // A file given a second name changes under the other name too, which
    // no event of this one tells: the folder is listed to learn them all.
    for (int i = 0; i < changes.size(); ++i) {
        const NameView name = changes.name(i);
        if ((changes.row(i).flags & FileRow::Shared) && !job.known.relook.count(QByteArray(name.data, name.size))) {
            changes = RowTable();
            return listInFull(job, result);
        }
    }
    result.listed = true;
    result.changes = true;
    Known &known = result.known;
    known = job.known;
    std::set<QByteArray> added;
    std::set<QByteArray> removed;
    for (int i = 0; i < changes.size(); ++i) {
        FileRow &row = changes.row(i);
        const NameView view = changes.name(i);
        const QByteArray name(view.data, view.size);
        const bool present = !(row.flags & FileRow::Absent);
        if (present && !job.catalogue->contains(view)) {
            row.flags |= FileRow::New;
            added.insert(name);
            if (arriving(job, view, row, known.arrivals))
                row.flags |= FileRow::Arriving;
        } else {
            removed.insert(name);
            known.arrivals.erase(name);
        }
        if (present && (row.flags & FileRow::Unread))
            known.unreadable[name] = row.error;
        else
            known.unreadable.erase(name);
        if (row.flags & FileRow::Linked)
            known.relook.insert(name);
        else
            known.relook.erase(name);
    }
    if (added.empty() && removed.empty())
        return;
    // The new names merged with the old, all in byte order.
    QByteArray merged;
    qsizetype count = 0;
    auto next = added.begin();
    const auto put = [&](const QByteArray &name) {
        merged.append(name).append('\0');
        ++count;
    };
    for (qsizetype at = 0; at < known.newNames.size();) {
        const qsizetype end = known.newNames.indexOf('\0', at);
        const QByteArray name = known.newNames.mid(at, end - at);
        at = end + 1;
        for (; next != added.end() && *next < name; ++next)
            put(*next);
        if (next != added.end() && *next == name)
            ++next;
        if (!removed.count(name))
            put(name);
    }
    for (; next != added.end(); ++next)
        put(*next);
    known.newNames = merged;
    known.newCount = count;
}

bool Watch::arriving(const Job &job, const NameView &name, const FileRow &row, std::map<QByteArray, Arrival> &arrivals)
{
    const QByteArray key(name.data, name.size);
    const auto found = job.arrivals.find(key);
    const Arrival *was = found == job.arrivals.end() ? nullptr : &found->second;
    const auto told = job.events.find(key);
    Arrival now {row.size, row.mtime, was ? was->changedAt : job.now, false, false};
    if (told != job.events.end()) {
        // Written (or made) after it was last closed: a writer has it open.
        // Moved in after the last write: a finished file given its name.
        const Seen &seen = told->second;
        const std::uint32_t wrote = std::max(seen[ChangeSource::Created], seen[ChangeSource::Modified]);
        if (wrote > seen[ChangeSource::ClosedWrite] && wrote > seen[ChangeSource::MovedIn]) {
            now.writing = true;
            now.changedAt = job.now;
        } else if (wrote == 0 && seen[ChangeSource::ClosedWrite] == 0 && seen[ChangeSource::MovedIn] == 0) {
            now.writing = was && was->open;
        }
        now.open = now.writing;
    } else if (!was) {
        // First seen, and no event tells of it: one modified since the last
        // listing (a second's grace for times kept in whole seconds) may
        // still be growing. (A name is new only to a catalogue, which a
        // listing made.)
        now.writing = !job.eventsTrusted && row.timeKnown() && row.mtime * 1000 >= job.listedAt - 1000;
    } else if (row.size != was->size || row.mtime != was->mtime) {
        now.writing = true;
        now.changedAt = job.now;
    } else {
        // Unchanged: complete, unless events told that a writer still has
        // it open.
        now.open = job.eventsTrusted && was->open;
        now.writing = now.open;
    }
    // A writer that hangs without closing it does not keep it arriving.
    if (now.writing && job.now - now.changedAt >= job.settleMs)
        now.writing = now.open = false;
    arrivals[key] = now;
    return now.writing;
}

void Watch::finished(Result result)
{
    // Left behind: whatever overtook it tells what there is to tell.
    if (result.generation != m_generation || !listing())
        return;
    m_state.phase = Phase::Idle;
    m_busyTimer.stop();
    setBusy(false);
    if (m_state.holds > 0) {
        m_state.phase = Phase::Parked;
        m_state.parked = std::move(result);
        return;
    }
    apply(result);
    m_advance.start();
}

void Watch::apply(Result &result)
{
    m_state.phase = Phase::Telling;
    if (result.sourceOpened)
        setSource(std::move(result.source));
    const bool wasAvailable = m_available;
    m_available = result.listed;
    // Until the folder lists again, its changes say nothing of its rows.
    m_listInFull = !result.listed || (m_listInFull && result.changes);
    if (result.listed && !result.changes)
        m_sinceInFull.start();
    const bool ownCatalogue = result.kind == Kind::Catalogue && result.listed;
    const bool otherFolder = result.folder != m_catalogueFolder;
    if (ownCatalogue) {
        m_catalogue = std::move(result.catalogue);
        m_catalogueFolder = result.folder;
    }
    // A folder that cannot be listed shows no rows, but says nothing about
    // its files: catalogue, signature and alert stay as they were.
    if (result.listed) {
        m_known = std::move(result.known);
        m_listedAt = result.now;
    }
    const qsizetype newCount = result.listed ? m_known.newCount : 0;
    m_rows = {result.folder, std::move(result.rows), result.changes};
    Q_EMIT rowsReady(result.kind, newCount);
    m_rows = {};
    // One box for a failure that lasts, not one on every pass: the last
    // file's failure, as a listing meets them.
    const int lastError = result.listed && !m_known.unreadable.empty() ? m_known.unreadable.rbegin()->second : 0;
    if (lastError != m_lastRowError) {
        m_lastRowError = lastError;
        if (lastError)
            Q_EMIT rowError(lastError);
    }
    if (result.kind == Kind::Catalogue) {
        // Another folder is quiet even while it cannot be listed; the same
        // one stays as it was until it can.
        if (ownCatalogue || otherFolder) {
            m_alerting = false;
            Q_EMIT quiet();
        }
        if (!m_available)
            Q_EMIT statusChanged(AuditTexts::notAvailable(result.folder));
        else if (!wasAvailable)
            Q_EMIT statusChanged(AuditTexts::sleeping());
    } else if (!m_available) {
        Q_EMIT statusChanged(AuditTexts::notAvailable(result.folder));
    } else {
        // A new catalogue turns the window quiet but keeps the signature; new
        // files that repeat it (one deleted and made again) are told all the
        // same.
        if (m_known.newNames != m_lastNewFiles || (newCount > 0 && !m_alerting)) {
            if (newCount > 0) {
                m_alerting = true;
                Q_EMIT alert(newCount);
            } else {
                m_alerting = false;
                Q_EMIT quiet();
            }
        }
        m_lastNewFiles = m_known.newNames;
        Q_EMIT statusChanged(AuditTexts::sleeping());
    }
    // The exit may have come while the alert box was open.
    if (m_state.phase == Phase::Telling)
        m_state.phase = Phase::Idle;
}

void Watch::setBusy(bool busy)
{
    if (m_busy == busy)
        return;
    m_busy = busy;
    Q_EMIT busyChanged(busy);
}
