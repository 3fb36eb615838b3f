// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QByteArray>
#include <QString>

// File names as the kernel holds them (bytes) and as the program shows them
// (text). Valid UTF-8 becomes its text; every byte that is not valid UTF-8
// becomes a lone surrogate (U+DC80 to U+DCFF) and turns back into the same
// byte, so that any name read from a folder names the same file again.
namespace FileNames {

QString decode(const char *bytes, qsizetype size);
inline QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}
QByteArray encode(const QString &name);

// Name order: case ignored, ties broken by the exact name, so that the order
// is the same whatever order the folder gives.
bool nameLess(const QString &a, const QString &b);

// The folder with exactly one "/" after it ("/" stays "/").
QString folderWithSlash(const QString &folder);
// The folder, one "/" and the name.
QString joinPath(const QString &folder, const QString &name);
// The folder a path lies in: "/" for a name at the root, "." for a bare name.
QByteArray parentOf(const QByteArray &path);

} // namespace FileNames
