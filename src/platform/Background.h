// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// Everything the program does that may wait on a disk (listings, stat,
// statfs, unlink, copies, a launch's lookup) runs here, beside the window's
// thread, under one rule:
// - the work owns copies of all it needs;
// - its result reaches the receiver on the window's thread, and only while
//   the receiver lives;
// - nothing waits for it, not even the program's exit: the threads are
//   never joined, so one stuck on a share that stopped answering is left
//   behind;
// - the window's thread never takes a lock that the work holds while it
//   touches the disk.
//
// Work goes in lanes (a folder, a volume): at most two pieces of one lane run
// at once and the rest wait their turn, so that a share that stopped
// answering holds back its own lanes only, and the threads stuck on it stay
// few. Threads are started as work needs them, up to a bound, and then
// reused. When none can be started the work waits, delayed() says so, and
// it is tried again a moment later.
class Background : public QObject
{
    Q_OBJECT

public:
    // Work of one lane running at once, and threads in all.
    static constexpr int kPerLane = 2;
    static constexpr int kMaxThreads = 32;

    // The one instance, made on first use on the window's thread.
    static Background &instance();

    // Runs work() off the window's thread, then done(result) on it if the
    // receiver still lives. Called on the window's thread.
    template<class Work, class Done>
    static void run(const QString &lane, QObject *receiver, Work work, Done done);
    // Runs work off the window's thread; nobody hears of its end.
    static void post(const QString &lane, std::function<void()> work);
    // From work running here: runs told() on the window's thread if the
    // receiver (taken on the window's thread) still lives. What is told
    // arrives in the order it was told, and before the work's own result.
    static void tell(const QPointer<QObject> &receiver, std::function<void()> told);

    // Threads started and not ended (they never end); work not yet done:
    // running, waiting for its turn, or its result not yet delivered.
    static int threadCount();
    static int busyCount();

    // Starts a thread that runs the given loop; false when the system gives
    // none. Tests stand in a starter that fails.
    using Starter = std::function<bool(std::function<void()> loop)>;
    static void setStarter(Starter starter);

Q_SIGNALS:
    // Work waits because no thread could be started (true), or has one again
    // (false).
    void delayed(bool waiting);

private:
    Background();
    // Hands a finished result to the window's thread.
    static void deliver(std::function<void()> done);

    struct Pool;
    static Pool *pool();
};

template<class Work, class Done>
void Background::run(const QString &lane, QObject *receiver, Work work, Done done)
{
    using Result = std::invoke_result_t<Work &>;
    QPointer<QObject> alive(receiver);
    post(lane, [alive, work = std::move(work), done = std::move(done)]() mutable {
        if constexpr (std::is_void_v<Result>) {
            work();
            deliver([alive, done]() mutable {
                if (alive)
                    done();
            });
        } else {
            auto result = std::make_shared<Result>(work());
            deliver([alive, done, result]() mutable {
                if (alive)
                    done(std::move(*result));
            });
        }
    });
}
