// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

// The window's unit of length: 1440 twips an inch.
namespace Twips {

inline int toPixels(double twips, double dpi)
{
    return int(std::lround(twips * dpi / 1440.0));
}

inline double fromPixels(double pixels, double dpi)
{
    return pixels * 1440.0 / dpi;
}

// The logical dots per inch of the primary screen; 96 where none says.
inline double screenDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen && screen->logicalDotsPerInchX() > 0 ? screen->logicalDotsPerInchX() : 96;
}

} // namespace Twips
