// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>
#include <QStringList>

// Finds and starts the desktop's system information tool.
namespace SysInfo {

struct Locations {
    // First way: the first of these found on the search path is started as it stands.
    QStringList tools;
    // Second way: this folder plus this file name, started only if the file exists.
    QString folder;
    QString fileName;
};

// The tools and the folder the program looks at.
Locations defaultLocations();

// Starts the tool, detached and without waiting; false when none could be started.
bool start(const Locations &where = defaultLocations());

} // namespace SysInfo
