// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

// Measures the real main window's catalogue and audit pass against the
// floor that the disk sets: a bare readdir + fstatat sweep of the folder;
// how long a pass takes that follows a few changes (change_pass_ms, from
// the tick to the list painted with them, by the folder's events, and
// change_full_ms, the same changes found by a listing in full); how long
// the window's thread goes without turning its event loop while the passes
// run (a timer every 5 ms: the longest gap between its firings is
// max_stall_ms); the processor time an idle program takes per tick of a
// one-second period, and the peak of its memory.
//
//   vardel-bench --files 100000 --passes 5 --changes 10
//   vardel-bench --dir /some/folder --passes 5     (its own files only: vardel-bench-*)
//   vardel-bench --files 100000 --view 2     (0 large icons, 1 small icons, 2 list, 3 report)
//   vardel-bench --no-events                 (every pass lists the folder in full)

#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "audit/ChangeSource.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Every box is answered at once, as a user who clicks OK.
class SilentDialogs : public Dialogs
{
protected:
    Answer showMessage(QWidget *, const Box &box) override
    {
        return box.buttons == Buttons::YesNo ? box.defaultAnswer : Answer::Ok;
    }
    std::optional<QString> showInput(QWidget *, const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<QString> showSaveFile(QWidget *, const QString &) override { return std::nullopt; }
    std::optional<QString> showChooseFolder(QWidget *) override { return std::nullopt; }
};

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The least any listing of the folder can cost.
std::size_t bareSweep(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    DIR *dir = ::fdopendir(fd);
    std::size_t files = 0;
    while (const dirent *e = ::readdir(dir)) {
        struct stat st;
        if (e->d_name[0] != '.' && ::fstatat(fd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            ++files;
    }
    ::closedir(dir);
    return files;
}

// A camera's names, spread over a year: IMG_20261207_123456_000123.jpg.
QString cameraName(std::mt19937 &random, const char *prefix = "IMG")
{
    const unsigned day = random() % 365;
    const unsigned second = random() % 86400;
    return QString::asprintf("%s_2026%02u%02u_%02u%02u%02u_%06u.jpg", prefix, 1 + day / 31 % 12, 1 + day % 28,
                             second / 3600, second / 60 % 60, second % 60, unsigned(random() % 1000000));
}

bool writeFile(const QString &path, int bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const QByteArray data(bytes, 'v');
    const bool ok = ::write(fd, data.constData(), std::size_t(data.size())) == data.size();
    return ::close(fd) == 0 && ok;
}

bool createFiles(const QString &dir, int count, std::mt19937 &random)
{
    for (int i = 0; i < count; ++i) {
        if (!writeFile(dir + QLatin1Char('/') + cameraName(random), int(random() % 7)))
            return false;
    }
    return true;
}

// Changes to the folder before a pass: files made, deleted, written and
// one renamed, all of them the benchmark's own.
class Changer
{
public:
    Changer(const QString &dir, bool ownNames)
        : m_dir(dir + QLatin1Char('/'))
        , m_ownNames(ownNames)
    { }
    ~Changer()
    {
        for (const QString &name : m_made)
            QFile::remove(m_dir + name);
    }
    void change(int count)
    {
        const int deletions = std::min(int(m_made.size()), count * 3 / 10);
        const int writes = std::min(int(m_made.size()) - deletions, count / 5);
        const int renames = count >= 4 && int(m_made.size()) > deletions + writes ? 1 : 0;
        for (int i = 0; i < deletions; ++i) {
            QFile::remove(m_dir + m_made.front());
            m_made.pop_front();
        }
        for (int i = 0; i < writes; ++i)
            writeFile(m_dir + m_made[std::size_t(i)], 1000);
        if (renames) {
            const QString to = name();
            QFile::rename(m_dir + m_made.back(), m_dir + to);
            m_made.back() = to;
        }
        for (int i = deletions + writes + renames; i < count; ++i) {
            m_made.push_back(name());
            writeFile(m_dir + m_made.back(), 100);
        }
    }

private:
    // Spread among the folder's names where the folder is the benchmark's.
    QString name()
    {
        return m_ownNames ? QStringLiteral("vardel-bench-") + cameraName(m_random) : cameraName(m_random, "IMG");
    }

    QString m_dir;
    bool m_ownNames;
    std::mt19937 m_random {7};
    std::deque<QString> m_made;
};

double cpuMs()
{
    struct rusage usage {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    return (double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3);
}

double elapsedMs(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The benchmark keeps its settings away from the user's own.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);

    QString dir;
    int files = 10000;
    int passes = 5;
    int viewMode = 3;
    int changes = 10;
    bool events = true;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        const QString next = i + 1 < args.size() ? args.at(i + 1) : QString();
        if (a == QLatin1String("--dir")) {
            dir = next;
            ++i;
        } else if (a == QLatin1String("--files")) {
            files = next.toInt();
            ++i;
        } else if (a == QLatin1String("--view")) {
            viewMode = next.toInt();
            ++i;
        } else if (a == QLatin1String("--passes")) {
            passes = std::max(1, next.toInt());
            ++i;
        } else if (a == QLatin1String("--changes")) {
            changes = std::max(0, next.toInt());
            ++i;
        } else if (a == QLatin1String("--no-events")) {
            events = false;
        } else {
            std::fprintf(stderr,
                         "usage: vardel-bench [--dir DIR | --files N] [--passes K] [--changes N] [--no-events] "
                         "[--view 0-3]\n");
            return 2;
        }
    }
    // The folder's changes come from the kernel where its file system tells
    // of them, as in the program; or never.
    if (!events)
        ChangeSource::setDefaultOpener([](const QString &) { return nullptr; });

    QTemporaryDir scratch;
    std::mt19937 random(1);
    const bool given = !dir.isEmpty();
    if (!given) {
        dir = scratch.path() + QStringLiteral("/watched");
        QDir().mkpath(dir);
        if (!createFiles(dir, files, random)) {
            std::fprintf(stderr, "cannot create files in %s\n", qPrintable(dir));
            return 1;
        }
    }

    SilentDialogs dialogs;
    frmMain window(dialogs);
    const frmMain::Probe probe {window};
    window.resize(1000, 700);
    window.show();
    probe.setAuditInterval(0); // passes are run by hand
    window.setStartFolder(QDir(dir).absolutePath());
    window.Form_Load();
    probe.setAuditInterval(0);
    // Sorted by name, as after a click on the "Name" header.
    probe.lvwFile_ColumnClick(0);
    probe.listView()->setViewMode(viewMode);

    // The list is painted as the window paints it: what the rows' changes
    // made dirty, once. (A repaint forced on top would paint it twice: the
    // settling below already turns the event loop.)
    const auto paint = [&] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };

    // Until the listing asked for has been applied to the window.
    const auto settle = [&] {
        while (!probe.watch().isIdle())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    settle();
    if (probe.watch().folder() != QDir(dir).absolutePath()) {
        std::fprintf(stderr, "cannot watch %s\n", qPrintable(dir));
        return 1;
    }

    std::vector<double> catalogue;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        probe.ReadFile();
        settle();
        paint();
        catalogue.push_back(elapsedMs(t));
    }

    // One file in a hundred is new. A folder given by --dir is written with
    // files of the benchmark's own only, and those go again at the end.
    const int fresh = std::max(1, probe.listModel()->rowCount() / 100);
    if (!given)
        createFiles(dir, fresh, random);
    Changer changer(dir, given);

    std::vector<double> pass;
    std::vector<double> floor;
    const QByteArray encoded = QFile::encodeName(dir);
    QTimer beat;
    beat.setInterval(5);
    QElapsedTimer sinceBeat;
    double maxStall = 0;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        maxStall = std::max(maxStall, elapsedMs(sinceBeat));
        sinceBeat.start();
    });
    // One pass, timed from the tick to the list painted.
    const auto timedPass = [&](bool inFull) {
        QElapsedTimer t;
        t.start();
        sinceBeat.start();
        beat.start();
        if (inFull)
            probe.watch().listInFull();
        probe.CompareFile();
        settle();
        paint();
        beat.stop();
        maxStall = std::max(maxStall, elapsedMs(sinceBeat));
        return elapsedMs(t);
    };
    // The first pass after the catalogue lists in full, and takes the source.
    timedPass(true);
    std::vector<double> changePass;
    std::vector<double> changeFull;
    for (int i = 0; i < passes; ++i) {
        pass.push_back(timedPass(true));
        QElapsedTimer f;
        f.start();
        bareSweep(encoded);
        floor.push_back(elapsedMs(f));
        if (changes > 0) {
            changer.change(changes);
            changePass.push_back(timedPass(false));
            changer.change(changes);
            changeFull.push_back(timedPass(true));
        }
    }
    // Idle: a one-second period and no change; the processor time per tick.
    timedPass(false);
    probe.setAuditInterval(1000);
    const double cpuBefore = cpuMs();
    QEventLoop idle;
    QTimer::singleShot(5000, &idle, &QEventLoop::quit);
    idle.exec();
    const double idleCpu = (cpuMs() - cpuBefore) / 5;
    probe.setAuditInterval(0);

    struct rusage usage {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    const double passMs = median(pass);
    const double floorMs = median(floor);
    std::printf("files %d\n", probe.listModel()->rowCount());
    std::printf("catalogue_ms %.1f\n", median(catalogue));
    std::printf("pass_ms %.1f\n", passMs);
    std::printf("floor_ms %.1f\n", floorMs);
    std::printf("pass_over_floor %.2f\n", floorMs > 0 ? passMs / floorMs : 0.0);
    std::printf("changes %d\n", changes);
    std::printf("change_pass_ms %.1f\n", median(changePass));
    std::printf("change_full_ms %.1f\n", median(changeFull));
    std::printf("events %s\n", probe.watch().source() ? "yes" : "no");
    std::printf("max_stall_ms %.1f\n", maxStall);
    std::printf("idle_cpu_ms_per_tick %.1f\n", idleCpu);
    std::printf("peak_rss_mb %.1f\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}
