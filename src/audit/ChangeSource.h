// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

// What the watched folder's changes are learned from between two ticks: the
// kernel's events on a local disk. Where none can be had (shares, FUSE,
// inotify used up) there is no source, and every tick lists the folder in
// full. Tests feed a source through tell().
//
// It keeps the names that events named since the last take, each with the
// kinds of event seen for it and when, so that a tick knows more than that
// a name changed (a file still being written: modified, not yet closed).
// Past a bound of names it keeps none and says so: the tick then lists the
// folder, which costs no more than a storm of events would.
class ChangeSource
{
public:
    enum Kind : std::uint8_t { Created, Modified, ClosedWrite, Attributes, Deleted, MovedIn, MovedOut, KindCount };
    struct Named {
        QByteArray name;
        // When each kind was last seen for it, counted in events told to
        // this source (1 the first); 0: not seen.
        std::array<std::uint32_t, KindCount> seen {};
    };
    struct Taken {
        bool complete = true; // false: events were lost; list the folder in full
        std::vector<Named> names;
    };

    // Opens a source on a folder whose file system delivers events for
    // every change made on this machine; none (nullptr) elsewhere and when
    // inotify cannot be had. Touches the disk: beside the window only.
    static std::unique_ptr<ChangeSource> open(const QString &folder);
    // Whether a file system (statfs's f_type) tells of every change.
    static bool deliversEvents(unsigned long fsType);
    // The kernel's events of a folder, whatever its file system; none when
    // inotify cannot be had.
    static std::unique_ptr<ChangeSource> openInotify(const QString &folder);

    // What a watch opens its sources with, unless told otherwise: open().
    // Tests stand in sources of their own (or none) for every watch.
    using Opener = std::function<std::unique_ptr<ChangeSource>(const QString &folder)>;
    static void setDefaultOpener(Opener opener);
    static Opener defaultOpener();

    ChangeSource() = default;
    ChangeSource(const ChangeSource &) = delete;
    ChangeSource &operator=(const ChangeSource &) = delete;
    virtual ~ChangeSource() = default;

    // Readable while events wait to be read; -1 for a source fed otherwise.
    virtual int descriptor() const { return -1; }
    // Reads the events that wait, never waiting for more.
    virtual void readAvailable() { }
    // The folder it watches, as it was when the watch began (0 for any).
    dev_t device() const { return m_device; }
    ino_t inode() const { return m_inode; }

    void tell(Kind kind, const QByteArray &name);
    // Events were lost (the kernel's queue overflowed).
    void tellLost();
    // The watch went: the folder was deleted, moved or unmounted.
    void tellGone();
    bool gone() const { return m_gone; }
    // Everything told since the last take.
    Taken take();
    // The names whose writers closed them since the last call.
    std::vector<QByteArray> takeClosed();
    // Whether, since the last take, the name was closed after its last write.
    bool closedLast(const QByteArray &name) const;
    void setBound(std::size_t names) { m_bound = names; }

protected:
    void setFolder(dev_t device, ino_t inode)
    {
        m_device = device;
        m_inode = inode;
    }

private:
    QHash<QByteArray, std::array<std::uint32_t, KindCount>> m_names;
    std::vector<QByteArray> m_closed;
    std::uint32_t m_events = 0;
    std::size_t m_bound = 4096;
    bool m_lost = false;
    bool m_gone = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
