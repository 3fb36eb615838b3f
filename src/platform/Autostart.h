// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QByteArray>
#include <QString>

// The desktop's autostart entry that starts the program at login
// ($XDG_CONFIG_HOME/autostart/io.github.vardel.Vardel.desktop). Everything
// but filePath() touches the disk: run it beside the window.
namespace Autostart {

// Where the entry lies, from the environment as it is now.
QString filePath();

// The entry that starts `program` (its absolute path) at login.
QByteArray entry(const QByteArray &program);
// The running program's own path.
QByteArray runningProgram();

// Writes the entry (on) or removes it (off); empty on success, else why not.
QString set(const QString &path, bool on);
bool exists(const QString &path);

} // namespace Autostart
