// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>
#include <QStringList>

// What the program's arguments ask for: `vardel [FOLDER]`, --help and
// --version, and Qt's own options for the application object. Read before
// any window exists, so that help, the version and a refused folder need no
// display and touch no setting.
namespace CommandLine {

struct Outcome {
    // True when the program ends here with exitCode, printing output on
    // standard output and error on standard error.
    bool exit = false;
    int exitCode = 0;
    QString output;
    QString error;
    // The folder to watch, absolute and clean; empty when none was given.
    QString folder;
    // Where Qt's own options (-platform xcb, -reverse, -style=fusion...) and
    // their values stand among the arguments, in order; after "--" every
    // argument is the program's own.
    QList<int> qtArguments;
};

// The program's version as "major.minor.patch".
QString version();

// Reads the arguments (the program's name first), decoded as every name from
// the disk (FileNames); a relative folder is taken from currentDir.
Outcome parse(const QStringList &arguments, const QString &currentDir);

} // namespace CommandLine
