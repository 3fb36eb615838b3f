// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include <QSignalSpy>

#include <mutex>

using TestSupport::Latch;

class TestBackground : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A result reaches its receiver on the window's thread, never a receiver that has gone; the first work is no delay.
    void receiverGone()
    {
        QSignalSpy delayed(&Background::instance(), &Background::delayed);
        auto latch = std::make_shared<Latch>();
        auto gone = std::make_unique<QObject>();
        QObject kept;
        QList<Qt::HANDLE> delivered;
        Background::post(QStringLiteral("x"), [latch] { latch->wait(); }); // the lane's third piece of work
        for (QObject *receiver : {gone.get(), &kept})
            Background::run(
                QStringLiteral("x"), receiver, [latch] { return latch->wait(), 1; },
                [&](int) { delivered << QThread::currentThreadId(); });
        gone.reset();
        latch->open = true;
        QVERIFY(TestSupport::quiet()); // both results delivered, or dropped
        QCOMPARE(delivered, QList<Qt::HANDLE> {QThread::currentThreadId()});
        QCOMPARE(Background::threadCount(), 2); // two at once in a lane, and no spare one
        QVERIFY(delayed.isEmpty());
    }

    // Work of one lane waits its turn in the order posted, two at a time, also once a piece has ended.
    void laneTurns()
    {
        std::mutex mutex;
        QList<int> started;
        int running = 0, most = 0;
        const auto locked = [&](auto f) {
            const std::lock_guard<std::mutex> lock(mutex);
            return f();
        };
        std::vector<std::shared_ptr<Latch>> latches;
        for (int i = 0; i < 6; ++i) { // a folder's lane with and without its "/"
            auto latch = latches.emplace_back(std::make_shared<Latch>());
            Background::post(QLatin1String(i < 5 ? "turns/" : "turns"), [&, i, latch] {
                locked([&] { started << i, most = std::max(most, ++running); });
                latch->wait();
                locked([&] { --running; });
            });
        }
        const auto seen = [&] { return locked([&] { return std::pair {started, most}; }); };
        QTRY_COMPARE(seen().first.size(), 2);
        latches[0]->open = true;
        QTRY_COMPARE(seen().first.size(), 3);
        // Work of another lane wakes the waiting threads: none of them may take the lane's fourth piece.
        std::atomic<bool> other {false};
        Background::post(QStringLiteral("elsewhere"), [&other] { other = true; });
        QTRY_VERIFY(other.load());
        for (const auto &latch : latches)
            latch->open = true;
        QVERIFY(TestSupport::quiet());
        std::sort(started.begin(), started.begin() + 2); // the first two start at once
        QCOMPARE(seen(), std::pair(QList<int> {0, 1, 2, 3, 4, 5}, 2));
    }

    // With no thread to be had the work waits, is told, and runs once one can be had.

    void noThread()
    {
        QTRY_COMPARE(Background::busyCount(), 0);
        // Every thread already there is kept busy, so that a new one is asked for.
        auto latch = std::make_shared<Latch>();
        const int threads = Background::threadCount();
        for (int i = 0; i < threads; ++i)
            Background::post(QString::number(i), [latch] { latch->wait(); });
        QTRY_COMPARE(latch->entered.load(), threads);
        QSignalSpy delayed(&Background::instance(), &Background::delayed);
        bool refuse = true;
        Background::setStarter([&refuse](std::function<void()> loop) {
            if (refuse)
                return false;
            std::thread(std::move(loop)).detach();
            return true;
        });
        QObject receiver;
        bool ran = false;
        Background::run(
            QStringLiteral("late"), &receiver, [] {}, [&] { ran = true; });
        QCOMPARE(delayed.size(), 1);
        QCOMPARE(delayed.at(0).at(0).toBool(), true);
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        refuse = false;
        QTRY_VERIFY(ran);
        QCOMPARE(delayed.size(), 2);
        QCOMPARE(delayed.at(1).at(0).toBool(), false);
        Background::setStarter(nullptr);
        latch->open = true;
    }
};

QTEST_GUILESS_MAIN(TestBackground)
#include "tst_background.moc"
