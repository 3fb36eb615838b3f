// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "actions/FileCopier.h"

#include "platform/Background.h"
#include "platform/FileNames.h"

#include <QPointer>

#include <atomic>

#include <sys/stat.h>

// What the copies of one busy spell share with the work beside the window;
// outlives the copier while a copy stuck on a dead share still runs.
struct FileCopier::Spell {
    std::atomic<bool> stop {false};
    std::atomic<qint64> written {0};
    // A count of bytes is on its way to the window: the next waits for it.
    std::atomic<bool> telling {false};
};

namespace {

class Monitor : public FileOps::CopyMonitor
{
public:
    Monitor(const std::atomic<bool> &stop, std::function<void(qint64)> written)
        : m_stop(stop)
        , m_written(std::move(written))
    { }
    bool cancelled() const override { return m_stop.load(); }
    void copied(qint64 bytes) override { m_written(bytes); }

private:
    const std::atomic<bool> &m_stop;
    std::function<void(qint64)> m_written;
};

} // namespace

FileCopier::FileCopier(QObject *parent)
    : QObject(parent)
    , m_spell(std::make_shared<Spell>())
{ }

FileCopier::~FileCopier()
{
    abandon();
}

void FileCopier::add(const QString &sourceFolder, const QString &destinationFolder, const QStringList &names)
{
    QStringList sources;
    for (const QString &name : names) {
        m_waiting.push_back({name, sourceFolder, destinationFolder, sources.isEmpty()});
        sources.append(sourceFolder + name);
    }
    // The sizes, for the progress shown, are read beside the window too.
    Background::run(
        sourceFolder, this,
        [sources] {
            qint64 bytes = 0;
            for (const QString &path : sources) {
                struct stat st;
                if (::stat(FileNames::encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode))
                    bytes += st.st_size;
            }
            return bytes;
        },
        [this, spell = m_spell](qint64 bytes) {
            if (spell != m_spell)
                return;
            m_total += bytes;
            showProgress(std::max<qint64>(0, m_shownDone));
        });
    if (!m_busy) {
        m_busy = true;
        next();
    }
}

void FileCopier::next()
{
    if (m_waiting.empty()) {
        m_busy = false;
        m_told.clear();
        // The next copies count from nothing.
        m_spell = std::make_shared<Spell>();
        m_total = 0;
        m_shownDone = m_shownTotal = -1;
        Q_EMIT finished();
        return;
    }
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    const quint64 serial = ++m_serial;
    const QPointer<QObject> self(this);
    // One lane per destination: a share that stopped answering holds back
    // its own work only.
    Background::run(
        m_current->destinationFolder, this,
        [this, self, copy = m_copy, spell = m_spell, task = *m_current, serial] {
            if (spell->stop)
                return spell->written.load();
            Background::tell(self, [this, serial] {
                if (m_current && m_serial == serial)
                    Q_EMIT copying(m_told = m_current->name);
            });
            if (task.sweep)
                FileOps::removeStrayTemporaries(task.destinationFolder);
            Monitor monitor(spell->stop, [this, self, spell](qint64 bytes) {
                const qint64 written = spell->written += bytes;
                if (!spell->telling.exchange(true))
                    Background::tell(self, [this, spell, written] {
                        spell->telling = false;
                        if (spell == m_spell)
                            showProgress(written);
                    });
            });
            copy(task.sourceFolder + task.name, task.destinationFolder + task.name, &monitor);
            return spell->written.load();
        },
        [this, serial](qint64 written) {
            // A copy given up has nothing more to say.
            if (!m_current || m_serial != serial)
                return;
            showProgress(written);
            m_current.reset();
            next();
        });
}

void FileCopier::abandon()
{
    m_spell->stop = true;
    m_spell = std::make_shared<Spell>();
    m_waiting.clear();
    m_current.reset();
    m_busy = false;
    m_told.clear();
    m_total = 0;
    m_shownDone = m_shownTotal = -1;
}

void FileCopier::showProgress(qint64 done)
{
    if (done == m_shownDone && m_total == m_shownTotal)
        return;
    m_shownDone = done;
    m_shownTotal = m_total;
    Q_EMIT progress(done, m_total);
}
