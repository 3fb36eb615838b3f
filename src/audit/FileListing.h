// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "filelist/RowTable.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <vector>

// Lists the plain files directly in one folder (regular files and links to
// them), hidden names and special files left out, into rows in the order
// the folder gives them, the names as the folder gave them. Never shown.
namespace FileListing {

// False (and no rows) when the folder cannot be read, also when reading it
// fails half way. A name the folder gave as a file that could not then be
// found is kept as an Unlisted row: the catalogue knows it, the list does
// not show it. A name of no plain file is an Absent row (Linked as well for
// a link).
bool list(const QString &path, RowTable &rows);

// Looks named files up again as a listing would find them: a row for each
// plain file, an Absent row for every other name; `names` in name order.
enum class LookUp { Found, NotAvailable, Replaced };
// Replaced: the folder is no longer the one of that device and inode (0: any).
LookUp lookUp(const QString &path, const std::vector<QByteArray> &names, dev_t device, ino_t inode, RowTable &changes);

} // namespace FileListing
