// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 The Vardel developers

#include "app/Layout.h"

#include <algorithm>

using namespace LayoutRules;

MainLayout computeLayout(float outerHeight, float outerWidth, float listTop)
{
    MainLayout l {};
    if (outerHeight < kHeightThreshold) {
        l.dirHeight = kDirBaseHeight;
        l.listHeight = kListBaseHeight;
        l.viewTop = kViewBaseTop;
    } else {
        l.dirHeight = outerHeight + kDirBaseHeight - kHeightThreshold;
        l.listHeight = outerHeight + kListBaseHeight - kHeightThreshold;
        l.viewTop = listTop + l.listHeight;
    }
    const float treeGrowth = std::max(0.f, (outerWidth - kTreeGrowthThreshold) * kTreeGrowthShare);
    l.dirWidth = kDirBaseWidth + treeGrowth;
    l.driveWidth = kDriveBaseWidth + treeGrowth;
    l.listLeft = kListBaseLeft + treeGrowth;
    l.listWidth
        = outerWidth < kWidthThreshold ? kListBaseWidth : outerWidth + kListBaseWidth - kWidthThreshold - treeGrowth;
    l.lineX1 = outerWidth;
    l.viewWidth = l.listWidth;
    return l;
}
