// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <QStringList>

// The program's own pictures, drawn in code so that they stay sharp at any
// size: the file-type pictures of the two image sets, the window's design
// icon and the built-in copies of the two state icons.
namespace FileIcons {

// Keys of the large set (imlIcons), in image order.
QStringList largeKeys();
// Keys of the small set (imlSmallIcons), in image order; each is "sml" + a large key.
QStringList smallKeys();

// The picture of a large key ("Exe", "None", ...) drawn at size x size pixels
// on a transparent ground. An unknown key gives the "None" picture.
QImage picture(const QString &key, int size);

// An icon carrying the picture of the key at sizes from 13 to 256 pixels.
QIcon icon(const QString &key);

// The quiet-state eye and the alert-state light bulb, as the files
// "Eye.ico" and "Lighton.ico" hold them; used when a file cannot be loaded.
QImage eyePicture(int size);
QImage lightOnPicture(int size);
QIcon eyeIcon();
QIcon lightOnIcon();

// The window's design icon, also shown in the banner and the about box.
QIcon windowIcon();

} // namespace FileIcons
