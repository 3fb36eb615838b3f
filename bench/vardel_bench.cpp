// Measures the real main window's catalogue and audit pass against the
// floor that the disk sets: a bare readdir + fstatat sweep of the folder;
// and how long the window's thread goes without turning its event loop
// while the passes run (a timer every 5 ms: the longest gap between its
// firings is max_stall_ms).
//
//   vardel-bench --files 100000 --passes 5
//   vardel-bench --dir /some/folder --passes 5
//   vardel-bench --files 100000 --view 2     (0 large icons, 1 small icons, 2 list, 3 report)

#include "app/FolderTree.h"
#include "app/frmMain.h"
#include "filelist/FileListModel.h"
#include "filelist/FileListView.h"
#include "platform/Dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
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

bool createFiles(const QString &dir, int first, int count)
{
    for (int i = first; i < first + count; ++i) {
        const QByteArray name = QFile::encodeName(dir + QStringLiteral("/file_%1.txt").arg(i, 7, 10, QLatin1Char('0')));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const char data[] = "vardel";
        const bool ok = ::write(fd, data, std::size_t(i % 7)) >= 0;
        ::close(fd);
        if (!ok)
            return false;
    }
    return true;
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
        } else {
            std::fprintf(stderr, "usage: vardel-bench [--dir DIR | --files N] [--passes K] [--view 0-3]\n");
            return 2;
        }
    }

    QTemporaryDir scratch;
    int created = 0;
    if (dir.isEmpty()) {
        dir = scratch.path() + QStringLiteral("/watched");
        QDir().mkpath(dir);
        if (!createFiles(dir, 0, files)) {
            std::fprintf(stderr, "cannot create files in %s\n", qPrintable(dir));
            return 1;
        }
        created = files;
    }

    SilentDialogs dialogs;
    frmMain window(dialogs);
    window.resize(1000, 700);
    window.show();
    window.setAuditInterval(0); // passes are run by hand
    window.setStartFolder(QDir(dir).absolutePath());
    window.Form_Load();
    window.setAuditInterval(0);
    // Sorted by name, as after a click on the "Name" header.
    window.lvwFile_ColumnClick(0);
    window.listView()->setViewMode(viewMode);

    QAbstractItemView *view = window.listView()->currentView();
    const auto paint = [&] {
        view->viewport()->repaint();
        QCoreApplication::processEvents();
    };

    // Until the listing asked for has been applied to the window.
    const auto settle = [&] {
        while (!window.watch().isIdle())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    };
    settle();
    if (window.watch().folder() != QDir(dir).absolutePath()) {
        std::fprintf(stderr, "cannot watch %s\n", qPrintable(dir));
        return 1;
    }

    std::vector<double> catalogue;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer t;
        t.start();
        window.ReadFile();
        settle();
        paint();
        catalogue.push_back(elapsedMs(t));
    }

    // One file in a hundred is new.
    const int fresh = std::max(1, window.listModel()->rowCount() / 100);
    // A folder given by --dir is only read, never written.
    if (created > 0)
        createFiles(dir, created, fresh);

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
    for (int i = 0; i < passes; ++i) {
        QElapsedTimer t;
        t.start();
        sinceBeat.start();
        beat.start();
        window.CompareFile();
        settle();
        paint();
        beat.stop();
        maxStall = std::max(maxStall, elapsedMs(sinceBeat));
        pass.push_back(elapsedMs(t));

        QElapsedTimer f;
        f.start();
        bareSweep(encoded);
        floor.push_back(elapsedMs(f));
    }

    struct rusage usage {
    };
    ::getrusage(RUSAGE_SELF, &usage);
    const double passMs = median(pass);
    const double floorMs = median(floor);
    std::printf("files %d\n", window.listModel()->rowCount());
    std::printf("catalogue_ms %.1f\n", median(catalogue));
    std::printf("pass_ms %.1f\n", passMs);
    std::printf("floor_ms %.1f\n", floorMs);
    std::printf("pass_over_floor %.2f\n", floorMs > 0 ? passMs / floorMs : 0.0);
    std::printf("max_stall_ms %.1f\n", maxStall);
    std::printf("peak_rss_mb %.1f\n", double(usage.ru_maxrss) / 1024.0);
    return 0;
}
