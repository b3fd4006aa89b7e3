// Reference-counted bitmaps from the library's embedded resources, drawn opaque or with white transparent.
#pragma once

#include "DrawContext.h"

#include <cairo.h>
#include <cstddef>
#include <memory>

namespace toolkit
{

class Bitmap
{
public:
    // The resource's picture; a bitmap of size 0 x 0 when the resource is missing or unreadable.
    static std::shared_ptr<Bitmap> load(int resourceId);
    static std::shared_ptr<Bitmap> fromPng(const unsigned char* data, size_t size);

    // Takes over the image surface (null gives an empty bitmap).
    explicit Bitmap(cairo_surface_t* image);
    ~Bitmap();

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return fWidth; }
    int height() const { return fHeight; }

    // Copies the part of the bitmap starting at offset into dest.
    void draw(DrawContext& context, const Rect& dest, Point offset = {});
    // The same, with pure white pixels left out.
    void drawTransparent(DrawContext& context, const Rect& dest, Point offset = {});

private:
    cairo_surface_t* fImage = nullptr;
    cairo_surface_t* fMasked = nullptr; // made on first transparent draw
    int fWidth = 0;
    int fHeight = 0;
};

} // namespace toolkit
