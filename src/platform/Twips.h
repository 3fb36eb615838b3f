#pragma once

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

} // namespace Twips
