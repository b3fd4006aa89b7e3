// Text display base: the plain background-and-text drawing its subclasses share.
#include "TextDisplay.h"

namespace toolkit
{

TextDisplay::TextDisplay(const Rect& size, ControlListener* listener, int32_t tag) : Control(size, listener, tag) {}

void TextDisplay::drawText(DrawContext& context, const char* text)
{
    context.setFillColour(fBackColour);
    context.fillRect(fRect);
    context.setFont(fFont);
    context.setFontColour(fFontColour);
    context.drawString(text, {fRect.left + 1, fRect.top, fRect.right, fRect.bottom}, false, fAlign);
}

} // namespace toolkit
