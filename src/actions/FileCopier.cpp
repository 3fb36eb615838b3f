#include "actions/FileCopier.h"

#include "actions/FileOps.h"
#include "platform/FileNames.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {
struct Task {
    QString name;
    QString source;
    QString destination;
    bool counted = false;
};
} // namespace

// Shared by the window's thread and the worker, which may outlive the
// copier when it is stuck on a dead share at exit.
struct FileCopier::State : FileOps::CopyMonitor {
    // Held for every step that names a file in a destination folder, so that
    // giving up never races a rename.
    std::timed_mutex mutex;
    std::deque<Task> tasks; // the one being copied first
    QStringList started; // not yet told
    qint64 total = 0;
    bool running = false; // a worker thread is alive
    QByteArray temporary;
    std::atomic<bool> stop {false};
    std::atomic<qint64> written {0};

    bool cancelled() const override { return stop.load(); }
    void copied(qint64 bytes) override { written += bytes; }
    bool naming(const std::function<bool()> &step) override
    {
        std::lock_guard<std::timed_mutex> lock(mutex);
        return !stop.load() && step();
    }
    void setTemporary(const QByteArray &path) override { temporary = path; } // within naming()
    bool takeTemporary(const QByteArray &path) override
    {
        std::lock_guard<std::timed_mutex> lock(mutex);
        if (temporary != path)
            return false;
        temporary.clear();
        return true;
    }

    static void work(std::shared_ptr<State> state);
};

void FileCopier::State::work(std::shared_ptr<State> state)
{
    for (;;) {
        std::unique_lock<std::timed_mutex> lock(state->mutex);
        // The sizes of all the files asked for, for the progress shown.
        std::vector<QString> toCount;
        for (Task &t : state->tasks) {
            if (!t.counted) {
                t.counted = true;
                toCount.push_back(t.source);
            }
        }
        if (!toCount.empty()) {
            lock.unlock();
            qint64 bytes = 0;
            for (const QString &path : toCount) {
                struct stat st;
                if (::stat(FileNames::encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
                    bytes += st.st_size;
            }
            lock.lock();
            state->total += bytes;
        }
        if (state->tasks.empty() || state->stop) {
            state->running = false;
            return;
        }
        const Task task = state->tasks.front();
        state->started.append(task.name);
        lock.unlock();

        FileOps::copyFile(task.source, task.destination, state.get());

        lock.lock();
        if (!state->tasks.empty())
            state->tasks.pop_front();
    }
}

FileCopier::FileCopier(QObject *parent)
    : QObject(parent)
    , m_state(std::make_shared<State>())
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
    m_busy = true;
    m_poll.start();
    std::lock_guard<std::timed_mutex> lock(m_state->mutex);
    for (const QString &name : names)
        m_state->tasks.push_back({name, sourceFolder + name, destinationFolder + name});
    if (!m_state->running) {
        m_state->running = true;
        // Detached: at exit the program never waits for a copy stuck on the disk.
        std::thread(&State::work, m_state).detach();
    }
}

void FileCopier::abandon()
{
    m_state->stop = true;
    m_poll.stop();
    // A rename under way finishes first; a disk that does not answer is not
    // waited for.
    {
        std::unique_lock<std::timed_mutex> lock(m_state->mutex, std::chrono::milliseconds(500));
        if (lock.owns_lock()) {
            m_state->tasks.clear();
            if (!m_state->temporary.isEmpty()) {
                ::unlink(m_state->temporary.constData());
                m_state->temporary.clear();
            }
        }
    }
    // A worker still running keeps the old state to itself; copies asked
    // for later start afresh.
    m_state = std::make_shared<State>();
    m_busy = false;
    m_shownDone = -1;
}

void FileCopier::poll()
{
    QStringList started;
    bool running = false;
    qint64 total = 0;
    qint64 done = 0;
    {
        std::lock_guard<std::timed_mutex> lock(m_state->mutex);
        started.swap(m_state->started);
        running = m_state->running;
        total = m_state->total;
        done = m_state->written.load();
        if (!running) { // the next copies count from nothing
            m_state->total = 0;
            m_state->written = 0;
        }
    }
    for (const QString &name : std::as_const(started))
        Q_EMIT copying(name);
    if (done != m_shownDone) {
        m_shownDone = done;
        Q_EMIT progress(done, total);
    }
    if (!running) {
        m_poll.stop();
        m_busy = false;
        m_shownDone = -1;
        Q_EMIT finished();
    }
}
