// The frame: composition into one image, input dispatch, focus, edit brackets and the idle cycle.
#include "Frame.h"

#include "Control.h"
#include "X11Window.h"

namespace toolkit
{

Frame::Frame(const Rect& size, void* parentWindow, FrameOwner* owner)
    : ViewContainer(size, this, kBlack), fOwner(owner)
{
    setOffscreenDrawing(false); // the frame's image is the offscreen
    fImage = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(size.width(), 0), std::max(size.height(), 0));
    fContext = std::make_unique<DrawContext>(fImage, this);
    if (parentWindow != nullptr)
        fWindow = X11Window::open(parentWindow, size.width(), size.height());
}

Frame::~Frame()
{
    fFocus = nullptr;
    removeAll();
    fWindow.reset();
    fContext.reset();
    cairo_surface_destroy(fImage);
}

unsigned long Frame::windowId() const
{
    return fWindow != nullptr ? fWindow->windowId() : 0;
}

void Frame::setBackground(std::shared_ptr<Bitmap> background)
{
    fBackgroundBitmap = std::move(background);
    setDirty();
}

void Frame::drawBackground(DrawContext& context)
{
    ViewContainer::drawBackground(context);
    if (fBackgroundBitmap != nullptr)
        fBackgroundBitmap->draw(context, fRect.offset(-fRect.left, -fRect.top));
}

void Frame::drawAll()
{
    OriginScope atFrameCorner(*fContext, {});
    draw(*fContext);
    show();
}

void Frame::idle()
{
    if (fWindow != nullptr)
        fWindow->processEvents(*this, fTracking);
    // Idle also runs inside a control's drag loop (the owner's idle work during mouse tracking), while the
    // context's origin is still at the corner of the control's container: the frame draws from its own corner.
    OriginScope atFrameCorner(*fContext, {});
    bool drew = false;
    if (fDirty)
    {
        draw(*fContext);
        drew = true;
    }
    else
    {
        for (const auto& c : fChildren)
            if (c->isDirty())
            {
                c->draw(*fContext);
                drew = true;
            }
    }
    // While a control tracks the mouse it draws itself straight into the image.
    if (drew || fNeedsShow || fTracking)
        show();
}

void Frame::show()
{
    fNeedsShow = false;
    if (fWindow != nullptr)
        fWindow->show(fImage);
}

MouseSource* Frame::getMouseSource() const
{
    if (fMouseOverride != nullptr)
        return fMouseOverride;
    return fWindow.get();
}

int Frame::mouseButtons()
{
    if (fPressButtons >= 0)
    {
        int buttons = fPressButtons;
        fPressButtons = -1;
        return buttons;
    }
    MouseSource* source = getMouseSource();
    return source != nullptr ? source->buttons() : 0;
}

void Frame::onMouseDown(Point where, int buttons)
{
    if (fTracking)
        return;
    // The deepest control under the pointer takes the keyboard focus.
    Point local = where;
    View* target = this;
    while (target != nullptr && target->isContainer())
    {
        auto* container = static_cast<ViewContainer*>(target);
        View* inner = container->childAt(local);
        if (inner == nullptr)
            break;
        if (container != this)
            local = {local.x - container->getRect().left, local.y - container->getRect().top};
        target = inner;
    }
    if (target != this && dynamic_cast<Control*>(target) != nullptr)
        setFocusView(target);

    fPressButtons = buttons;
    fTracking = true;
    mouse(*fContext, where);
    fTracking = false;
    fPressButtons = -1;
    fNeedsShow = true;
}

bool Frame::onWheelAt(Point where, float distance, int buttons, bool toFocus)
{
    if (fTracking)
        return false;
    fPressButtons = buttons;
    bool taken = false;
    if (toFocus && fFocus != nullptr)
    {
        Point origin = fFocus->parentOrigin();
        OriginScope atParent(*fContext, origin);
        taken = fFocus->onWheel(*fContext, {where.x - origin.x, where.y - origin.y}, distance);
    }
    else
    {
        taken = onWheel(*fContext, where, distance);
    }
    fPressButtons = -1;
    fNeedsShow = true;
    return taken;
}

int32_t Frame::onKeyDown(KeyCode& key)
{
    return fFocus != nullptr ? fFocus->onKeyDown(key) : -1;
}

int32_t Frame::onKeyUp(KeyCode& key)
{
    return fFocus != nullptr ? fFocus->onKeyUp(key) : -1;
}

bool Frame::onDropAt(const char* const* items, int count, int kind, Point where)
{
    if (items == nullptr || count <= 0)
        return false;
    return onDrop(items, count, kind, where);
}

void Frame::setFocusView(View* view)
{
    if (view == fFocus)
        return;
    View* old = fFocus;
    fFocus = view;
    if (old != nullptr)
        old->looseFocus();
}

void Frame::beginEdit(int32_t tag)
{
    if (fOwner != nullptr)
        fOwner->beginEdit(tag);
}

void Frame::endEdit(int32_t tag)
{
    if (fOwner != nullptr)
        fOwner->endEdit(tag);
}

void Frame::doIdleStuff()
{
    if (fOwner != nullptr)
        fOwner->doIdleStuff();
}

} // namespace toolkit
