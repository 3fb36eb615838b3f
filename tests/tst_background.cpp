// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "TestSupport.h"

#include <QSignalSpy>

using TestSupport::Latch;

class TestBackground : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
        QCOMPARE(delayed, QList<QVariantList> {{true}});
        QCoreApplication::processEvents();
        QVERIFY(!ran);
        refuse = false;
        QTRY_VERIFY(ran);
        QCOMPARE(delayed, (QList<QVariantList> {{true}, {false}}));
        Background::setStarter(nullptr);
        latch->open = true;
    }
};

QTEST_GUILESS_MAIN(TestBackground)
#include "tst_background.moc"
