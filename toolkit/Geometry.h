// Points, rectangles and colours of the view toolkit, in whole pixels.
#pragma once

#include <cstdint>

namespace toolkit
{

struct Point
{
    int x = 0;
    int y = 0;

    bool operator==(const Point&) const = default;
};

// Left and top are inside the rectangle; right and bottom are one past it.
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static constexpr Rect fromSize(int left, int top, int width, int height) { return {left, top, left + width, top + height}; }

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    constexpr Rect offset(int dx, int dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const Rect&) const = default;
};

struct Colour
{
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    bool operator==(const Colour&) const = default;
    // The colour as it sits in a 24-bit image pixel (0x00RRGGBB).
    uint32_t pixel() const { return (uint32_t(red) << 16) | (uint32_t(green) << 8) | uint32_t(blue); }
};

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kBlack{0, 0, 0};

// Mouse-button and modifier state as controls read it.
enum MouseButtons : int
{
    kLButton = 1,
    kMButton = 2,
    kRButton = 4,
    kShift = 8,
    kControl = 16,
    kAlt = 32,
};

} // namespace toolkit
