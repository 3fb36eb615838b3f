// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include <QSignalSpy>

using TestSupport::Latch;

class TestBackground : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A result reaches its receiver on the window's thread, never a receiver that has gone.
    void receiverGone()
    {
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
