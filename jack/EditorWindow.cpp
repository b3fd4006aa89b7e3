// The top-level window: fixed size, a title, the window manager's close button, and the editor inside.
#include "jack/EditorWindow.h"

#include "editor/SynthEditor.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdint>
#include <unistd.h>

std::unique_ptr<EditorWindow> EditorWindow::open(EditorController& controller, const std::string& title,
                                                 std::string& error)
{
    std::unique_ptr<EditorWindow> self(new EditorWindow());
    self->fEditor = std::make_unique<SynthEditor>(&controller);
    self->fDisplay = XOpenDisplay(nullptr);
    if (self->fDisplay == nullptr)
    {
        error = "cannot open the X display (DISPLAY is not set or the server refuses)";
        return nullptr;
    }
    Display* display = self->fDisplay;
    const int width = self->fEditor->width();
    const int height = self->fEditor->height();
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0);
    self->fWindow = window;

    // One size only, as the picture has.
    XSizeHints* hints = XAllocSizeHints();
    if (hints != nullptr)
    {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }
    XClassHint* classHint = XAllocClassHint();
    if (classHint != nullptr)
    {
        char name[] = "zentharode-jack";
        char className[] = "Zentharode";
        classHint->res_name = name;
        classHint->res_class = className;
        XSetClassHint(display, window, classHint);
        XFree(classHint);
    }
    const long pid = static_cast<long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteAtom, 1);
    self->fDeleteAtom = deleteAtom;
    self->setTitle(title);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XSync(display, False);

    if (!self->fEditor->open(reinterpret_cast<void*>(static_cast<uintptr_t>(window))))
    {
        error = "the editor could not open its window";
        return nullptr;
    }
    return self;
}

EditorWindow::~EditorWindow()
{
    // The editor's window goes first, then its parent.
    if (fEditor != nullptr)
        fEditor->close();
    fEditor.reset();
    if (fDisplay != nullptr)
    {
        if (fWindow != 0)
            XDestroyWindow(fDisplay, fWindow);
        XCloseDisplay(fDisplay);
    }
}

void EditorWindow::setTitle(const std::string& title)
{
    XStoreName(fDisplay, fWindow, title.c_str());
    XChangeProperty(fDisplay, fWindow, XInternAtom(fDisplay, "_NET_WM_NAME", False),
                    XInternAtom(fDisplay, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.c_str()), static_cast<int>(title.size()));
    XFlush(fDisplay);
}

bool EditorWindow::idle()
{
    while (XPending(fDisplay) > 0)
    {
        XEvent event;
        XNextEvent(fDisplay, &event);
        if (event.type == ClientMessage && static_cast<unsigned long>(event.xclient.data.l[0]) == fDeleteAtom)
            fClosed = true;
        else if (event.type == DestroyNotify && event.xdestroywindow.window == fWindow)
        {
            fClosed = true;
            fWindow = 0; // gone already: nothing to destroy at the end
        }
    }
    if (!fClosed)
        fEditor->idle();
    return !fClosed;
}

void EditorWindow::releaseSharedCaches()
{
    cairo_debug_reset_static_data();
    FcFini();
}
