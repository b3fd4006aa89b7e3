// The base of one-line text views: font, font colour and background colour.
#pragma once

#include "Control.h"

namespace toolkit
{

class TextDisplay : public Control
{
public:
    TextDisplay(const Rect& size, ControlListener* listener = nullptr, int32_t tag = -1);

    void setFont(const Font& font) { fFont = font; setDirty(); }
    const Font& getFont() const { return fFont; }
    void setFontColour(Colour colour) { fFontColour = colour; setDirty(); }
    Colour getFontColour() const { return fFontColour; }
    void setBackColour(Colour colour) { fBackColour = colour; setDirty(); }
    Colour getBackColour() const { return fBackColour; }
    void setHoriAlign(TextAlign align) { fAlign = align; setDirty(); }
    TextAlign getHoriAlign() const { return fAlign; }

protected:
    // Fills the rectangle with the background colour and draws the text in it, one pixel in from the left.
    void drawText(DrawContext& context, const char* text);

    Font fFont = kSmallFont;
    Colour fFontColour = kWhite;
    Colour fBackColour = kBlack;
    TextAlign fAlign = TextAlign::centre;
};

} // namespace toolkit
