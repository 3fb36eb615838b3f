#include "actions/FileCopier.h"

#include "platform/Background.h"
#include "platform/FileNames.h"

#include <QDeadlineTimer>
#include <QThread>

#include <atomic>

#include <sys/stat.h>

namespace {
// Named temporaries on the disk now, from every copier.
std::atomic<int> s_namedTemporaries {0};
} // namespace

// What the copies of one busy spell tell the window; outlives the copier
// while a copy stuck on a dead share still runs.
struct FileCopier::Progress {
    std::atomic<bool> stop {false};
    std::atomic<quint64> started {0}; // serial of the file last started
    std::atomic<qint64> written {0};
    std::atomic<qint64> total {0};
};

namespace {

class Monitor : public FileOps::CopyMonitor
{
public:
    explicit Monitor(const std::atomic<bool> &stop, std::atomic<qint64> &written)
        : m_stop(stop)
        , m_written(written)
    { }
    bool cancelled() const override { return m_stop.load(); }
    void copied(qint64 bytes) override { m_written += bytes; }
    void namedTemporary(bool exists) override { s_namedTemporaries += exists ? 1 : -1; }

private:
    const std::atomic<bool> &m_stop;
    std::atomic<qint64> &m_written;
};

} // namespace

FileCopier::FileCopier(QObject *parent)
    : QObject(parent)
    , m_progress(std::make_shared<Progress>())
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &FileCopier::poll);
}

FileCopier::~FileCopier()
{
    abandon();
}

void FileCopier::add(const QString &sourceFolder, const QString &destinationFolder, const QStringList &names)
{
    QStringList sources;
    for (const QString &name : names) {
        m_waiting.push_back({name, sourceFolder, destinationFolder});
        sources.append(sourceFolder + name);
    }
    // The sizes, for the progress shown, are read beside the window too.
    Background::post(sourceFolder, [progress = m_progress, sources] {
        qint64 bytes = 0;
        for (const QString &path : sources) {
            struct stat st;
            if (::stat(FileNames::encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
                bytes += st.st_size;
        }
        progress->total += bytes;
    });
    if (!m_busy) {
        m_busy = true;
        m_poll.start();
        next();
    }
}

void FileCopier::next()
{
    if (m_waiting.empty()) {
        poll();
        m_poll.stop();
        m_busy = false;
        m_told.clear();
        // The next copies count from nothing.
        m_progress = std::make_shared<Progress>();
        m_shownDone = m_shownTotal = -1;
        Q_EMIT finished();
        return;
    }
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_currentTold = false;
    const quint64 serial = ++m_serial;
    // One lane per destination: a share that stopped answering holds back
    // its own work only.
    Background::run(
        m_current->destinationFolder, this,
        [copy = m_copy, progress = m_progress, task = *m_current, serial] {
            if (progress->stop)
                return;
            progress->started = serial;
            Monitor monitor(progress->stop, progress->written);
            copy(task.sourceFolder + task.name, task.destinationFolder + task.name, &monitor);
        },
        [this, serial] {
            // A copy given up has nothing more to say.
            if (!m_current || m_serial != serial)
                return;
            poll();
            m_current.reset();
            next();
        });
}

void FileCopier::abandon()
{
    m_progress->stop = true;
    m_progress = std::make_shared<Progress>();
    m_waiting.clear();
    m_current.reset();
    m_poll.stop();
    m_busy = false;
    m_told.clear();
    m_shownDone = m_shownTotal = -1;
}

void FileCopier::poll()
{
    if (m_current && !m_currentTold && m_progress->started.load() == m_serial) {
        m_currentTold = true;
        m_told = m_current->name;
        Q_EMIT copying(m_told);
    }
    const qint64 done = m_progress->written.load();
    const qint64 total = m_progress->total.load();
    if (done != m_shownDone || total != m_shownTotal) {
        m_shownDone = done;
        m_shownTotal = total;
        Q_EMIT progress(done, total);
    }
}

bool FileCopier::awaitNamedTemporaries(int ms)
{
    const QDeadlineTimer deadline(ms);
    while (s_namedTemporaries.load() > 0 && !deadline.hasExpired())
        QThread::msleep(5);
    return s_namedTemporaries.load() == 0;
}
