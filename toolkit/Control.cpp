// Controls: value keeping, change detection for drawing and for reporting, wheel steps, edit brackets.
#include "Control.h"

#include "Frame.h"

#include <cmath>

namespace toolkit
{

Control::Control(const Rect& size, ControlListener* listener, int32_t tag) : View(size), fListener(listener), fTag(tag)
{
}

void Control::setValue(float value)
{
    fValue = std::isnan(value) ? fMin : value;
    fReportedValue = fValue;
}

void Control::bounceValue()
{
    if (fValue > fMax)
        fValue = fMax;
    else if (fValue < fMin)
        fValue = fMin;
}

float Control::drawnValue() const
{
    if (fValue > fMax)
        return fMax;
    if (fValue < fMin)
        return fMin;
    return fValue;
}

bool Control::isDirty() const
{
    return fDirty || fValue != fOldValue;
}

void Control::setDirty(bool dirty)
{
    fDirty = dirty;
    if (!dirty)
        fOldValue = fValue;
}

void Control::notifyIfChanged(DrawContext* context)
{
    if (!hasUnreportedChange())
        return;
    // Before the call: the listener may set the value it keeps, which then counts as known.
    fReportedValue = fValue;
    if (fListener != nullptr)
        fListener->valueChanged(context, this);
}

Point Control::dragStep(DrawContext& context)
{
    bounceValue();
    notifyIfChanged(&context);
    const Point p = context.getMouseLocation();
    if (Frame* frame = getFrame())
        frame->doIdleStuff();
    return p;
}

bool Control::onWheel(DrawContext& context, Point, float distance)
{
    if (!getMouseEnabled())
        return false;
    fValue += distance * fWheelInc;
    bounceValue();
    notifyIfChanged(&context);
    return true;
}

void Control::beginEdit()
{
    if (Frame* frame = getFrame())
        frame->beginEdit(fTag);
}

void Control::endEdit()
{
    if (Frame* frame = getFrame())
        frame->endEdit(fTag);
}

} // namespace toolkit
