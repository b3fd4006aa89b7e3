// Caption: background, centred text, and the file-drop report.
#include "TextLabel.h"

#include <cstdio>

using namespace toolkit;

TextLabel::TextLabel(const Rect& size, const char* text) : TextDisplay(size)
{
    setText(text);
}

void TextLabel::setText(const char* text)
{
    if (text == nullptr)
        return;
    std::snprintf(fText, sizeof(fText), "%s", text);
    setDirty();
}

void TextLabel::draw(DrawContext& context)
{
    drawText(context, fText);
    setDirty(false);
}

bool TextLabel::onDrop(const char* const* items, int count, int kind, Point where)
{
    if (items != nullptr && count >= 1 && kind == kDropFiles && items[0] != nullptr)
    {
        std::snprintf(fText, sizeof(fText), "%d : %s at %d", count, items[0], where.x - fRect.left);
        setDirty();
    }
    return true;
}
