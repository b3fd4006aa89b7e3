// Draws the editor's three bitmaps and writes them as PNG files: make-bitmaps <output folder>.
#include <cairo.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace
{

constexpr int kBackgroundWidth = 851;
constexpr int kBackgroundHeight = 311;
constexpr int kKnobSize = 40;
constexpr int kHandleSize = 7;

void setColour(cairo_t* cr, int r, int g, int b)
{
    cairo_set_source_rgb(cr, r / 255.0, g / 255.0, b / 255.0);
}

void box(cairo_t* cr, double x, double y, double w, double h, const char* label)
{
    cairo_rectangle(cr, x + 0.5, y + 0.5, w, h);
    cairo_stroke(cr);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, label, &extents);
    cairo_move_to(cr, std::round(x + (w - extents.x_advance) / 2.0 + 0.5), std::round(y + h / 2.0 + 3.5));
    cairo_show_text(cr, label);
}

void line(cairo_t* cr, double x1, double y1, double x2, double y2)
{
    cairo_move_to(cr, x1 + 0.5, y1 + 0.5);
    cairo_line_to(cr, x2 + 0.5, y2 + 0.5);
    cairo_stroke(cr);
}

void arrowHead(cairo_t* cr, double x, double y, double dx, double dy)
{
    cairo_move_to(cr, x + 0.5, y + 0.5);
    cairo_line_to(cr, x + 0.5 - 3 * dx - 2 * dy, y + 0.5 - 3 * dy - 2 * dx);
    cairo_line_to(cr, x + 0.5 - 3 * dx + 2 * dy, y + 0.5 - 3 * dy + 2 * dx);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void circle(cairo_t* cr, double x, double y, const char* mark)
{
    cairo_arc(cr, x + 0.5, y + 0.5, 4.5, 0, 2 * M_PI);
    cairo_stroke(cr);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, mark, &extents);
    cairo_move_to(cr, x + 0.5 - extents.x_advance / 2.0, y + 3.5);
    cairo_show_text(cr, mark);
}

// Product name, web address and the signal flow: the input feeds two string loops (filter and delay
// each), a cross path joins the loops, and their weighted outputs are summed into an output filter.
void drawBackground(cairo_t* cr)
{
    setColour(cr, 128, 128, 128);
    cairo_paint(cr);
    setColour(cr, 212, 212, 212);
    cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, 21);
    cairo_move_to(cr, 12, 30);
    cairo_show_text(cr, "Zentharode");
    cairo_select_font_face(cr, "Arial", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 10);
    cairo_move_to(cr, 13, 44);
    cairo_show_text(cr, "zentharode.example");

    cairo_set_line_width(cr, 1.0);
    cairo_set_font_size(cr, 7);
    // input and split
    line(cr, 12, 86, 20, 86);
    line(cr, 20, 66, 20, 106);
    line(cr, 20, 66, 28, 66);
    line(cr, 20, 106, 28, 106);
    arrowHead(cr, 28, 66, 1, 0);
    arrowHead(cr, 28, 106, 1, 0);
    // the two loops: filter, then delay, with the way back
    for (int loop = 0; loop < 2; ++loop)
    {
        int y = loop == 0 ? 60 : 100;
        box(cr, 29, y, 18, 12, "F");
        line(cr, 47, y + 6, 55, y + 6);
        arrowHead(cr, 55, y + 6, 1, 0);
        box(cr, 56, y, 18, 12, "D");
        line(cr, 74, y + 6, 88, y + 6);
        line(cr, 80, y + 6, 80, loop == 0 ? y - 4 : y + 16);
        line(cr, 80, loop == 0 ? y - 4 : y + 16, 38, loop == 0 ? y - 4 : y + 16);
        line(cr, 38, loop == 0 ? y - 4 : y + 16, 38, loop == 0 ? y : y + 12);
    }
    // the cross path between the loops
    line(cr, 65, 72, 65, 99);
    arrowHead(cr, 65, 99, 0, 1);
    // weighted outputs summed into the output filter
    circle(cr, 92, 66, "x");
    circle(cr, 92, 106, "x");
    line(cr, 96, 66, 104, 82);
    line(cr, 96, 106, 104, 90);
    circle(cr, 106, 86, "+");
    line(cr, 111, 86, 114, 86);
    box(cr, 114, 80, 14, 12, "F");
}

void drawKnobBody(cairo_t* cr)
{
    setColour(cr, 75, 183, 228);
    cairo_paint(cr);
    setColour(cr, 22, 112, 150);
    cairo_arc(cr, kKnobSize / 2.0, kKnobSize / 2.0, kKnobSize / 2.0 - 1.0, 0, 2 * M_PI);
    cairo_fill(cr);
}

// Plain pixels only: white is the transparent colour, so the dot must not blend into it.
void drawHandle(cairo_t* cr)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    setColour(cr, 255, 255, 255);
    cairo_paint(cr);
    setColour(cr, 228, 189, 31);
    cairo_arc(cr, kHandleSize / 2.0, kHandleSize / 2.0, kHandleSize / 2.0, 0, 2 * M_PI);
    cairo_fill(cr);
}

bool write(const std::string& path, int width, int height, void (*paint)(cairo_t*))
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    std::string folder = argv[1];
    bool ok = write(folder + "/background.png", kBackgroundWidth, kBackgroundHeight, drawBackground);
    ok = write(folder + "/knob-body.png", kKnobSize, kKnobSize, drawKnobBody) && ok;
    ok = write(folder + "/knob-handle.png", kHandleSize, kHandleSize, drawHandle) && ok;
    return ok ? 0 : 1;
}
