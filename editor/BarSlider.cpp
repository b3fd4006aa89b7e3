// Bar slider: bar geometry by style, absolute and fine dragging, Shift-click steps, wheel and arrow keys.
#include "BarSlider.h"

#include "toolkit/Frame.h"

using namespace toolkit;

BarSlider::BarSlider(const Rect& size, ControlListener* listener, int32_t tag, Colour background, Colour bar,
                     uint32_t style)
    : Control(size, listener, tag), fBackground(background), fBar(bar), fStyle(style), fWidth(size.width()),
      fHeight(size.height())
{
}

void BarSlider::attached(View* parent)
{
    fSurface = std::make_unique<OffscreenContext>(fWidth, fHeight, fBackground);
    Control::attached(parent);
}

void BarSlider::removed(View* parent)
{
    fSurface.reset();
    Control::removed(parent);
}

Rect BarSlider::barRect() const
{
    float v = drawnValue();
    if ((fStyle & kCentre) != 0 && (fStyle & (kFromLeft | kUnflipped)) == 0)
        v = 1.0f - v;
    Rect inner{2, 2, fWidth - 3, fHeight - 3};
    int innerWidth = inner.width();
    int innerHeight = inner.height();
    Rect bar = inner;
    if ((fStyle & kHorizontal) == 0)
    {
        if ((fStyle & kFromBottom) != 0)
        {
            bar.top = inner.bottom - static_cast<int>(innerHeight * v);
        }
        else if ((fStyle & kCentre) != 0)
        {
            int middle = inner.top + innerHeight / 2;
            int p = inner.top + static_cast<int>(innerHeight * v);
            bar.top = v >= 0.5f ? middle : p;
            bar.bottom = v >= 0.5f ? p : middle;
        }
        else
        {
            bar.bottom = inner.top + static_cast<int>(innerHeight * v);
        }
    }
    else
    {
        if ((fStyle & kFromLeft) != 0)
        {
            bar.right = inner.left + static_cast<int>(innerWidth * v);
        }
        else if ((fStyle & kCentre) != 0)
        {
            int middle = inner.left + innerWidth / 2;
            int p = inner.left + static_cast<int>(innerWidth * v);
            bar.left = v >= 0.5f ? middle : p;
            bar.right = v >= 0.5f ? p : middle;
        }
        else
        {
            bar.left = inner.right - static_cast<int>(innerWidth * v);
        }
    }
    return bar;
}

void BarSlider::draw(DrawContext& context)
{
    if (fSurface == nullptr)
        fSurface = std::make_unique<OffscreenContext>(fWidth, fHeight, fBackground);
    OffscreenContext& surface = *fSurface;
    surface.setFillColour(fBackground);
    surface.fillRect({0, 0, fWidth, fHeight});
    Rect bar = barRect();
    surface.setFrameColour(fBar);
    surface.drawRect(bar);
    surface.setFillColour(fBar);
    surface.floodFill({(bar.left + bar.right) / 2, (bar.top + bar.bottom) / 2});
    surface.copyTo(context, fRect);
    setDirty(false);
}

float BarSlider::verticalTarget(Point where) const
{
    float t = static_cast<float>(where.y - fRect.top - 2) / static_cast<float>(fHeight > 4 ? fHeight - 4 : 1);
    if ((fStyle & (kFromBottom | kCentre)) != 0)
        t = 1.0f - t;
    return t;
}

float BarSlider::positionValue(Point where) const
{
    if ((fStyle & kHorizontal) != 0)
    {
        float v = static_cast<float>(where.x - fRect.left - 2) / static_cast<float>(fWidth > 4 ? fWidth - 4 : 1);
        return (fStyle & kRightToLeft) != 0 ? 1.0f - v : v;
    }
    return verticalTarget(where);
}

void BarSlider::mouse(DrawContext& context, Point where)
{
    if (!getMouseEnabled())
        return;
    int buttons = context.getMouseButtons();
    Frame* frame = getFrame();

    if (buttons == (kControl | kLButton))
    {
        fValue = fDefaultValue;
        notifyIfChanged(&context);
        return;
    }
    if (buttons == (kShift | kRButton))
    {
        // One small step towards the pointer per click, left unclamped.
        fValue += verticalTarget(where) > fValue ? kFineClickStep : -kFineClickStep;
        notifyIfChanged(&context);
        return;
    }
    if (buttons == (kShift | kLButton))
    {
        beginEdit();
        if (frame != nullptr)
            frame->setFocusView(this);
        Point p = where;
        while ((context.getMouseButtons() & kLButton) != 0)
        {
            fValue += verticalTarget(p) > fValue ? kFineDragStep : -kFineDragStep;
            p = dragStep(context);
        }
        endEdit();
        return;
    }
    // Left alone or with Alt, middle or right: Shift and Control only go with the exact combinations above.
    if ((buttons & kLButton) != 0 && (buttons & (kShift | kControl)) == 0)
    {
        beginEdit();
        Point p = where;
        do
        {
            fValue = positionValue(p);
            p = dragStep(context);
        } while ((context.getMouseButtons() & kLButton) != 0);
        endEdit();
    }
}

bool BarSlider::onWheel(DrawContext& context, Point, float distance)
{
    if (!getMouseEnabled())
        return false;
    bool fine = (context.getMouseButtons() & kShift) != 0;
    fValue += distance * (fine ? 0.001f : 0.1f);
    bounceValue();
    notifyIfChanged(&context);
    return true;
}

int32_t BarSlider::onKeyDown(KeyCode& key)
{
    int step = 0;
    if (key.virt == kKeyUp || key.virt == kKeyRight)
        step = 1;
    else if (key.virt == kKeyLeft || key.virt == kKeyDown)
        step = -1;
    if (step == 0)
        return -1;
    fValue += step * ((key.modifier & kModifierShift) != 0 ? 0.01f : 0.1f);
    bounceValue();
    notifyIfChanged(nullptr);
    return 1;
}
