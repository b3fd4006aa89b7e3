// A one-line caption; files dropped on it are listed in its text.
#pragma once

#include "toolkit/TextDisplay.h"

class TextLabel : public toolkit::TextDisplay
{
public:
    static constexpr int kTextSize = 256; // bytes, terminator included

    TextLabel(const toolkit::Rect& size, const char* text);

    // Copies the text (cut to fit) unless it is null, and marks the label for redrawing.
    void setText(const char* text);
    const char* getText() const { return fText; }

    void draw(toolkit::DrawContext& context) override;
    bool onDrop(const char* const* items, int count, int kind, toolkit::Point where) override;

private:
    char fText[kTextSize] = {};
};
