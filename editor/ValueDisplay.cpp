// Read-out: background and centred text; a click does nothing.
#include "ValueDisplay.h"

#include <cstdio>

using namespace toolkit;

ValueDisplay::ValueDisplay(const Rect& size) : TextDisplay(size) {}

void ValueDisplay::setText(const char* text)
{
    if (text == nullptr)
        return;
    std::snprintf(fText, sizeof(fText), "%s", text);
    setDirty();
}

void ValueDisplay::draw(DrawContext& context)
{
    fText[kTextSize - 1] = '\0'; // the buffer is written from outside
    drawText(context, fText);
    setDirty(false);
}
