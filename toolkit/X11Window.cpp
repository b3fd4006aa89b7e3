// The X11 side of the frame: child window, drawing, input events, pointer state and file drops (XDND).
#include "X11Window.h"

#include "Frame.h"
#include "UriList.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <cairo-xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace toolkit
{

namespace
{

constexpr int kDndVersion = 5;
constexpr long kMaxDropBytes = 1 << 20;

// Errors on our own connection (a parent the host already destroyed, a bad window handle) must not
// reach the default handler, which ends the process. The handler is swapped in only around our calls.
int gTrappedErrors = 0;
Display* gTrapDisplay = nullptr;
XErrorHandler gPreviousHandler = nullptr;

int trapError(Display* display, XErrorEvent* event)
{
    if (display == gTrapDisplay)
    {
        ++gTrappedErrors;
        return 0;
    }
    return gPreviousHandler != nullptr ? gPreviousHandler(display, event) : 0;
}

class ErrorTrap
{
public:
    explicit ErrorTrap(Display* display) : fDisplay(display)
    {
        fSavedDisplay = gTrapDisplay;
        gTrapDisplay = display;
        gTrappedErrors = 0;
        fSavedHandler = XSetErrorHandler(trapError);
        if (fSavedHandler != trapError)
            gPreviousHandler = fSavedHandler;
    }
    ~ErrorTrap()
    {
        XSync(fDisplay, False);
        XSetErrorHandler(fSavedHandler);
        gTrapDisplay = fSavedDisplay;
    }
    bool failed()
    {
        XSync(fDisplay, False);
        return gTrappedErrors != 0;
    }

private:
    Display* fDisplay;
    Display* fSavedDisplay = nullptr;
    XErrorHandler fSavedHandler = nullptr;
};

int buttonFlags(unsigned int state)
{
    int flags = 0;
    if (state & Button1Mask)
        flags |= kLButton;
    if (state & Button2Mask)
        flags |= kMButton;
    if (state & Button3Mask)
        flags |= kRButton;
    if (state & ShiftMask)
        flags |= kShift;
    if (state & ControlMask)
        flags |= kControl;
    if (state & Mod1Mask)
        flags |= kAlt;
    return flags;
}

int pressFlags(unsigned int button)
{
    switch (button)
    {
    case Button1:
        return kLButton;
    case Button2:
        return kMButton;
    case Button3:
        return kRButton;
    default:
        return 0;
    }
}

} // namespace

struct X11Window::Atoms
{
    Atom aware, enter, position, status, leave, drop, finished, selection, actionCopy, typeList, uriList, property;
};

std::unique_ptr<X11Window> X11Window::open(void* parentWindow, int width, int height)
{
    if (parentWindow == nullptr || width <= 0 || height <= 0)
        return nullptr;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return nullptr;
    auto parent = static_cast<Window>(reinterpret_cast<uintptr_t>(parentWindow));
    Window window = 0;
    {
        ErrorTrap trap(display);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, parent, &attributes) != 0 && !trap.failed())
        {
            XSetWindowAttributes set{};
            set.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask
                             | StructureNotifyMask;
            set.background_pixmap = None;
            window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                   CWEventMask | CWBackPixmap, &set);
            if (trap.failed())
                window = 0;
        }
    }
    if (window == 0)
    {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<X11Window>(new X11Window(display, window, width, height));
}

X11Window::X11Window(Display* display, unsigned long window, int width, int height)
    : fDisplay(display), fWindow(window), fWidth(width), fHeight(height), fAtoms(std::make_unique<Atoms>())
{
    ErrorTrap trap(fDisplay);
    Atoms& a = *fAtoms;
    a.aware = XInternAtom(fDisplay, "XdndAware", False);
    a.enter = XInternAtom(fDisplay, "XdndEnter", False);
    a.position = XInternAtom(fDisplay, "XdndPosition", False);
    a.status = XInternAtom(fDisplay, "XdndStatus", False);
    a.leave = XInternAtom(fDisplay, "XdndLeave", False);
    a.drop = XInternAtom(fDisplay, "XdndDrop", False);
    a.finished = XInternAtom(fDisplay, "XdndFinished", False);
    a.selection = XInternAtom(fDisplay, "XdndSelection", False);
    a.actionCopy = XInternAtom(fDisplay, "XdndActionCopy", False);
    a.typeList = XInternAtom(fDisplay, "XdndTypeList", False);
    a.uriList = XInternAtom(fDisplay, "text/uri-list", False);
    a.property = XInternAtom(fDisplay, "ZENTHARODE_DROP", False);
    long version = kDndVersion;
    XChangeProperty(fDisplay, fWindow, a.aware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&version), 1);

    XWindowAttributes attributes;
    XGetWindowAttributes(fDisplay, fWindow, &attributes);
    fSurface = cairo_xlib_surface_create(fDisplay, fWindow, attributes.visual, fWidth, fHeight);
    XMapWindow(fDisplay, fWindow);
    XFlush(fDisplay);
}

X11Window::~X11Window()
{
    {
        ErrorTrap trap(fDisplay);
        cairo_surface_finish(fSurface);
        cairo_surface_destroy(fSurface);
        // The host may have destroyed its window, and ours with it, before closing the editor.
        XDestroyWindow(fDisplay, fWindow);
    }
    XCloseDisplay(fDisplay);
}

void X11Window::show(cairo_surface_t* image)
{
    ErrorTrap trap(fDisplay);
    cairo_t* cr = cairo_create(fSurface);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(fSurface);
    XFlush(fDisplay);
}

int X11Window::buttons()
{
    ErrorTrap trap(fDisplay);
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(fDisplay, fWindow, &root, &child, &rootX, &rootY, &x, &y, &mask))
        return 0;
    return buttonFlags(mask);
}

Point X11Window::position()
{
    ErrorTrap trap(fDisplay);
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(fDisplay, fWindow, &root, &child, &rootX, &rootY, &x, &y, &mask);
    return {x, y};
}

void X11Window::processEvents(Frame& frame, bool onlyExposures)
{
    ErrorTrap trap(fDisplay);
    XEvent event;
    if (onlyExposures)
    {
        while (XCheckTypedWindowEvent(fDisplay, fWindow, Expose, &event))
            frame.setNeedsShow();
        return;
    }
    while (XPending(fDisplay) > 0)
    {
        XNextEvent(fDisplay, &event);
        switch (event.type)
        {
        case Expose:
            frame.setNeedsShow();
            break;
        case ButtonPress:
        {
            const XButtonEvent& b = event.xbutton;
            Point where{b.x, b.y};
            if (b.button == Button4 || b.button == Button5)
                frame.onWheelAt(where, b.button == Button4 ? 1.0f : -1.0f, buttonFlags(b.state));
            else if (pressFlags(b.button) != 0)
                frame.onMouseDown(where, pressFlags(b.button) | buttonFlags(b.state)); // state: before the press
            break;
        }
        case KeyPress:
        case KeyRelease:
        {
            KeySym sym = XLookupKeysym(&event.xkey, 0);
            KeyCode key;
            if (sym == XK_Left)
                key.virt = kKeyLeft;
            else if (sym == XK_Up)
                key.virt = kKeyUp;
            else if (sym == XK_Right)
                key.virt = kKeyRight;
            else if (sym == XK_Down)
                key.virt = kKeyDown;
            else if (sym < 0x80)
                key.character = static_cast<int32_t>(sym);
            if (event.xkey.state & ShiftMask)
                key.modifier |= kModifierShift;
            if (event.type == KeyPress)
                frame.onKeyDown(key);
            else
                frame.onKeyUp(key);
            break;
        }
        case ClientMessage:
            handleClientMessage(frame, &event);
            break;
        case SelectionNotify:
            handleSelection(frame, &event);
            break;
        default:
            break;
        }
    }
}

// XdndStatus carries the accepted action in its fifth word, XdndFinished in its third.
void X11Window::sendDndStatus(bool accept)
{
    sendDndReply(fAtoms->status, accept, 4);
}

void X11Window::sendDndFinished(bool accepted)
{
    sendDndReply(fAtoms->finished, accepted, 2);
}

void X11Window::sendDndReply(unsigned long messageType, bool accepted, int actionWord)
{
    XEvent reply{};
    reply.xclient.type = ClientMessage;
    reply.xclient.display = fDisplay;
    reply.xclient.window = fDndSource;
    reply.xclient.message_type = messageType;
    reply.xclient.format = 32;
    reply.xclient.data.l[0] = static_cast<long>(fWindow);
    reply.xclient.data.l[1] = accepted ? 1 : 0;
    reply.xclient.data.l[actionWord] = accepted ? static_cast<long>(fAtoms->actionCopy) : 0;
    XSendEvent(fDisplay, fDndSource, False, NoEventMask, &reply);
    XFlush(fDisplay);
}

void X11Window::handleClientMessage(Frame&, const void* rawEvent)
{
    const XClientMessageEvent& message = static_cast<const XEvent*>(rawEvent)->xclient;
    const Atoms& a = *fAtoms;
    if (message.format != 32)
        return;
    if (message.message_type == a.enter)
    {
        fDndSource = static_cast<Window>(message.data.l[0]);
        fDndVersion = static_cast<int>(static_cast<unsigned long>(message.data.l[1]) >> 24);
        fDndAccept = false;
        if (message.data.l[1] & 1)
        {
            // More than three types: the source lists them in a property.
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, remaining = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(fDisplay, fDndSource, a.typeList, 0, 1024, False, XA_ATOM, &type, &format, &count,
                                   &remaining, &data)
                    == Success
                && data != nullptr)
            {
                if (format == 32)
                {
                    const auto* atoms = reinterpret_cast<const Atom*>(data);
                    for (unsigned long i = 0; i < count; ++i)
                        fDndAccept = fDndAccept || atoms[i] == a.uriList;
                }
                XFree(data);
            }
        }
        else
        {
            for (int i = 2; i <= 4; ++i)
                fDndAccept = fDndAccept || static_cast<Atom>(message.data.l[i]) == a.uriList;
        }
    }
    else if (message.message_type == a.position)
    {
        fDndSource = static_cast<Window>(message.data.l[0]);
        int rootX = static_cast<int>((static_cast<unsigned long>(message.data.l[2]) >> 16) & 0xFFFF);
        int rootY = static_cast<int>(static_cast<unsigned long>(message.data.l[2]) & 0xFFFF);
        Window child = 0;
        int x = 0, y = 0;
        XTranslateCoordinates(fDisplay, DefaultRootWindow(fDisplay), fWindow, rootX, rootY, &x, &y, &child);
        fDndPosition = {x, y};
        sendDndStatus(fDndAccept);
    }
    else if (message.message_type == a.leave)
    {
        fDndSource = 0;
        fDndAccept = false;
    }
    else if (message.message_type == a.drop)
    {
        fDndSource = static_cast<Window>(message.data.l[0]);
        if (!fDndAccept)
        {
            sendDndFinished(false);
            return;
        }
        Time time = fDndVersion >= 1 ? static_cast<Time>(message.data.l[2]) : CurrentTime;
        XConvertSelection(fDisplay, a.selection, a.uriList, a.property, fWindow, time);
        XFlush(fDisplay);
    }
}

void X11Window::handleSelection(Frame& frame, const void* rawEvent)
{
    const XSelectionEvent& selection = static_cast<const XEvent*>(rawEvent)->xselection;
    if (selection.selection != fAtoms->selection || fDndSource == 0)
        return;
    bool taken = false;
    if (selection.property != None)
    {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(fDisplay, fWindow, selection.property, 0, kMaxDropBytes / 4, True, AnyPropertyType,
                               &type, &format, &count, &remaining, &data)
                == Success
            && data != nullptr)
        {
            if (format == 8)
            {
                DropItems drop = parseUriList(std::string_view(reinterpret_cast<const char*>(data), count));
                std::vector<const char*> items;
                for (const auto& item : drop.items)
                    items.push_back(item.c_str());
                if (!items.empty())
                    taken = frame.onDropAt(items.data(), static_cast<int>(items.size()), drop.kind, fDndPosition);
            }
            XFree(data);
        }
    }
    sendDndFinished(taken);
    fDndSource = 0;
    fDndAccept = false;
}

} // namespace toolkit
