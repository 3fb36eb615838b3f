#pragma once

#include "actions/FileOps.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

// Copies files beside the window, one at a time, so that the window never
// waits on the disk. Copies asked for while others run follow them in turn.
// What happens is told on the window's thread: each file as it starts, the
// bytes done, and the end of the last copy. The worker and the window share
// nothing but atomics: the window never waits for a copy.
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

    // At exit, after abandon(): waits at most the given time for copies
    // given up to remove their named temporary files (file systems without
    // unnamed files); true when none is left. Never waits while none exists.
    static bool awaitNamedTemporaries(int ms);

    // How often the window looks at the copy's progress.
    static constexpr int kPollMs = 40;

Q_SIGNALS:
    void copying(const QString &name);
    void progress(qint64 done, qint64 total);
    void finished();

private:
    struct Task {
        QString name;
        QString sourceFolder;
        QString destinationFolder;
    };
    struct Progress;

    void next();
    void poll();

    Copy m_copy = &FileOps::copyFile;
    std::shared_ptr<Progress> m_progress;
    std::deque<Task> m_waiting;
    std::optional<Task> m_current;
    quint64 m_serial = 0; // of the current file
    bool m_currentTold = false;
    QString m_told;
    QTimer m_poll;
    bool m_busy = false;
    qint64 m_shownDone = -1;
    qint64 m_shownTotal = -1;
};
