// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (what a session sends at logout), SIGINT and SIGHUP, told on the
// event loop. The handler does nothing but write the signal's number into a
// pipe that the loop reads; once one has been read the default actions are
// back, so that a second signal ends the program at once. One object per
// process.
class EndSignals : public QObject
{
    Q_OBJECT

public:
    explicit EndSignals(QObject *parent = nullptr);
    ~EndSignals() override;

Q_SIGNALS:
    // The first of the signals arrived.
    void received(int signal);

private:
    void read();

    QSocketNotifier *m_notifier = nullptr;
    bool m_told = false;
};
