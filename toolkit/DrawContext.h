// Drawing context over a cairo image surface, with the pixel conventions the editor's rectangles assume.
#pragma once

#include "Geometry.h"
#include "MouseSource.h"

#include <cairo.h>

namespace toolkit
{

class Frame;

enum class TextAlign
{
    left,
    centre,
    right,
};

struct Font
{
    const char* face = "Arial";
    int size = 11; // character height in pixels
    bool bold = false;
};

// The small font every text of the editor uses.
constexpr Font kSmallFont{"Arial", 11, false};

class DrawContext
{
public:
    // Draws into an image surface (a reference is taken); mouse state comes from the frame, if any.
    explicit DrawContext(cairo_surface_t* target, Frame* frame = nullptr);
    virtual ~DrawContext();

    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    void setFillColour(Colour colour) { fFillColour = colour; }
    void setFrameColour(Colour colour) { fFrameColour = colour; }
    void setFontColour(Colour colour) { fFontColour = colour; }
    void setFont(const Font& font);

    // Covers the rectangle without its top row and left column.
    void fillRect(const Rect& r);
    // One-pixel lines along all four edges, right and bottom edge included.
    void drawRect(const Rect& r);
    // The ellipse inscribed in the rectangle moved one pixel right and down.
    void fillEllipse(const Rect& r);
    // Replaces the 4-connected region of the colour found at the point with the fill colour.
    void floodFill(Point p);
    // One line of text, clipped to the rectangle and centred vertically in it.
    void drawString(const char* text, const Rect& r, bool opaque = false, TextAlign align = TextAlign::centre);
    // Width in pixels of a text in the current font.
    int stringWidth(const char* text);

    // Copies a width x height block of another surface to dest (a rectangle in this context).
    void copyFrom(cairo_surface_t* source, const Rect& dest, Point sourceOffset = {});

    // Drawing and mouse positions are relative to this origin (a container's corner while it draws).
    Point getOffset() const { return fOffset; }
    void setOffset(Point offset) { fOffset = offset; }

    int getMouseButtons();
    Point getMouseLocation();
    Frame* getFrame() const { return fFrame; }

    cairo_surface_t* surface() const { return fSurface; }
    // The pixel at a point of the surface (0x00RRGGBB), or 0 outside it; for tests and the flood fill.
    uint32_t pixelAt(Point p);

protected:
    cairo_surface_t* fSurface = nullptr;
    cairo_t* fCairo = nullptr;
    Frame* fFrame = nullptr;
    Point fOffset;
    Colour fFillColour = kWhite;
    Colour fFrameColour = kBlack;
    Colour fFontColour = kBlack;
    Font fFont = kSmallFont;

    void setSource(Colour colour);
};

// Moves a context's origin for the length of a scope and puts the previous origin back however the scope ends.
class OriginScope
{
public:
    OriginScope(DrawContext& context, Point origin) : fContext(context), fSaved(context.getOffset())
    {
        context.setOffset(origin);
    }
    ~OriginScope() { fContext.setOffset(fSaved); }

    OriginScope(const OriginScope&) = delete;
    OriginScope& operator=(const OriginScope&) = delete;

private:
    DrawContext& fContext;
    Point fSaved;
};

// An image of its own, filled with a background colour, that can be copied to another context.
class OffscreenContext : public DrawContext
{
public:
    OffscreenContext(int width, int height, Colour background, Frame* frame = nullptr);

    int width() const { return fWidth; }
    int height() const { return fHeight; }
    // Copies the whole image (or the part that fits) to dest in the other context.
    void copyTo(DrawContext& dest, const Rect& destRect, Point sourceOffset = {});

private:
    int fWidth = 0;
    int fHeight = 0;
};

} // namespace toolkit
