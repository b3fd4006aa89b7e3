// Rotary knob: drawing the handle on its arc, circular or linear dragging, wheel and arrow keys.
#include "RotaryKnob.h"

#include "Frame.h"

#include <cmath>

namespace toolkit
{

namespace
{
int gKnobMode = kCircularMode;
constexpr double kDegree = M_PI / 180.0;
} // namespace

RotaryKnob::RotaryKnob(const Rect& size, ControlListener* listener, int32_t tag, std::shared_ptr<Bitmap> body,
                       std::shared_ptr<Bitmap> handle, Point offset)
    : Control(size, listener, tag), fBody(std::move(body)), fHandle(std::move(handle)), fOffset(offset)
{
}

void RotaryKnob::setKnobMode(int mode)
{
    gKnobMode = mode;
}

int RotaryKnob::knobMode()
{
    return gKnobMode;
}

Rect RotaryKnob::handleRect() const
{
    int width = fHandle != nullptr ? fHandle->width() : 0;
    int height = fHandle != nullptr ? fHandle->height() : 0;
    double centreX = fRect.left + fRect.width() / 2.0;
    double centreY = fRect.top + fRect.height() / 2.0;
    double radius = fRect.width() / 2.0 - fInset;
    double angle = (kStartAngle - kRangeAngle * drawnValue()) * kDegree;
    // Placed by its edges, so that both ends of the arc sit symmetrically on the knob.
    double left = centreX + radius * std::cos(angle) - width / 2.0;
    double top = centreY - radius * std::sin(angle) - height / 2.0;
    return Rect::fromSize(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)), width, height);
}

float RotaryKnob::valueFromAngle(Point where, float previous) const
{
    double dx = where.x - (fRect.left + fRect.width() / 2.0);
    double dy = (fRect.top + fRect.height() / 2.0) - where.y;
    if (dx == 0.0 && dy == 0.0)
        return previous;
    double angle = std::atan2(dy, dx) / kDegree; // -180 .. 180
    if (angle < kStartAngle - 360.0)
        angle += 360.0;
    double value = (kStartAngle - angle) / kRangeAngle; // 0 .. 4/3
    if (value > 1.0)
    {
        // In the gap below the knob the value stays at the end it came from.
        return previous > 0.5f ? 1.0f : 0.0f;
    }
    return static_cast<float>(value);
}

void RotaryKnob::draw(DrawContext& context)
{
    if (fBody != nullptr)
        fBody->draw(context, fRect, fOffset);
    if (fHandle != nullptr)
        fHandle->drawTransparent(context, handleRect());
    setDirty(false);
}

void RotaryKnob::mouse(DrawContext& context, Point where)
{
    if (!getMouseEnabled())
        return;
    int buttons = context.getMouseButtons();
    if ((buttons & kLButton) == 0)
        return;
    if ((buttons & kControl) != 0)
    {
        fValue = fDefaultValue;
        if (hasUnreportedChange())
        {
            beginEdit();
            notifyIfChanged(&context);
            endEdit();
        }
        return;
    }

    beginEdit();
    Point start = where;
    float startValue = fValue;
    bool fine = (buttons & kShift) != 0;
    Point p = where;
    do
    {
        int mode = knobMode();
        if (mode == kLinearMode)
        {
            bool nowFine = (context.getMouseButtons() & kShift) != 0;
            if (nowFine != fine)
            {
                // Changing the pace mid-drag continues from where the knob is.
                fine = nowFine;
                start = p;
                startValue = fValue;
            }
            float range = fine ? kFineLinearRange : kLinearRange;
            fValue = startValue + static_cast<float>((p.x - start.x) - (p.y - start.y)) / range;
        }
        else if (mode == kRelativeCircularMode)
        {
            fValue = startValue + valueFromAngle(p, 0.5f) - valueFromAngle(start, 0.5f);
        }
        else
        {
            fValue = valueFromAngle(p, fValue);
        }
        p = dragStep(context);
    } while ((context.getMouseButtons() & kLButton) != 0);
    endEdit();
}

int32_t RotaryKnob::onKeyDown(KeyCode& key)
{
    int step = 0;
    if (key.virt == kKeyUp || key.virt == kKeyRight)
        step = 1;
    else if (key.virt == kKeyDown || key.virt == kKeyLeft)
        step = -1;
    if (step == 0 || !getMouseEnabled())
        return -1;
    fValue += step * ((key.modifier & kModifierShift) != 0 ? 0.01f : 0.1f);
    bounceValue();
    notifyIfChanged(nullptr);
    return 1;
}

} // namespace toolkit
