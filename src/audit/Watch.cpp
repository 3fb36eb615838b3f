#include "audit/Watch.h"

#include "audit/AuditTexts.h"
#include "audit/FileListing.h"
#include "filelist/FileTypes.h"

#include <mutex>
#include <thread>

// How a worker reaches the watch that started it, if the watch is still
// there when the worker ends.
struct Watch::Link {
    std::mutex mutex;
    Watch *watch = nullptr;
};

namespace {

// A listing that runs longer than this shows the busy pointer.
constexpr int kBusyAfterMs = 150;

} // namespace

Watch::Watch(QObject *parent)
    : QObject(parent)
    , m_catalogue(std::make_shared<Catalogue>())
    , m_link(std::make_shared<Link>())
{
    m_link->watch = this;
    setLister(nullptr);
    m_busyTimer.setSingleShot(true);
    m_busyTimer.setInterval(kBusyAfterMs);
    connect(&m_busyTimer, &QTimer::timeout, this, [this] {
        if (m_running && !m_busy) {
            m_busy = true;
            Q_EMIT busyChanged(true);
        }
    });
}

Watch::~Watch()
{
    // A worker still listing ends on its own and finds no one to tell.
    const std::lock_guard<std::mutex> lock(m_link->mutex);
    m_link->watch = nullptr;
}

void Watch::setLister(Lister lister)
{
    if (!lister) {
        // One listing at a time, so the workers can share what it remembers.
        lister = [listing = std::make_shared<FileListing>()](const QString &folder, std::vector<ListedFile> &files) {
            return listing->list(folder, files);
        };
    }
    m_lister = std::move(lister);
}

void Watch::setFolder(const QString &folder)
{
    if (folder == m_folder)
        return;
    m_folder = folder;
    // Whatever was listed of the last folder says nothing about this one.
    ++m_generation;
    m_parked.reset();
}

void Watch::ReadFile()
{
    // A listing begun before this, or waiting to be applied, may miss what
    // made the new catalogue necessary (a delete, another folder).
    ++m_generation;
    m_parked.reset();
    m_catalogueWanted = true;
    advance();
}

void Watch::CompareFile()
{
    m_passWanted = true;
    advance();
}

void Watch::hold()
{
    ++m_holds;
}

void Watch::release()
{
    if (m_holds > 0 && --m_holds == 0)
        scheduleAdvance();
}

void Watch::stop()
{
    m_stopped = true;
    m_catalogueWanted = false;
    m_passWanted = false;
    m_parked.reset();
    ++m_generation;
}

void Watch::scheduleAdvance()
{
    if (m_advancePosted)
        return;
    m_advancePosted = true;
    QMetaObject::invokeMethod(this, &Watch::advance, Qt::QueuedConnection);
}

void Watch::advance()
{
    m_advancePosted = false;
    // Applying may show a box, whose own event loop comes back here.
    if (m_running || m_applying || m_holds > 0 || m_stopped)
        return;
    if (m_parked) {
        Result result = std::move(*m_parked);
        m_parked.reset();
        apply(result);
        scheduleAdvance();
        return;
    }
    // A new catalogue first: a pass looks names up in it.
    if (m_catalogueWanted)
        start(Kind::Catalogue);
    else if (m_passWanted)
        start(Kind::Pass);
}

void Watch::start(Kind kind)
{
    (kind == Kind::Catalogue ? m_catalogueWanted : m_passWanted) = false;
    m_running = true;
    if (kind == Kind::Pass)
        setStatus(AuditTexts::checking());
    m_busyTimer.start();
    // The worker owns copies of all it needs and is never waited for.
    std::thread([link = m_link, job = Job {kind, m_generation, m_folder, m_lister, m_catalogue}] {
        auto result = std::make_shared<Result>(run(job));
        const std::lock_guard<std::mutex> lock(link->mutex);
        if (Watch *watch = link->watch) {
            QMetaObject::invokeMethod(
                watch, [watch, result] { watch->finished(std::move(*result)); }, Qt::QueuedConnection);
        }
    }).detach();
}

Watch::Result Watch::run(const Job &job)
{
    Result result;
    result.kind = job.kind;
    result.generation = job.generation;
    std::vector<ListedFile> files;
    result.listed = job.lister(job.folder, files);
    if (!result.listed)
        return result;
    if (job.kind == Kind::Catalogue) {
        auto catalogue = std::make_shared<Catalogue>();
        catalogue->replace(files);
        result.catalogue = std::move(catalogue);
    }
    std::optional<Catalogue::Walk> known;
    if (job.kind == Kind::Pass)
        known.emplace(*job.catalogue);
    const QString newStatus = AuditTexts::newStatus();
    QStringList newNames;
    result.rows.reserve(files.size());
    for (ListedFile &file : files) {
        const bool isNew = known && !known->contains(file.name);
        if (isNew)
            newNames.append(file.name);
        // A file whose attributes could not be read still gets its row, with
        // an empty size and time; the last such failure is told.
        if (file.error)
            result.lastError = file.error;
        const int type = file.type >= 0 ? file.type : fileTypeIndex(file.name);
        result.rows.push_back(
            {std::move(file.name), isNew ? newStatus : QString(), file.size, file.mtime, type, file.error == 0});
    }
    std::vector<ListedFile>().swap(files);
    result.newCount = newNames.size();
    result.signature = AuditTexts::signature(newNames);
    return result;
}

void Watch::finished(Result result)
{
    m_running = false;
    m_busyTimer.stop();
    if (m_busy) {
        m_busy = false;
        Q_EMIT busyChanged(false);
    }
    if (result.generation != m_generation || m_stopped) {
        // Overtaken: the newer listing tells what there is to tell.
        if (result.kind == Kind::Pass && !m_stopped && !m_passWanted)
            setStatus(m_available ? AuditTexts::sleeping() : AuditTexts::notAvailable(m_folder));
        scheduleAdvance();
        return;
    }
    if (m_holds > 0) {
        m_parked = std::move(result);
        return;
    }
    apply(result);
    scheduleAdvance();
}

void Watch::apply(Result &result)
{
    m_applying = true;
    const bool wasAvailable = m_available;
    m_available = result.listed;
    if (result.listed && result.kind == Kind::Catalogue)
        m_catalogue = std::move(result.catalogue);
    m_rows = std::move(result.rows);
    // A folder that cannot be listed shows no rows, but says nothing about
    // its files: catalogue, signature and alert stay as they were.
    Q_EMIT rowsReady(result.kind, result.listed ? result.newCount : 0);
    std::vector<FileRow>().swap(m_rows);
    // One box for a failure that lasts, not one on every pass.
    if (result.lastError != m_lastRowError) {
        m_lastRowError = result.lastError;
        if (result.lastError)
            Q_EMIT rowError(result.lastError);
    }
    if (result.kind == Kind::Catalogue) {
        m_alerting = false;
        Q_EMIT quiet();
        if (!m_available)
            setStatus(AuditTexts::notAvailable(m_folder));
        else if (!wasAvailable)
            setStatus(AuditTexts::sleeping());
    } else if (!m_available) {
        setStatus(AuditTexts::notAvailable(m_folder));
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
        setStatus(AuditTexts::sleeping());
    }
    m_applying = false;
}

void Watch::setStatus(const QString &text)
{
    Q_EMIT statusChanged(text);
}
