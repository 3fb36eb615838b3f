#include "app/Layout.h"

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
    l.listWidth = outerWidth < kWidthThreshold ? kListBaseWidth : outerWidth + kListBaseWidth - kWidthThreshold;
    l.lineX1 = outerWidth;
    l.viewWidth = l.listWidth;
    return l;
}
