#include "app/AppPath.h"

QString appPathFor(const QString &workingDirectory)
{
    QString path = workingDirectory;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    const QString upper = path.toUpper();
    if (upper.endsWith(QLatin1String("VB/")) || upper.endsWith(QLatin1String("VB98/")))
        path += QStringLiteral("My app/Vardel/");
    return path;
}
