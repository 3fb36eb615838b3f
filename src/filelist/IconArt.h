// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QString>

class QPainter;

// The drawings behind FileIcons, on a grid of 32 units (13 when small).
namespace IconArt {

using Drawing = void (*)(QPainter &, bool small);

// The file-type pictures by large key ("Dir", "Exe", ..., "None").
const QHash<QString, Drawing> &drawings();
void drawEye(QPainter &p, bool small);
void drawLightOn(QPainter &p, bool small);
void drawWindow(QPainter &p, bool small);

// The drawing at size x size pixels on a transparent ground.
QImage render(int size, Drawing draw);
// The drawing at every size from 13 to 256 pixels.
QIcon iconOf(Drawing draw);

} // namespace IconArt
