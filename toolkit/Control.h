// A view with a value in its range, a tag and a listener told about every change the user makes.
#pragma once

#include "View.h"

namespace toolkit
{

class Control;

class ControlListener
{
public:
    virtual ~ControlListener() = default;
    // The user changed the control's value (context may be null for keyboard changes).
    virtual void valueChanged(DrawContext* context, Control* control) = 0;
};

class Control : public View
{
public:
    Control(const Rect& size, ControlListener* listener, int32_t tag);

    // Not-a-number counts as the minimum; other values are kept as given until the next clamp. A value set
    // from outside is what the listener knows: user changes are reported against it.
    virtual void setValue(float value);
    float getValue() const { return fValue; }
    float getMin() const { return fMin; }
    float getMax() const { return fMax; }
    float getDefaultValue() const { return fDefaultValue; }
    void setDefaultValue(float value) { fDefaultValue = value; }
    float getWheelInc() const { return fWheelInc; }
    int32_t getTag() const { return fTag; }
    ControlListener* getListener() const { return fListener; }

    // Brings the value back into its range.
    void bounceValue();
    // The value as it is drawn: within the range whatever was stored.
    float drawnValue() const;

    // Dirty while the value differs from the one drawn last.
    bool isDirty() const override;
    void setDirty(bool dirty = true) override;

    bool onWheel(DrawContext& context, Point where, float distance) override;

    // Brackets a mouse drag towards the host, through the frame.
    void beginEdit();
    void endEdit();

protected:
    // Does the value differ from the one the listener last heard of (or set)?
    bool hasUnreportedChange() const { return fValue != fReportedValue; }
    // Tells the listener when the value differs from the one it last heard of (or set).
    void notifyIfChanged(DrawContext* context);
    // One pass of a mouse drag after the value moved: clamp, report, let the host idle; answers where the
    // pointer is now.
    Point dragStep(DrawContext& context);

    ControlListener* fListener = nullptr;
    int32_t fTag = 0;
    float fValue = 0.0f;
    float fMin = 0.0f;
    float fMax = 1.0f;
    float fDefaultValue = 0.5f;
    float fWheelInc = 0.1f;
    float fOldValue = -1.0f; // a new control is drawn once
    // Not the value drawn last: keys change the value without drawing, so a second key that returns to the
    // drawn value must still be reported.
    float fReportedValue = 0.0f;
};

} // namespace toolkit
