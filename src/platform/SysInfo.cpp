// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "platform/SysInfo.h"

#include "platform/SessionBus.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace SysInfo {

Locations defaultLocations()
{
    return {
        {QStringLiteral("hardinfo"), QStringLiteral("gnome-system-monitor"), QStringLiteral("mate-system-monitor"),
         QStringLiteral("kinfocenter"), QStringLiteral("lshw-gtk"), QStringLiteral("cpu-x")},
        QStringLiteral("/usr/bin"),
        QStringLiteral("hardinfo"),
    };
}

namespace {

// Started with the session's own bus, whatever this process uses.
bool startTool(const QString &program)
{
    QProcess process;
    process.setProgram(program);
    process.setProcessEnvironment(SessionBus::childEnvironment());
    return process.startDetached();
}

} // namespace

bool start(const Locations &where)
{
    // The first tool found is the one: when it will not start, the tool is
    // unavailable, and neither the rest of the list nor the folder is tried.
    for (const QString &tool : where.tools) {
        const QString found = QStandardPaths::findExecutable(tool);
        if (!found.isEmpty())
            return startTool(found);
    }

    const QString fallback = where.folder + QLatin1Char('/') + where.fileName;
    if (!QFileInfo::exists(fallback))
        return false;
    return startTool(fallback);
}

} // namespace SysInfo
