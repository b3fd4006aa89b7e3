// Choice switch: equal cells, the selected one by the value's share of the count; clicks report a fraction.
#include "ChoiceSwitch.h"

#include <cstdio>

using namespace toolkit;

ChoiceSwitch::ChoiceSwitch(const Rect& size, ControlListener* listener, int32_t tag, const char* selectedText,
                           const char* unselectedText, Colour selectedBack, Colour selectedTextColour,
                           Colour unselectedBack, Colour unselectedTextColour, int selectedExtraHeight,
                           int orientation)
    : TextDisplay(size, listener, tag), fOrientation(orientation), fSelectedBack(selectedBack),
      fSelectedText(selectedTextColour), fUnselectedBack(unselectedBack), fUnselectedText(unselectedTextColour),
      fSelectedExtraHeight(selectedExtraHeight)
{
    setEntry(0, selectedText, unselectedText);
    setValue(0.0f);
}

void ChoiceSwitch::setEntry(int entry, const char* selectedText, const char* unselectedText)
{
    std::snprintf(fEntries[entry][0], kEntryTextSize, "%s", selectedText != nullptr ? selectedText : "");
    std::snprintf(fEntries[entry][1], kEntryTextSize, "%s", unselectedText != nullptr ? unselectedText : "");
}

void ChoiceSwitch::addEntry(const char* selectedText, const char* unselectedText)
{
    if (fCount >= kMaxChoices)
        return;
    setEntry(fCount, selectedText, unselectedText);
    ++fCount;
    setDirty();
}

const char* ChoiceSwitch::entryText(int entry, bool selected) const
{
    if (entry < 0 || entry >= fCount)
        return "";
    return fEntries[entry][selected ? 0 : 1];
}

int ChoiceSwitch::selectedEntry() const
{
    // A value just above a boundary still shows the entry below it.
    return static_cast<int>((drawnValue() - 0.0001) * fCount);
}

void ChoiceSwitch::draw(DrawContext& context)
{
    int selected = selectedEntry();
    int n = fCount;
    int width = fRect.width();
    int height = fRect.height();
    for (int r = 0; r < n; ++r)
    {
        bool isSelected = r == selected;
        Rect cell;
        Rect text;
        if (fOrientation == kSideBySide)
        {
            int x = fRect.left + (r * width) / n;
            cell = {x + 1, fRect.top, x + width / n - 1, fRect.top + height};
            if (isSelected)
                cell.bottom += fSelectedExtraHeight;
            text = {x + 2, fRect.top, x + width / n - 1, fRect.top + height};
        }
        else
        {
            int y = fRect.top + (r * height) / n;
            cell = {fRect.left, y + 1, fRect.right, y + height / n - 1};
            text = {fRect.left, y + 2, fRect.right, y + height / n - 1};
        }
        context.setFillColour(isSelected ? fSelectedBack : fUnselectedBack);
        context.fillRect(cell);
        context.setFont(fFont);
        context.setFontColour(isSelected ? fSelectedText : fUnselectedText);
        context.drawString(entryText(r, isSelected), text, false, TextAlign::centre);
    }
    setDirty(false);
}

void ChoiceSwitch::mouse(DrawContext& context, Point where)
{
    if (!getMouseEnabled())
        return;
    if (fOrientation == kSideBySide)
        fValue = fRect.width() > 0 ? static_cast<float>(where.x - fRect.left) / static_cast<float>(fRect.width()) : 0.0f;
    else
        fValue = fRect.height() > 0 ? static_cast<float>(where.y - fRect.top) / static_cast<float>(fRect.height()) : 0.0f;
    bounceValue();
    notifyIfChanged(&context);
}
