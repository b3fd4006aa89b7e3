// What the host test needs of X11 beyond synthetic input: find a window, save its picture, compare pictures, close.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

int usage()
{
    std::fprintf(stderr,
                 "usage: editor_window_tool find SUFFIX            the window whose name ends in SUFFIX, its deepest descendant\n"
                 "                                                 and where that is on screen: TOP INNER X Y WIDTH HEIGHT\n"
                 "       editor_window_tool grab WINDOW OUT.png    the window's picture as it is on screen (WINDOW root: the screen)\n"
                 "       editor_window_tool compare A.png B.png [DIFF.png] [--except X,Y,W,H]...\n"
                 "                                                 counts differing pixels outside the rectangles\n"
                 "       editor_window_tool close WINDOW           asks the window's client to close it (WM_DELETE_WINDOW)\n");
    return 2;
}

// Errors about windows that went away while we looked are expected: they only make the look fail.
int gErrors = 0;
int countError(Display*, XErrorEvent*)
{
    ++gErrors;
    return 0;
}

Display* connect()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        std::fprintf(stderr, "cannot open display '%s'\n", std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "");
    else
        XSetErrorHandler(countError);
    return display;
}

bool windowArgument(const char* text, Window& window)
{
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 0);
    if (end == text || *end != '\0' || value == 0)
        return false;
    window = static_cast<Window>(value);
    return true;
}

std::string windowName(Display* display, Window window)
{
    char* name = nullptr;
    std::string result;
    if (XFetchName(display, window, &name) != 0 && name != nullptr)
        result = name;
    if (name != nullptr)
        XFree(name);
    return result;
}

std::vector<Window> children(Display* display, Window window)
{
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> result;
    if (XQueryTree(display, window, &root, &parent, &list, &count) != 0 && list != nullptr)
        result.assign(list, list + count);
    if (list != nullptr)
        XFree(list);
    return result;
}

// The first window, depth first, whose name ends in the suffix.
Window findNamed(Display* display, Window window, const std::string& suffix)
{
    std::string name = windowName(display, window);
    if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        return window;
    for (Window child : children(display, window))
        if (Window found = findNamed(display, child, suffix))
            return found;
    return 0;
}

// The descendant furthest down, the largest of those at that depth: the host's window holds a frame, which
// holds the plug-in's parent window, which holds the plug-in's own.
void deepest(Display* display, Window window, int depth, Window& best, int& bestDepth, long& bestArea)
{
    XWindowAttributes attributes;
    long area = XGetWindowAttributes(display, window, &attributes) != 0 ? long{attributes.width} * attributes.height : 0;
    if (depth > bestDepth || (depth == bestDepth && area > bestArea))
    {
        best = window;
        bestDepth = depth;
        bestArea = area;
    }
    for (Window child : children(display, window))
        deepest(display, child, depth + 1, best, bestDepth, bestArea);
}

int find(const char* suffix)
{
    Display* display = connect();
    if (display == nullptr)
        return 1;
    Window root = DefaultRootWindow(display);
    Window top = findNamed(display, root, suffix);
    if (top == 0)
    {
        XCloseDisplay(display);
        return 1;
    }
    Window inner = top;
    int depth = -1;
    long area = -1;
    deepest(display, top, 0, inner, depth, area);
    XWindowAttributes attributes{};
    int x = 0, y = 0;
    Window child = 0;
    bool ok = XGetWindowAttributes(display, inner, &attributes) != 0
              && XTranslateCoordinates(display, inner, root, 0, 0, &x, &y, &child) != 0;
    XCloseDisplay(display);
    if (!ok)
        return 1;
    std::printf("0x%lx 0x%lx %d %d %d %d\n", static_cast<unsigned long>(top), static_cast<unsigned long>(inner), x, y,
                attributes.width, attributes.height);
    return 0;
}

uint32_t channel(unsigned long pixel, unsigned long mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0)
    {
        mask >>= 1;
        ++shift;
    }
    return static_cast<uint32_t>(((pixel >> shift) & mask) * 255 / (mask != 0 ? mask : 1));
}

int grab(const char* windowText, const char* path)
{
    Window window = 0;
    bool root = std::strcmp(windowText, "root") == 0;
    if (!root && !windowArgument(windowText, window))
        return usage();
    Display* display = connect();
    if (display == nullptr)
        return 1;
    if (root)
        window = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) != 0)
        image = XGetImage(display, window, 0, 0, static_cast<unsigned>(attributes.width),
                          static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (image == nullptr)
    {
        std::fprintf(stderr, "cannot read window %s\n", windowText);
        XCloseDisplay(display);
        return 1;
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, attributes.width, attributes.height);
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < attributes.height; ++y)
        for (int x = 0; x < attributes.width; ++x)
        {
            unsigned long p = XGetPixel(image, x, y);
            reinterpret_cast<uint32_t*>(data + y * stride)[x] =
                (channel(p, image->red_mask) << 16) | (channel(p, image->green_mask) << 8) | channel(p, image->blue_mask);
        }
    XDestroyImage(image);
    XCloseDisplay(display);
    cairo_surface_mark_dirty(surface);
    cairo_status_t status = cairo_surface_write_to_png(surface, path);
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

struct Box
{
    int x, y, width, height;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

uint32_t pixelAt(cairo_surface_t* s, int x, int y)
{
    const unsigned char* data = cairo_image_surface_get_data(s);
    return reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(s))[x] & 0xFFFFFFu;
}

cairo_surface_t* loadPng(const char* path)
{
    cairo_surface_t* s = cairo_image_surface_create_from_png(path);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS)
    {
        std::fprintf(stderr, "cannot read %s\n", path);
        cairo_surface_destroy(s);
        return nullptr;
    }
    cairo_surface_flush(s);
    return s;
}

// Prints "N pixels differ" and the rectangle around them; exits 0 only when none do. The optional third
// picture shows the differences in red over a faded copy of the first.
int compare(int argc, char** argv)
{
    if (argc < 4)
        return usage();
    std::vector<Box> except;
    const char* diffPath = nullptr;
    for (int i = 4; i < argc; ++i)
    {
        Box b{};
        if (std::strcmp(argv[i], "--except") == 0 && i + 1 < argc
            && std::sscanf(argv[i + 1], "%d,%d,%d,%d", &b.x, &b.y, &b.width, &b.height) == 4)
        {
            except.push_back(b);
            ++i;
        }
        else if (diffPath == nullptr && argv[i][0] != '-')
            diffPath = argv[i];
        else
            return usage();
    }
    cairo_surface_t* a = loadPng(argv[2]);
    cairo_surface_t* b = loadPng(argv[3]);
    if (a == nullptr || b == nullptr)
        return 1;
    int width = cairo_image_surface_get_width(a);
    int height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b))
    {
        std::printf("sizes differ: %dx%d and %dx%d\n", width, height, cairo_image_surface_get_width(b),
                    cairo_image_surface_get_height(b));
        return 1;
    }
    cairo_surface_t* diff = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    unsigned char* diffData = cairo_image_surface_get_data(diff);
    int diffStride = cairo_image_surface_get_stride(diff);
    int count = 0;
    int left = width, top = height, right = -1, bottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            uint32_t pa = pixelAt(a, x, y);
            bool skipped = std::any_of(except.begin(), except.end(), [&](const Box& e) { return e.contains(x, y); });
            bool differs = !skipped && pa != pixelAt(b, x, y);
            // Faded: each channel halfway to white.
            uint32_t faded = ((pa >> 1) & 0x7F7F7Fu) + 0x808080u;
            reinterpret_cast<uint32_t*>(diffData + y * diffStride)[x] = differs ? 0xFF0000u : faded;
            if (!differs)
                continue;
            ++count;
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x);
            bottom = std::max(bottom, y);
        }
    if (count == 0)
        std::printf("0 pixels differ\n");
    else
        std::printf("%d pixels differ, within x %d..%d, y %d..%d\n", count, left, right, top, bottom);
    cairo_surface_mark_dirty(diff);
    if (diffPath != nullptr && count != 0)
        cairo_surface_write_to_png(diff, diffPath);
    cairo_surface_destroy(diff);
    cairo_surface_destroy(a);
    cairo_surface_destroy(b);
    return count == 0 ? 0 : 1;
}

// The message a window manager sends when the user closes a window.
int close(const char* windowText)
{
    Window window = 0;
    if (!windowArgument(windowText, window))
        return usage();
    Display* display = connect();
    if (display == nullptr)
        return 1;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    if (gErrors != 0)
    {
        std::fprintf(stderr, "cannot send to window %s\n", windowText);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "find" && argc == 3)
        return find(argv[2]);
    if (command == "grab" && argc == 4)
        return grab(argv[2], argv[3]);
    if (command == "compare")
        return compare(argc, argv);
    if (command == "close" && argc == 3)
        return close(argv[2]);
    return usage();
}
