// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "actions/FileOps.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Copies files beside the window, one at a time, so that the window never
// waits on the disk. Copies asked for while others run follow them in turn.
// What happens comes back as results on the window's thread: each file as it
// starts, the bytes done, and the end of the last copy. The first copy of
// each command first removes what earlier copies left in the destination
// folder (FileOps::removeStrayTemporaries).
class FileCopier : public QObject
{
    Q_OBJECT

public:
    explicit FileCopier(QObject *parent = nullptr);
    // Gives up what is left (see abandon()).
    ~FileCopier() override;

    // Copies one file: FileOps::copyFile. Tests stand in a copy that stops
    // half way.
    using Copy = std::function<bool(const QString &source, const QString &destination, FileOps::CopyMonitor *)>;
    void setCopy(Copy copy) { m_copy = std::move(copy); }

    // Copies each name from one folder into another (both ending in "/"),
    // keeping its name; a copy that fails is passed over in silence.
    void add(const QString &sourceFolder, const QString &destinationFolder, const QStringList &names);
    // From add() until finished().
    bool isBusy() const { return m_busy; }
    // The file last told by copying() while busy.
    QString copyingName() const { return m_told; }
    // Gives up the copies asked for so far, at once: no further file is
    // started, and the one being written never takes its name and removes
    // its temporary file itself when it next looks (an unnamed one vanishes
    // by itself). A copy complete and already being named ends whole.
    // finished() does not follow.
    void abandon();

Q_SIGNALS:
    void copying(const QString &name);
    void progress(qint64 done, qint64 total);
    void finished();

private:
    struct Task {
        QString name;
        QString sourceFolder;
        QString destinationFolder;
        bool sweep = false; // the first file of a command
    };
    struct Spell;

    void next();
    void showProgress(qint64 done);

    Copy m_copy = &FileOps::copyFile;
    std::shared_ptr<Spell> m_spell;
    std::deque<Task> m_waiting;
    std::optional<Task> m_current;
    quint64 m_serial = 0; // of the current file
    QString m_told;
    bool m_busy = false;
    qint64 m_total = 0;
    qint64 m_shownDone = -1;
    qint64 m_shownTotal = -1;
};
