#pragma once

#include "filelist/RowTable.h"

#include <QString>

// Lists the plain files directly in one folder (regular files and links to
// them), hidden names and special files left out, into rows in name order
// (case ignored, ties by the exact name), the names as the folder gave
// them. Never shown.
namespace FileListing {

// False (and no rows) when the folder cannot be read, also when reading it
// fails half way. A name the folder gave as a file that could not then be
// found is kept as an Unlisted row: the catalogue knows it, the list does
// not show it.
bool list(const QString &path, RowTable &rows);

} // namespace FileListing
