// A one-line read-out whose text the plug-in writes (its display text for a parameter).
#pragma once

#include "toolkit/TextDisplay.h"

class ValueDisplay : public toolkit::TextDisplay
{
public:
    static constexpr int kTextSize = 256; // bytes, terminator included

    explicit ValueDisplay(const toolkit::Rect& size);

    // Writable text of kTextSize bytes; whoever writes it marks the display dirty.
    char* textBuffer() { return fText; }
    const char* getText() const { return fText; }
    // Copies the text (cut to fit) unless it is null, and marks the display for redrawing.
    void setText(const char* text);

    void draw(toolkit::DrawContext& context) override;

private:
    char fText[kTextSize] = "---";
};
