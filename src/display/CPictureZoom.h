// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CPictureDisplay.h"
#include "display/PictureScaler.h"

#include <cstdint>

// A digital zoom into the picture on view: how far in, and which part is shown.
// The part is kept as fractions of the picture, so it holds across new frames
// of the same size; a frame of another size starts over at the whole picture.
class CPictureZoom
{
public:
    static constexpr double kMinFactor = 1.0;
    static constexpr double kMaxFactor = 8.0;

    double Factor() const { return m_factor; }
    bool IsZoomed() const { return m_factor > kMinFactor; }

    // Zooms to factor (kept within the limits) so that the picture's point under
    // (x, y), in the placement's coordinates, stays where it is.
    void ZoomAt(double factor, double x, double y, const PictureRect& placement);
    // Moves the picture with the pointer by (dx, dy) window pixels.
    void PanBy(double dx, double dy, const PictureRect& placement);
    void Reset();

    // The part of a width x height picture to show; another size than the last
    // one asked for resets the zoom first.
    PictureSource SourceFor(int32_t width, int32_t height);

private:
    void KeepInside();

    double m_factor = kMinFactor;
    double m_left = 0; // the shown part's top-left corner, as fractions of the picture
    double m_top = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
};
