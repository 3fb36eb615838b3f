// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/AppPath.h"

#include <QDir>
#include <QImageReader>

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

QStringList iconFolders(const QString &appPath, const QString &executableFolder)
{
    QStringList folders {appPath, executableFolder, QStringLiteral(VARDEL_DATA_DIR)};
    const QString beside = QDir::cleanPath(executableFolder + QStringLiteral("/" VARDEL_DATA_DIR_FROM_BIN));
    if (!folders.contains(beside))
        folders.append(beside);
    return folders;
}

QList<QImage> readIconFile(const QString &fileName, const QStringList &folders)
{
    for (const QString &folder : folders) {
        // Every size the file holds, so that the desktop picks the sharpest.
        QImageReader reader(QDir(folder).filePath(fileName));
        QList<QImage> pictures;
        do {
            const QImage picture = reader.read();
            if (picture.isNull())
                break;
            pictures.append(picture);
        } while (reader.jumpToNextImage());
        if (!pictures.isEmpty())
            return pictures;
    }
    return {};
}
