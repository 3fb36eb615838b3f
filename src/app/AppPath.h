// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// The program folder: the working directory at start with one "/" at its
// end; a development folder (one whose name ends in "VB" or "VB98", any
// case) gets "My app/Vardel/" appended.
QString appPathFor(const QString &workingDirectory);

// Where "Eye.ico" and "Lighton.ico" are sought, in this order: the program
// folder, the folder of the executable, then the data folder the program
// was installed with, and the same folder found from the executable's (a
// package or a copy installed under another prefix than the one built for).
QStringList iconFolders(const QString &appPath, const QString &executableFolder);

// The pictures of an icon file from the first folder where it is readable
// as an image; none when no folder has it. Reads the disk.
QList<QImage> readIconFile(const QString &fileName, const QStringList &folders);
