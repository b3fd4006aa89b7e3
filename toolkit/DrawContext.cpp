// Drawing context over a cairo image surface: rectangles, ellipses, flood fill and one-line text.
#include "DrawContext.h"

#include "Frame.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace toolkit
{

namespace
{

// cairo refuses the whole context after one malformed UTF-8 string, so every byte that does not
// belong to a well-formed sequence is shown as '?'.
std::string validUtf8(const char* text)
{
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s != 0)
    {
        int length = 0;
        if (*s < 0x80)
            length = 1;
        else if ((*s & 0xE0) == 0xC0 && *s >= 0xC2)
            length = 2;
        else if ((*s & 0xF0) == 0xE0)
            length = 3;
        else if ((*s & 0xF8) == 0xF0 && *s <= 0xF4)
            length = 4;
        bool ok = length > 0;
        for (int i = 1; ok && i < length; ++i)
            ok = (s[i] & 0xC0) == 0x80;
        if (ok && length == 3)
            ok = !(s[0] == 0xE0 && s[1] < 0xA0) && !(s[0] == 0xED && s[1] >= 0xA0);
        if (ok && length == 4)
            ok = !(s[0] == 0xF0 && s[1] < 0x90) && !(s[0] == 0xF4 && s[1] >= 0x90);
        if (!ok)
        {
            out.push_back('?');
            ++s;
            continue;
        }
        out.append(reinterpret_cast<const char*>(s), static_cast<size_t>(length));
        s += length;
    }
    return out;
}

} // namespace

DrawContext::DrawContext(cairo_surface_t* target, Frame* frame)
    : fSurface(cairo_surface_reference(target)), fFrame(frame)
{
    fCairo = cairo_create(fSurface);
    // Exact colours on whole pixels; text keeps its own smoothing.
    cairo_set_antialias(fCairo, CAIRO_ANTIALIAS_NONE);
    setFont(fFont);
}

DrawContext::~DrawContext()
{
    cairo_destroy(fCairo);
    cairo_surface_destroy(fSurface);
}

void DrawContext::setSource(Colour c)
{
    cairo_set_source_rgb(fCairo, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

void DrawContext::setFont(const Font& font)
{
    fFont = font;
    cairo_select_font_face(fCairo, font.face, CAIRO_FONT_SLANT_NORMAL,
                           font.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(fCairo, font.size);
}

void DrawContext::fillRect(const Rect& r)
{
    int width = r.width() - 1;
    int height = r.height() - 1;
    if (width <= 0 || height <= 0)
        return;
    setSource(fFillColour);
    cairo_rectangle(fCairo, r.left + fOffset.x + 1, r.top + fOffset.y + 1, width, height);
    cairo_fill(fCairo);
}

void DrawContext::drawRect(const Rect& r)
{
    if (r.right < r.left || r.bottom < r.top)
        return;
    setSource(fFrameColour);
    int x = r.left + fOffset.x;
    int y = r.top + fOffset.y;
    int w = r.width() + 1;
    int h = r.height() + 1;
    cairo_rectangle(fCairo, x, y, w, 1);
    cairo_rectangle(fCairo, x, y + h - 1, w, 1);
    cairo_rectangle(fCairo, x, y, 1, h);
    cairo_rectangle(fCairo, x + w - 1, y, 1, h);
    cairo_fill(fCairo);
}

void DrawContext::fillEllipse(const Rect& r)
{
    double width = r.width();
    double height = r.height();
    if (width <= 0 || height <= 0)
        return;
    setSource(fFillColour);
    cairo_save(fCairo);
    cairo_translate(fCairo, r.left + fOffset.x + 1 + width / 2.0, r.top + fOffset.y + 1 + height / 2.0);
    cairo_scale(fCairo, width / 2.0, height / 2.0);
    cairo_arc(fCairo, 0.0, 0.0, 1.0, 0.0, 2.0 * M_PI);
    cairo_restore(fCairo);
    cairo_fill(fCairo);
}

uint32_t DrawContext::pixelAt(Point p)
{
    if (cairo_surface_get_type(fSurface) != CAIRO_SURFACE_TYPE_IMAGE)
        return 0;
    cairo_surface_flush(fSurface);
    int width = cairo_image_surface_get_width(fSurface);
    int height = cairo_image_surface_get_height(fSurface);
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height)
        return 0;
    const unsigned char* data = cairo_image_surface_get_data(fSurface);
    int stride = cairo_image_surface_get_stride(fSurface);
    return reinterpret_cast<const uint32_t*>(data + p.y * stride)[p.x] & 0xFFFFFFu;
}

void DrawContext::floodFill(Point start)
{
    if (cairo_surface_get_type(fSurface) != CAIRO_SURFACE_TYPE_IMAGE)
        return;
    cairo_surface_flush(fSurface);
    int width = cairo_image_surface_get_width(fSurface);
    int height = cairo_image_surface_get_height(fSurface);
    Point p{start.x + fOffset.x, start.y + fOffset.y};
    if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height)
        return;
    unsigned char* data = cairo_image_surface_get_data(fSurface);
    int stride = cairo_image_surface_get_stride(fSurface);
    auto row = [&](int y) { return reinterpret_cast<uint32_t*>(data + y * stride); };
    uint32_t target = row(p.y)[p.x] & 0xFFFFFFu;
    uint32_t fill = 0xFF000000u | fFillColour.pixel();
    if (target == (fill & 0xFFFFFFu))
        return;

    std::vector<Point> stack{p};
    while (!stack.empty())
    {
        Point q = stack.back();
        stack.pop_back();
        uint32_t* line = row(q.y);
        if ((line[q.x] & 0xFFFFFFu) != target)
            continue;
        int left = q.x;
        while (left > 0 && (line[left - 1] & 0xFFFFFFu) == target)
            --left;
        int right = q.x;
        while (right + 1 < width && (line[right + 1] & 0xFFFFFFu) == target)
            ++right;
        for (int x = left; x <= right; ++x)
        {
            line[x] = fill;
            if (q.y > 0 && (row(q.y - 1)[x] & 0xFFFFFFu) == target)
                stack.push_back({x, q.y - 1});
            if (q.y + 1 < height && (row(q.y + 1)[x] & 0xFFFFFFu) == target)
                stack.push_back({x, q.y + 1});
        }
    }
    cairo_surface_mark_dirty(fSurface);
}

int DrawContext::stringWidth(const char* text)
{
    if (text == nullptr)
        return 0;
    std::string valid = validUtf8(text);
    cairo_text_extents_t extents;
    cairo_text_extents(fCairo, valid.c_str(), &extents);
    return static_cast<int>(std::lround(extents.x_advance));
}

void DrawContext::drawString(const char* text, const Rect& r, bool opaque, TextAlign align)
{
    if (text == nullptr || r.width() <= 0 || r.height() <= 0)
        return;
    Rect box = r.offset(fOffset.x, fOffset.y);
    if (opaque)
    {
        setSource(fFillColour);
        cairo_rectangle(fCairo, box.left, box.top, box.width(), box.height());
        cairo_fill(fCairo);
    }
    if (*text == '\0')
        return;
    std::string valid = validUtf8(text);

    cairo_save(fCairo);
    cairo_rectangle(fCairo, box.left, box.top, box.width(), box.height());
    cairo_clip(fCairo);
    cairo_set_antialias(fCairo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_extents_t font;
    cairo_font_extents(fCairo, &font);
    cairo_text_extents_t extents;
    cairo_text_extents(fCairo, valid.c_str(), &extents);
    double x = box.left;
    if (align == TextAlign::centre)
        x = box.left + (box.width() - extents.x_advance) / 2.0;
    else if (align == TextAlign::right)
        x = box.right - extents.x_advance;
    double baseline = box.top + (box.height() - (font.ascent + font.descent)) / 2.0 + font.ascent;
    setSource(fFontColour);
    cairo_move_to(fCairo, std::round(x), std::round(baseline));
    cairo_show_text(fCairo, valid.c_str());
    cairo_restore(fCairo);
}

void DrawContext::copyFrom(cairo_surface_t* source, const Rect& dest, Point sourceOffset)
{
    if (source == nullptr || dest.width() <= 0 || dest.height() <= 0)
        return;
    Rect box = dest.offset(fOffset.x, fOffset.y);
    cairo_save(fCairo);
    cairo_set_source_surface(fCairo, source, box.left - sourceOffset.x, box.top - sourceOffset.y);
    cairo_rectangle(fCairo, box.left, box.top, box.width(), box.height());
    cairo_fill(fCairo);
    cairo_restore(fCairo);
}

int DrawContext::getMouseButtons()
{
    return fFrame != nullptr ? fFrame->mouseButtons() : 0;
}

Point DrawContext::getMouseLocation()
{
    MouseSource* mouse = fFrame != nullptr ? fFrame->getMouseSource() : nullptr;
    if (mouse == nullptr)
        return {};
    Point p = mouse->position();
    return {p.x - fOffset.x, p.y - fOffset.y};
}

OffscreenContext::OffscreenContext(int width, int height, Colour background, Frame* frame)
    : DrawContext(cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(width, 0), std::max(height, 0)), frame),
      fWidth(std::max(width, 0)), fHeight(std::max(height, 0))
{
    cairo_surface_destroy(fSurface); // the base holds the one reference now
    setSource(background);
    cairo_paint(fCairo);
}

void OffscreenContext::copyTo(DrawContext& dest, const Rect& destRect, Point sourceOffset)
{
    dest.copyFrom(fSurface, destRect, sourceOffset);
}

} // namespace toolkit
