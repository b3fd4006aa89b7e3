// The frame's window on X11: a child of the host's window on a display connection of its own.
#pragma once

#include "MouseSource.h"

#include <cairo.h>
#include <memory>

typedef struct _XDisplay Display;

namespace toolkit
{

class Frame;

class X11Window : public MouseSource
{
public:
    // Connects to the display and creates the child window; null when either is not possible.
    static std::unique_ptr<X11Window> open(void* parentWindow, int width, int height);
    ~X11Window() override;

    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    unsigned long windowId() const { return fWindow; }
    // Copies the frame's picture to the window.
    void show(cairo_surface_t* image);
    // Takes every queued event; while a control tracks the mouse only exposures are taken.
    void processEvents(Frame& frame, bool onlyExposures);

    int buttons() override;
    Point position() override;

private:
    X11Window(Display* display, unsigned long window, int width, int height);
    void handleClientMessage(Frame& frame, const void* event);
    void handleSelection(Frame& frame, const void* event);
    void sendDndStatus(bool accept);
    void sendDndFinished(bool accepted);
    void sendDndReply(unsigned long messageType, bool accepted, int actionWord);

    Display* fDisplay = nullptr;
    unsigned long fWindow = 0;
    int fWidth = 0;
    int fHeight = 0;
    cairo_surface_t* fSurface = nullptr;

    struct Atoms;
    std::unique_ptr<Atoms> fAtoms;
    // The drag and drop in progress.
    unsigned long fDndSource = 0;
    bool fDndAccept = false;
    int fDndVersion = 0;
    Point fDndPosition;
};

} // namespace toolkit
