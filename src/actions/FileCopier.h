#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

// Copies files on a thread of its own, so that the window never waits on
// the disk. Copies asked for while others run follow them in turn. What
// happens is told on the window's thread: each file as it starts, the bytes
// done, and the end of the last copy.
class FileCopier : public QObject
{
    Q_OBJECT

public:
    explicit FileCopier(QObject *parent = nullptr);
    // Gives up what is left (see abandon()).
    ~FileCopier() override;

    // Copies each name from one folder into another (both ending in "/"),
    // keeping its name; a copy that fails is passed over in silence.
    void add(const QString &sourceFolder, const QString &destinationFolder, const QStringList &names);
    // From add() until finished().
    bool isBusy() const { return m_busy; }
    // Gives up the copies asked for so far: no further file is started, the
    // one being written never takes its name and its temporary file is
    // removed; finished() does not follow. Waits at most a moment for the
    // disk, where the copy may stay stuck.
    void abandon();

    // How often the copier looks at the worker's progress.
    static constexpr int kPollMs = 40;

Q_SIGNALS:
    void copying(const QString &name);
    void progress(qint64 done, qint64 total);
    void finished();

private:
    void poll();

    struct State;
    std::shared_ptr<State> m_state;
    QTimer m_poll;
    bool m_busy = false;
    qint64 m_shownDone = -1;
};
