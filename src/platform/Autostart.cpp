// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/Autostart.h"

#include "platform/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace Autostart {

namespace {

// A path as one argument of an entry's Exec line: quoted where it holds a
// character the line gives a meaning to, and escaped again as the entry's
// value, so that the launcher runs exactly this file and nothing else.
QByteArray execArgument(const QByteArray &path)
{
    QByteArray argument = path;
    argument.replace('%', "%%");
    bool reserved = false;
    for (const char c : path)
        reserved = reserved || std::strchr(" \t\n\"'\\><~|&;$*?#()`", c) != nullptr;
    if (reserved) {
        QByteArray quoted;
        for (const char c : std::as_const(argument)) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                quoted += '\\';
            quoted += c;
        }
        argument = '"' + quoted + '"';
    }
    return argument.replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t").replace('\r', "\\r");
}

} // namespace

QString filePath()
{
    // A relative XDG_CONFIG_HOME is no folder by the rules and is ignored.
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/io.github.vardel.Vardel.desktop");
}

QByteArray entry(const QByteArray &program)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Vardel\n"
           "Comment=Watch a folder and be told when new files appear\n"
           "Exec="
        + execArgument(program)
        + "\n"
          "Icon=io.github.vardel.Vardel\n"
          "Terminal=false\n"
          "X-GNOME-Autostart-enabled=true\n";
}

QByteArray runningProgram()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray("vardel");
}

QString set(const QString &path, bool on)
{
    const QByteArray local = FileNames::encode(path);
    if (!on) {
        if (::unlink(local.constData()) == 0 || errno == ENOENT)
            return {};
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("the folder %1 cannot be made").arg(QFileInfo(path).path());
    QSaveFile file(path);
    // Unbuffered: a write the disk refuses fails the commit.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(entry(runningProgram())) < 0
        || !file.commit())
        return file.errorString();
    return {};
}

bool exists(const QString &path)
{
    struct stat st {
    };
    return ::stat(FileNames::encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace Autostart
