// A stack of captioned choices; a click reports where it hit, and the entry the value falls in is shown selected.
#pragma once

#include "toolkit/TextDisplay.h"

class ChoiceSwitch : public toolkit::TextDisplay
{
public:
    static constexpr int kMaxChoices = 10;
    static constexpr int kEntryTextSize = 80; // bytes, terminator included
    static constexpr int kSideBySide = 1;      // orientation; any other value stacks the entries

    ChoiceSwitch(const toolkit::Rect& size, toolkit::ControlListener* listener, int32_t tag, const char* selectedText,
                 const char* unselectedText, toolkit::Colour selectedBack, toolkit::Colour selectedTextColour,
                 toolkit::Colour unselectedBack, toolkit::Colour unselectedTextColour, int selectedExtraHeight,
                 int orientation);

    // Ignored once there are kMaxChoices entries.
    void addEntry(const char* selectedText, const char* unselectedText);
    int getCount() const { return fCount; }
    // The entry the current value shows as selected.
    int selectedEntry() const;
    const char* entryText(int entry, bool selected) const;

    void draw(toolkit::DrawContext& context) override;
    void mouse(toolkit::DrawContext& context, toolkit::Point where) override;

private:
    void setEntry(int entry, const char* selectedText, const char* unselectedText);

    int fOrientation = 0;
    toolkit::Colour fSelectedBack;
    toolkit::Colour fSelectedText;
    toolkit::Colour fUnselectedBack;
    toolkit::Colour fUnselectedText;
    int fSelectedExtraHeight = 0;
    int fCount = 1;
    char fEntries[kMaxChoices][2][kEntryTextSize] = {};
};
