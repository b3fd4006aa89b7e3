// A titled group box with quarter-circle corners, rendered once and holding the views of one section.
#pragma once

#include "toolkit/ViewContainer.h"

#include <memory>

class SectionPanel : public toolkit::ViewContainer
{
public:
    static constexpr int kTitleSize = 80; // bytes, terminator included

    SectionPanel(const toolkit::Rect& size, toolkit::Frame* frame, toolkit::Colour outer, toolkit::Colour inner,
                 toolkit::Colour border, int cornerRadius, const char* title, toolkit::Colour titleColour);

    const char* getTitle() const { return fTitle; }

protected:
    // The box picture stands under the children.
    void drawBackground(toolkit::DrawContext& context) override;

private:
    void renderPicture();

    toolkit::Colour fOuter;
    toolkit::Colour fInner;
    toolkit::Colour fBorder;
    toolkit::Colour fTitleColour;
    int fCornerDiameter = 0;
    char fTitle[kTitleSize] = {};
    std::unique_ptr<toolkit::OffscreenContext> fPicture;
};
