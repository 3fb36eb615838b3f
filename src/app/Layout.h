#pragma once

// Where the main window's resizable controls go for a given outer window
// size, all in twips.
struct MainLayout {
    float dirHeight; // Dir1
    float listHeight; // lvwFile
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
} // namespace LayoutRules

// Below the thresholds the controls keep their design sizes, so no size
// ever becomes negative.
MainLayout computeLayout(float outerHeight, float outerWidth, float listTop = LayoutRules::kListTop);
