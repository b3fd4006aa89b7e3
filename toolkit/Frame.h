// The frame: the root view bound to a window inside the host's parent window, or to an image alone.
#pragma once

#include "Bitmap.h"
#include "MouseSource.h"
#include "ViewContainer.h"

#include <memory>

namespace toolkit
{

class X11Window;

// What the frame passes up to the one who owns it (the editor).
class FrameOwner
{
public:
    virtual ~FrameOwner() = default;
    virtual void beginEdit(int32_t tag) = 0;
    virtual void endEdit(int32_t tag) = 0;
    // Called by controls on every pass of a mouse-tracking loop.
    virtual void doIdleStuff() = 0;
};

class Frame : public ViewContainer
{
public:
    // Without a parent window the frame composes into its image only and needs no display.
    Frame(const Rect& size, void* parentWindow, FrameOwner* owner);
    ~Frame() override;

    // Did the window come up? False without a parent, without a display, or for a parent that is not a window.
    bool hasWindow() const { return fWindow != nullptr; }
    unsigned long windowId() const;

    void setBackground(std::shared_ptr<Bitmap> background);

    // Takes the window's events, redraws the dirty views and shows the result.
    void idle();
    // Redraws everything into the image and shows it.
    void drawAll();
    // The composed picture of the whole frame.
    cairo_surface_t* image() const { return fImage; }
    DrawContext& context() { return *fContext; }

    // Input, in frame coordinates; buttons is the state at the press (-1: read it from the mouse source).
    void onMouseDown(Point where, int buttons = -1);
    // toFocus: the focus view takes the wheel when there is one (the host's wheel has no position).
    bool onWheelAt(Point where, float distance, int buttons = -1, bool toFocus = false);
    int32_t onKeyDown(KeyCode& key);
    int32_t onKeyUp(KeyCode& key);
    bool onDropAt(const char* const* items, int count, int kind, Point where);

    View* getFocusView() const { return fFocus; }
    void setFocusView(View* view);

    void beginEdit(int32_t tag);
    void endEdit(int32_t tag);
    void doIdleStuff();
    bool isTracking() const { return fTracking; }
    // Shows the image again at the next idle (the window was uncovered).
    void setNeedsShow() { fNeedsShow = true; }

    // The live mouse state: the window's, unless a test installed its own source.
    MouseSource* getMouseSource() const;
    void setMouseSource(MouseSource* source) { fMouseOverride = source; }
    // The button state controls read: the state of the press being handled, then the live state.
    int mouseButtons();

    Frame* getFrame() const override { return const_cast<Frame*>(this); }

protected:
    void drawBackground(DrawContext& context) override;

private:
    void show();

    cairo_surface_t* fImage = nullptr;
    std::unique_ptr<DrawContext> fContext;
    std::unique_ptr<X11Window> fWindow;
    std::shared_ptr<Bitmap> fBackgroundBitmap;
    FrameOwner* fOwner = nullptr;
    View* fFocus = nullptr;
    MouseSource* fMouseOverride = nullptr;
    int fPressButtons = -1;
    bool fTracking = false;
    bool fNeedsShow = false;
};

} // namespace toolkit
