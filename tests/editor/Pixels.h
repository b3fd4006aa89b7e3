// Reading pixels of rendered images in tests.
#pragma once

#include "toolkit/Geometry.h"

#include <cairo.h>
#include <cstdint>

inline uint32_t pixelOf(cairo_surface_t* image, int x, int y)
{
    cairo_surface_flush(image);
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    return reinterpret_cast<const uint32_t*>(data + y * stride)[x] & 0xFFFFFFu;
}

inline uint32_t rgb(const toolkit::Colour& c)
{
    return c.pixel();
}

// Gold text blends towards teal, sky-blue text does not reach this much red.
inline bool isGoldish(uint32_t pixel)
{
    return ((pixel >> 16) & 0xFF) > 120 && (pixel & 0xFF) < 140;
}
