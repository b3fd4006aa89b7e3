// Bitmaps: PNG resources decoded into cairo images, and their white-transparent variant.
#include "Bitmap.h"

#include "resources/Resources.h"

#include <algorithm>
#include <cstring>

namespace toolkit
{

namespace
{

struct PngReader
{
    const unsigned char* data;
    size_t size;
    size_t position;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length)
{
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->position)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

std::shared_ptr<Bitmap> Bitmap::load(int resourceId)
{
    resources::ResourceData resource = resources::findResource(resourceId);
    return fromPng(resource.data, resource.size);
}

std::shared_ptr<Bitmap> Bitmap::fromPng(const unsigned char* data, size_t size)
{
    if (data == nullptr || size == 0)
        return std::make_shared<Bitmap>(nullptr);
    PngReader reader{data, size, 0};
    cairo_surface_t* image = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
    {
        cairo_surface_destroy(image);
        image = nullptr;
    }
    return std::make_shared<Bitmap>(image);
}

Bitmap::Bitmap(cairo_surface_t* image) : fImage(image)
{
    if (fImage != nullptr)
    {
        fWidth = cairo_image_surface_get_width(fImage);
        fHeight = cairo_image_surface_get_height(fImage);
    }
}

Bitmap::~Bitmap()
{
    if (fMasked != nullptr)
        cairo_surface_destroy(fMasked);
    if (fImage != nullptr)
        cairo_surface_destroy(fImage);
}

void Bitmap::draw(DrawContext& context, const Rect& dest, Point offset)
{
    if (fImage == nullptr)
        return;
    Rect clipped{dest.left, dest.top, std::min(dest.right, dest.left + fWidth - offset.x),
                 std::min(dest.bottom, dest.top + fHeight - offset.y)};
    context.copyFrom(fImage, clipped, offset);
}

void Bitmap::drawTransparent(DrawContext& context, const Rect& dest, Point offset)
{
    if (fImage == nullptr)
        return;
    if (fMasked == nullptr)
    {
        fMasked = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, fWidth, fHeight);
        cairo_surface_flush(fImage);
        cairo_format_t format = cairo_image_surface_get_format(fImage);
        const unsigned char* in = cairo_image_surface_get_data(fImage);
        unsigned char* out = cairo_image_surface_get_data(fMasked);
        int inStride = cairo_image_surface_get_stride(fImage);
        int outStride = cairo_image_surface_get_stride(fMasked);
        for (int y = 0; y < fHeight; ++y)
        {
            const auto* source = reinterpret_cast<const uint32_t*>(in + y * inStride);
            auto* target = reinterpret_cast<uint32_t*>(out + y * outStride);
            for (int x = 0; x < fWidth; ++x)
            {
                uint32_t pixel = source[x];
                if (format == CAIRO_FORMAT_RGB24)
                    pixel |= 0xFF000000u;
                bool white = (pixel & 0xFFFFFFu) == 0xFFFFFFu;
                target[x] = white ? 0u : pixel;
            }
        }
        cairo_surface_mark_dirty(fMasked);
    }
    Rect clipped{dest.left, dest.top, std::min(dest.right, dest.left + fWidth - offset.x),
                 std::min(dest.bottom, dest.top + fHeight - offset.y)};
    context.copyFrom(fMasked, clipped, offset);
}

} // namespace toolkit
