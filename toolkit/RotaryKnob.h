// The rotary knob: a body bitmap with a handle bitmap on a circle, 270 degrees from lower left to lower right.
#pragma once

#include "Bitmap.h"
#include "Control.h"

#include <memory>

namespace toolkit
{

// How a knob follows a drag, as the host sets it.
enum KnobMode : int
{
    kCircularMode = 0,
    kRelativeCircularMode = 1,
    kLinearMode = 2,
};

class RotaryKnob : public Control
{
public:
    RotaryKnob(const Rect& size, ControlListener* listener, int32_t tag, std::shared_ptr<Bitmap> body,
               std::shared_ptr<Bitmap> handle, Point offset = {});

    // Distance of the handle's circle from the knob's edge.
    void setInsetValue(int inset) { fInset = inset; setDirty(); }
    int getInsetValue() const { return fInset; }

    // One knob mode for every knob of every editor.
    static void setKnobMode(int mode);
    static int knobMode();

    // Where the handle bitmap goes for the drawn value, in the parent's coordinates.
    Rect handleRect() const;
    // The value a pointer position selects by its angle around the centre (circular dragging).
    float valueFromAngle(Point where, float previous) const;

    void draw(DrawContext& context) override;
    void mouse(DrawContext& context, Point where) override;
    int32_t onKeyDown(KeyCode& key) override;

    static constexpr float kStartAngle = 225.0f; // degrees, counter-clockwise from the right, at value 0
    static constexpr float kRangeAngle = 270.0f; // degrees swept clockwise up to value 1
    static constexpr int kLinearRange = 200;     // pixels of linear drag for the whole range
    static constexpr int kFineLinearRange = 300; // the same with Shift held

private:
    std::shared_ptr<Bitmap> fBody;
    std::shared_ptr<Bitmap> fHandle;
    Point fOffset;
    int fInset = 3;
};

} // namespace toolkit
