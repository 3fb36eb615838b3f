// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Background.h"

#include <QCoreApplication>
#include <QHash>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

// How soon work that found no thread tries again.
constexpr int kRetryMs = 1000;

struct Task {
    QString lane;
    std::function<void()> work;
};

bool startThread(std::function<void()> loop)
{
    try {
        std::thread(std::move(loop)).detach();
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}

} // namespace

// Never destroyed: a thread left behind on a dead share may still come back
// to it while the program ends.
struct Background::Pool {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Task> tasks;
    QHash<QString, int> running; // by lane
    int threads = 0;
    int idle = 0; // threads waiting for work
    int starting = 0; // threads started that have not come for work yet
    bool refused = false; // the last thread asked for was not given
    bool retrying = false;
    Starter starter = startThread;

    // Delivery stops once the application object is gone.
    std::mutex deliveryMutex;
    bool delivering = true;
    std::atomic<int> undelivered {0};

    // The first task that may start now: its lane has room.
    std::deque<Task>::iterator runnable()
    {
        for (auto it = tasks.begin(); it != tasks.end(); ++it) {
            if (running.value(it->lane) < kPerLane)
                return it;
        }
        return tasks.end();
    }

    // How many tasks could start now, each taking a thread.
    int runnableCount() const
    {
        QHash<QString, int> taken = running;
        int count = 0;
        for (const Task &task : tasks) {
            int &lane = taken[task.lane];
            if (lane < kPerLane) {
                ++lane;
                ++count;
            }
        }
        return count;
    }

    void loop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        --starting;
        for (;;) {
            ++idle;
            wake.wait(lock, [this] { return runnable() != tasks.end(); });
            --idle;
            auto it = runnable();
            Task task = std::move(*it);
            tasks.erase(it);
            ++running[task.lane];
            lock.unlock();
            try {
                task.work();
            } catch (...) {
                // Work that throws is work that failed; the thread goes on.
            }
            task.work = nullptr; // what it owned goes before the lock is taken
            lock.lock();
            // Work that waited for this lane is taken next, by this thread.
            if (--running[task.lane] == 0)
                running.remove(task.lane);
        }
    }
};

Background::Pool *Background::pool()
{
    static auto *p = new Pool;
    return p;
}

Background::Background() = default;

Background &Background::instance()
{
    static auto *b = [] {
        auto *made = new Background;
        qAddPostRoutine([] {
            Pool *p = pool();
            const std::lock_guard<std::mutex> lock(p->deliveryMutex);
            p->delivering = false;
        });
        return made;
    }();
    return *b;
}

void Background::post(const QString &lane, std::function<void()> work)
{
    Background &self = instance();
    Pool *p = pool();
    // A folder is one lane, with or without the "/" at its end.
    const QString key = lane.size() > 1 && lane.endsWith(QLatin1Char('/')) ? lane.chopped(1) : lane;
    std::unique_lock<std::mutex> lock(p->mutex);
    if (work)
        p->tasks.push_back({key, std::move(work)});
    bool started = true;
    // Each task that may start gets a thread: a waiting one, or a new one.
    while (started && p->runnableCount() > p->idle + p->starting && p->threads < kMaxThreads) {
        ++p->threads;
        ++p->starting;
        const Starter starter = p->starter;
        lock.unlock();
        started = starter([p] { p->loop(); });
        lock.lock();
        if (!started) {
            --p->threads;
            --p->starting;
        }
    }
    if (p->idle > 0)
        p->wake.notify_all();
    const bool wasRefused = std::exchange(p->refused, !started);
    const bool retry = !started && !std::exchange(p->retrying, true);
    lock.unlock();
    if (wasRefused != !started)
        Q_EMIT self.delayed(!started);
    if (retry) {
        // The work waits; a thread is asked for again in a moment.
        QTimer::singleShot(kRetryMs, &self, [p] {
            {
                const std::lock_guard<std::mutex> relock(p->mutex);
                p->retrying = false;
            }
            post({}, nullptr);
        });
    }
}

void Background::deliver(std::function<void()> done)
{
    Pool *p = pool();
    const std::lock_guard<std::mutex> lock(p->deliveryMutex);
    if (!p->delivering)
        return;
    // Counted until it has run, so that work is never seen done while its result is on its way.
    ++p->undelivered;
    QMetaObject::invokeMethod(
        &instance(),
        [p, done = std::move(done)] {
            --p->undelivered;
            done();
        },
        Qt::QueuedConnection);
}

void Background::tell(const QPointer<QObject> &receiver, std::function<void()> told)
{
    deliver([receiver, told = std::move(told)] {
        if (receiver)
            told();
    });
}

int Background::threadCount()
{
    Pool *p = pool();
    const std::lock_guard<std::mutex> lock(p->mutex);
    return p->threads;
}

int Background::busyCount()
{
    Pool *p = pool();
    const std::lock_guard<std::mutex> lock(p->mutex);
    return p->threads - p->idle - p->starting + int(p->tasks.size()) + p->undelivered;
}

void Background::setStarter(Starter starter)
{
    Pool *p = pool();
    const std::lock_guard<std::mutex> lock(p->mutex);
    p->starter = starter ? std::move(starter) : Starter(startThread);
}
