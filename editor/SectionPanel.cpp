// Section panel: the box with its 2-pixel border, round corners and title tab, drawn once into a picture.
#include "SectionPanel.h"

#include <cstdio>

using namespace toolkit;

SectionPanel::SectionPanel(const Rect& size, Frame* frame, Colour outer, Colour inner, Colour border,
                           int cornerRadius, const char* title, Colour titleColour)
    : ViewContainer(size, frame, outer), fOuter(outer), fInner(inner), fBorder(border), fTitleColour(titleColour),
      fCornerDiameter(2 * cornerRadius)
{
    std::snprintf(fTitle, sizeof(fTitle), "%s", title != nullptr ? title : "");
    renderPicture();
}

void SectionPanel::renderPicture()
{
    int w = fRect.width();
    int h = fRect.height();
    int d = fCornerDiameter;
    fPicture = std::make_unique<OffscreenContext>(w, h, fOuter);
    OffscreenContext& picture = *fPicture;
    picture.setFillColour(fOuter);
    picture.fillRect({0, 0, w - 1, h - 1});
    if (d < 8)
    {
        picture.setFrameColour(fBorder);
        picture.drawRect({0, 0, w - 1, h - 1});
        return;
    }

    // A ring two pixels wide whose quarters become the corners.
    OffscreenContext corner(d + 1, d + 1, fOuter);
    corner.setFillColour(fBorder);
    corner.fillEllipse({0, 0, d, d});
    corner.setFillColour(fInner);
    corner.fillEllipse({2, 2, d - 2, d - 2});

    // The top 7 rows stay outside the body, for the title tab.
    picture.setFillColour(fBorder);
    picture.fillRect({0, 7, w - 1, h - 1});
    picture.setFillColour(fInner);
    picture.fillRect({2, 9, w - 3, h - 3});

    // The right and bottom quarters go one pixel further in than the left and top ones, so that the
    // ring meets the body's border columns and rows, which end one pixel before the panel's edge.
    int q = d / 2;
    corner.copyTo(picture, Rect::fromSize(0, 7, q, q), {0, 0});
    corner.copyTo(picture, Rect::fromSize(w - q - 1, 7, q, q), {q + 1, 0});
    corner.copyTo(picture, Rect::fromSize(0, h - q - 1, q, q), {0, q + 1});
    corner.copyTo(picture, Rect::fromSize(w - q - 1, h - q - 1, q, q), {q + 1, q + 1});

    picture.setFont(kSmallFont);
    picture.setFontColour(fTitleColour);
    picture.setFillColour(fBorder);
    picture.fillRect({18, 0, 73, 14});
    picture.setFillColour(fInner);
    picture.fillRect({20, 2, 71, 13});
    picture.fillRect({18, 8, 73, 14}); // joins the tab's inside to the body's
    picture.drawString(fTitle, {23, 1, 68, 13}, false, TextAlign::centre);
}

void SectionPanel::drawBackground(DrawContext& context)
{
    fPicture->copyTo(context, {0, 0, fRect.width(), fRect.height()});
}
