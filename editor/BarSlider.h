// A slider drawn as a coloured bar in its own surface, horizontal or vertical, from an edge or the centre.
#pragma once

#include "toolkit/Control.h"

#include <memory>

class BarSlider : public toolkit::Control
{
public:
    // Style bits.
    static constexpr uint32_t kHorizontal = 0x1;
    static constexpr uint32_t kVertical = 0x2;
    static constexpr uint32_t kFromLeft = 0x8;     // horizontal: the bar grows from the left edge
    static constexpr uint32_t kRightToLeft = 0x10; // horizontal: the mouse position is read right to left
    static constexpr uint32_t kUnflipped = 0x20;   // with kCentre: the value is drawn as it is
    static constexpr uint32_t kFromBottom = 0x40;  // vertical: the bar grows from the bottom edge
    static constexpr uint32_t kCentre = 0x4000;    // the bar runs from the middle to the value

    static constexpr float kFineDragStep = 0.00025f;
    static constexpr float kFineClickStep = 0.000025f;

    BarSlider(const toolkit::Rect& size, toolkit::ControlListener* listener, int32_t tag,
              toolkit::Colour background, toolkit::Colour bar, uint32_t style);

    uint32_t getStyle() const { return fStyle; }
    // The bar's rectangle for the drawn value, in the slider's own pixels (edges included).
    toolkit::Rect barRect() const;

    void attached(toolkit::View* parent) override;
    void removed(toolkit::View* parent) override;
    void draw(toolkit::DrawContext& context) override;
    void mouse(toolkit::DrawContext& context, toolkit::Point where) override;
    bool onWheel(toolkit::DrawContext& context, toolkit::Point where, float distance) override;
    int32_t onKeyDown(toolkit::KeyCode& key) override;

private:
    // The value a pointer position gives: along the bar, inside the 2-pixel margins.
    float positionValue(toolkit::Point where) const;
    // The vertical reading the Shift modes use, whatever the orientation.
    float verticalTarget(toolkit::Point where) const;

    toolkit::Colour fBackground;
    toolkit::Colour fBar;
    uint32_t fStyle = 0;
    int fWidth = 0;
    int fHeight = 0;
    std::unique_ptr<toolkit::OffscreenContext> fSurface;
};

// The vertical slider: the same with kVertical added to the style.
class VerticalBarSlider : public BarSlider
{
public:
    VerticalBarSlider(const toolkit::Rect& size, toolkit::ControlListener* listener, int32_t tag,
                      toolkit::Colour background, toolkit::Colour bar, uint32_t style)
        : BarSlider(size, listener, tag, background, bar, style | kVertical)
    {
    }
};
