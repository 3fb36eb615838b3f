// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include "platform/FileNames.h"

#include <QString>
#include <QStringList>

#include <optional>

// The file work behind open, copy and delete. Paths are used exactly as
// given: nothing is trimmed, since a Linux name may begin or end with a blank.
namespace FileOps {

using FileNames::folderWithSlash;
using FileNames::joinPath;

// Whether opening the file would run a program: a name ending in ".EXE",
// ".BAT", ".COM" or ".desktop" (any case), or a file with an execute
// permission bit.
bool isExecutable(const QString &name, const QString &fullPath);

// The folder the copies go to, from the path the file dialog returned and
// the names proposed in it: the path must end in "/" and the proposed name,
// as it does when the user kept the name; what stands before it is the
// folder. Empty when the user changed the name.
std::optional<QString> destinationFolder(const QString &dialogPath, const QString &proposedName);

// What a copy running beside the window obeys and reports, on the copy's
// own thread.
class CopyMonitor
{
public:
    virtual ~CopyMonitor() = default;
    // Polled between blocks, and once more before the complete file takes
    // its name: a copy given up leaves no file behind.
    virtual bool cancelled() const = 0;
    // More bytes written.
    virtual void copied(qint64 bytes) = 0;
    // Whether to write into an unnamed file first; false forces the named
    // temporary that file systems without unnamed files get.
    virtual bool unnamedTemporary() const { return true; }
};

// Copies a plain file, replacing a destination file without asking. The
// contents go into a file with no name in the destination folder (or, where
// the file system has none, a named temporary beside it), which takes the
// destination's name in one step once complete: a failure, or the program
// ending mid-way, never leaves a truncated file under that name. A file
// copied onto itself is left untouched. Keeps the file's permission bits
// (never set-user-ID or set-group-ID) and modification time; a pipe or a
// folder is never copied.
bool copyFile(const QString &source, const QString &destination, CopyMonitor *monitor = nullptr);

// Removes what copies of this program left in the folder where removing
// their named temporary failed, or the program ended first: hidden files
// named ".vardel-copy-" and six letters or digits, plain files of this user,
// last changed before the oldest copy running now began.
void removeStrayTemporaries(const QString &folder);

// Deletes exactly the plain file (or the link to one) at the path; never a
// folder, never a read-only file.
bool deleteFile(const QString &path);

} // namespace FileOps
