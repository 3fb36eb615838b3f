// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#pragma once

// Where the main window's resizable controls go for a given outer window
// size, all in twips.
struct MainLayout {
    float dirHeight; // Dir1
    float dirWidth;
    float driveWidth; // Drive1, as wide as the tree under it
    float listLeft; // lvwFile, right of the tree
    float listHeight;
    float listWidth;
    float viewTop; // cmdView
    float viewWidth;
    float lineX1; // right end of Line1 and Line2
};

namespace LayoutRules {
constexpr float kHeightThreshold = 4650;
constexpr float kDirBaseHeight = 2340;
constexpr float kListBaseHeight = 2535;
constexpr float kViewBaseTop = 3240;
constexpr float kWidthThreshold = 5595;
constexpr float kListBaseWidth = 3015;
constexpr float kListTop = 720;
constexpr float kListBaseLeft = 2160;
constexpr float kDirBaseWidth = 1875;
constexpr float kDriveBaseWidth = 1935;
// The window's outer width at design: up to it the tree keeps its design
// width and the list alone follows the window; beyond it the tree takes a
// third of each further twip, so that deep folders keep their names.
constexpr float kTreeGrowthThreshold = 6735;
constexpr float kTreeGrowthShare = 1.f / 3;
} // namespace LayoutRules

// Below the thresholds the controls keep their design sizes, so no size
// ever becomes negative.
MainLayout computeLayout(float outerHeight, float outerWidth, float listTop = LayoutRules::kListTop);
