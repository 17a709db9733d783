// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureZoom.h"

#include <algorithm>

void CPictureZoom::ZoomAt(double factor, double x, double y, const PictureRect& placement)
{
    const double width = placement.right - placement.left;
    const double height = placement.bottom - placement.top;
    if (width <= 0 || height <= 0)
    {
        return;
    }
    const double newFactor = std::clamp(factor, kMinFactor, kMaxFactor);
    const double across = (x - placement.left) / width;
    const double down = (y - placement.top) / height;
    // The point under the pointer, as a fraction of the picture, before and after.
    m_left += across / m_factor - across / newFactor;
    m_top += down / m_factor - down / newFactor;
    m_factor = newFactor;
    KeepInside();
}

void CPictureZoom::PanBy(double dx, double dy, const PictureRect& placement)
{
    const double width = placement.right - placement.left;
    const double height = placement.bottom - placement.top;
    if (width <= 0 || height <= 0)
    {
        return;
    }
    m_left -= dx / width / m_factor;
    m_top -= dy / height / m_factor;
    KeepInside();
}

void CPictureZoom::Reset()
{
    m_factor = kMinFactor;
    m_left = 0;
    m_top = 0;
}

PictureSource CPictureZoom::SourceFor(int32_t width, int32_t height)
{
    if (width != m_width || height != m_height)
    {
        Reset();
        m_width = width;
        m_height = height;
    }
    if (!IsZoomed())
    {
        return {0, 0, static_cast<double>(width), static_cast<double>(height)};
    }
    return {m_left * width, m_top * height, width / m_factor, height / m_factor};
}

void CPictureZoom::KeepInside()
{
    const double largest = 1 - 1 / m_factor;
    m_left = std::clamp(m_left, 0.0, largest);
    m_top = std::clamp(m_top, 0.0, largest);
}
