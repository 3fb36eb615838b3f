#include "platform/SysInfo.h"

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

bool start(const Locations &where)
{
    // The first tool found is the one: when it will not start, the tool is
    // unavailable, and neither the rest of the list nor the folder is tried.
    for (const QString &tool : where.tools) {
        const QString found = QStandardPaths::findExecutable(tool);
        if (!found.isEmpty())
            return QProcess::startDetached(found, {});
    }

    const QString fallback = where.folder + QLatin1Char('/') + where.fileName;
    if (!QFileInfo::exists(fallback))
        return false;
    return QProcess::startDetached(fallback, {});
}

} // namespace SysInfo
