// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QString>

// A file's type as the list shows it: a description and the key of its
// pictures in the two image sets.
struct FileType {
    QString description;
    QString iconKey;
    QString smallIconKey() const { return QStringLiteral("sml") + iconKey; }
};

// The type of a file, decided by the last three characters of its whole name.
FileType LookupFileType(const QString &name);

// The same lookup as a small index, so that a row can carry its type
// cheaply: fileTypeAt(fileTypeIndex(name)) == LookupFileType(name).
int fileTypeIndex(const QString &name);
struct NameView;
int fileTypeIndex(const NameView &name);
const FileType &fileTypeAt(int index);
int fileTypeCount();
