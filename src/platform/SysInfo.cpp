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
    // Only the first tool found is tried; when it will not start, the
    // fixed location is the fallback rather than the rest of the list.
    for (const QString &tool : where.tools) {
        const QString found = QStandardPaths::findExecutable(tool);
        if (found.isEmpty())
            continue;
        if (QProcess::startDetached(found, {}))
            return true;
        break;
    }

    const QString fallback = where.folder + QLatin1Char('/') + where.fileName;
    if (!QFileInfo::exists(fallback))
        return false;
    return QProcess::startDetached(fallback, {});
}

} // namespace SysInfo
