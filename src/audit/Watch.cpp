#include "audit/Watch.h"

#include "audit/AuditTexts.h"
#include "audit/FileListing.h"
#include "platform/Background.h"

namespace {

// A listing that runs longer than this shows the busy pointer.
constexpr int kBusyAfterMs = 150;

} // namespace

Watch::Watch(QObject *parent)
    : QObject(parent)
    , m_catalogue(std::make_shared<Catalogue>())
    , m_latest(std::make_shared<std::atomic<quint64>>(0))
{
    setLister(nullptr);
    m_advance.setSingleShot(true);
    m_advance.setInterval(0);
    connect(&m_advance, &QTimer::timeout, this, &Watch::advance);
    m_busyTimer.setSingleShot(true);
    m_busyTimer.setInterval(kBusyAfterMs);
    connect(&m_busyTimer, &QTimer::timeout, this, [this] { setBusy(listing()); });
}

void Watch::setLister(Lister lister)
{
    m_lister = lister ? std::move(lister) : Lister(FileListing::list);
}

bool Watch::isIdle() const
{
    return (m_state.phase == Phase::Idle || m_state.phase == Phase::Stopped) && !m_state.catalogueAsked
        && !m_state.passAsked;
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
    leaveListing();
    m_folder = folder;
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
    const Job job {kind, m_generation, m_folder, m_lister, m_catalogue, m_latest};
    Background::run(
        m_folder, this, [job] { return run(job); }, [this](Result result) { finished(std::move(result)); });
}

Watch::Result Watch::run(const Job &job)
{
    Result result;
    result.kind = job.kind;
    result.generation = job.generation;
    result.folder = job.folder;
    if (job.latest->load() != job.generation)
        return result;
    RowTable &rows = result.rows;
    result.listed = job.lister(job.folder, rows);
    if (!result.listed)
        return result;
    if (job.kind == Kind::Catalogue) {
        result.catalogue = Catalogue::take(rows);
    } else {
        rows.dropFlagged(FileRow::Unlisted);
        job.catalogue->mark(rows);
    }
    QStringList newNames;
    for (int i = 0; i < rows.size(); ++i) {
        const FileRow &row = rows.row(i);
        if (row.isNew())
            newNames.append(rows.name(i).text());
        // The last failure to read a file's attributes is told.
        if (row.flags & FileRow::Unread)
            result.lastError = row.error;
    }
    result.newCount = newNames.size();
    result.signature = AuditTexts::signature(newNames);
    return result;
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
    const bool wasAvailable = m_available;
    m_available = result.listed;
    const bool ownCatalogue = result.kind == Kind::Catalogue && result.listed;
    const bool otherFolder = result.folder != m_catalogueFolder;
    if (ownCatalogue) {
        m_catalogue = std::move(result.catalogue);
        m_catalogueFolder = result.folder;
    }
    // A folder that cannot be listed shows no rows, but says nothing about
    // its files: catalogue, signature and alert stay as they were.
    m_rows = {result.folder, result.generation, std::move(result.rows)};
    Q_EMIT rowsReady(result.kind, result.listed ? result.newCount : 0);
    m_rows = {};
    // One box for a failure that lasts, not one on every pass.
    if (result.lastError != m_lastRowError) {
        m_lastRowError = result.lastError;
        if (result.lastError)
            Q_EMIT rowError(result.lastError);
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
        if (result.signature != m_lastNewFiles || (result.newCount > 0 && !m_alerting)) {
            if (result.newCount > 0) {
                m_alerting = true;
                Q_EMIT alert(result.newCount);
            } else {
                m_alerting = false;
                Q_EMIT quiet();
            }
        }
        m_lastNewFiles = result.signature;
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
