// The editor's own views driven through their mouse, wheel, key and drop handlers.
#include "ControlHarness.h"
#include "Pixels.h"

#include "editor/BarSlider.h"
#include "editor/ChoiceSwitch.h"
#include "editor/EditorColours.h"
#include "editor/SectionPanel.h"
#include "editor/TextLabel.h"
#include "editor/ValueDisplay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace toolkit;

namespace
{

constexpr int32_t kTag = 34;
const Rect kSliderRect = Rect::fromSize(17, 29, 14, 120);

struct SliderTest : ::testing::Test
{
    BarSlider* slider(float value, uint32_t style = BarSlider::kCentre)
    {
        auto s = std::make_unique<VerticalBarSlider>(kSliderRect, &h.listener, kTag, kTeal, kGold, style);
        s->setValue(value);
        return h.add(std::move(s));
    }
    Point row(int r) { return {kSliderRect.left + 7, kSliderRect.top + r}; }
    Harness h;
};

struct SwitchTest : ::testing::Test
{
    ChoiceSwitch* choice(const Rect& r, int entries, int orientation = 0)
    {
        auto c = std::make_unique<ChoiceSwitch>(r, &h.listener, 11, "e0", "e0", kTeal, kGold, kTeal, kSkyBlue, 0,
                                                orientation);
        for (int i = 1; i < entries; ++i)
        {
            char name[16];
            std::snprintf(name, sizeof(name), "e%d", i);
            c->addEntry(name, name);
        }
        return h.add(std::move(c));
    }
    Harness h;
};

} // namespace

TEST_F(SwitchTest, TwoEntriesSplitJustAboveOneHalf)
{
    ChoiceSwitch* c = choice(Rect::fromSize(10, 10, 38, 26), 2);
    EXPECT_EQ(c->getValue(), 0.0f);
    EXPECT_EQ(c->selectedEntry(), 0);
    c->setValue(0.5f);
    EXPECT_EQ(c->selectedEntry(), 0);
    c->setValue(0.50009f);
    EXPECT_EQ(c->selectedEntry(), 0);
    c->setValue(0.5001f); // as a float a little above 0.5 + 0.0001
    EXPECT_EQ(c->selectedEntry(), 1);
    c->setValue(1.0f);
    EXPECT_EQ(c->selectedEntry(), 1);
    // Stored values outside 0..1 show the nearest end.
    c->setValue(7.0f);
    EXPECT_EQ(c->selectedEntry(), 1);
    c->setValue(-3.0f);
    EXPECT_EQ(c->selectedEntry(), 0);
}

TEST_F(SwitchTest, ThreeEntriesSplitJustAboveTheThirds)
{
    ChoiceSwitch* c = choice(Rect::fromSize(10, 10, 38, 39), 3);
    c->setValue(1.0f / 3.0f + 0.0001f);
    EXPECT_EQ(c->selectedEntry(), 0);
    c->setValue(0.3335f);
    EXPECT_EQ(c->selectedEntry(), 1);
    c->setValue(0.6667f);
    EXPECT_EQ(c->selectedEntry(), 1);
    c->setValue(0.6668f);
    EXPECT_EQ(c->selectedEntry(), 2);
}

TEST_F(SwitchTest, ClickReportsTheFractionOfItsRowOnlyWhenItChanges)
{
    Rect r = Rect::fromSize(15, 39, 38, 26);
    ChoiceSwitch* c = choice(r, 2);
    c->setValue(1.0f);
    c->setDirty(false);
    h.press({20, r.top}, kLButton);
    ASSERT_EQ(h.listener.values.size(), 1u);
    EXPECT_EQ(h.listener.values[0], 0.0f);
    h.press({20, r.bottom - 1}, kRButton); // any button
    ASSERT_EQ(h.listener.values.size(), 2u);
    EXPECT_FLOAT_EQ(h.listener.values[1], 25.0f / 26.0f);
    h.press({30, r.bottom - 1}, kLButton);
    EXPECT_EQ(h.listener.values.size(), 2u);
    // No tracking and no edit brackets.
    EXPECT_TRUE(h.owner.edits.empty());
    EXPECT_EQ(h.owner.idles, 0);
}

TEST_F(SwitchTest, SideBySideReadsTheHorizontalPosition)
{
    ChoiceSwitch* c = choice(Rect::fromSize(100, 10, 40, 20), 2, ChoiceSwitch::kSideBySide);
    h.press({130, 15}, kLButton);
    EXPECT_FLOAT_EQ(c->getValue(), 0.75f);
}

TEST_F(SwitchTest, DisabledMouseChangesNothing)
{
    ChoiceSwitch* c = choice(Rect::fromSize(10, 10, 38, 26), 2);
    c->setMouseEnabled(false);
    c->mouse(h.frame.context(), {20, 30});
    EXPECT_EQ(c->getValue(), 0.0f);
    EXPECT_TRUE(h.listener.values.empty());
}

TEST_F(SwitchTest, AtMostTenEntriesAndTextsCutToTheirRoom)
{
    ChoiceSwitch* c = choice(Rect::fromSize(10, 10, 38, 100), 10);
    EXPECT_EQ(c->getCount(), 10);
    c->addEntry("eleventh", "eleventh");
    EXPECT_EQ(c->getCount(), 10);
    EXPECT_STREQ(c->entryText(9, true), "e9");
    EXPECT_STREQ(c->entryText(10, true), "");
    std::string longText(200, 'x');
    auto d = std::make_unique<ChoiceSwitch>(Rect::fromSize(0, 0, 10, 10), nullptr, 1, longText.c_str(), nullptr, kTeal,
                                            kGold, kTeal, kSkyBlue, 0, 0);
    EXPECT_EQ(std::string(d->entryText(0, true)), std::string(79, 'x'));
    EXPECT_STREQ(d->entryText(0, false), "");
}

TEST_F(SliderTest, ControlClickReturnsToTheDefaultOnce)
{
    BarSlider* s = slider(0.9f);
    h.press(row(10), kControl | kLButton);
    ASSERT_EQ(h.listener.values.size(), 1u);
    EXPECT_EQ(s->getValue(), 0.5f);
    h.press(row(10), kControl | kLButton);
    EXPECT_EQ(h.listener.values.size(), 1u);
    EXPECT_TRUE(h.owner.edits.empty());
}

TEST_F(SliderTest, PlainDragPutsTheValueAtThePointerClampedAtTheMargins)
{
    BarSlider* s = slider(0.5f);
    h.press(row(0), kLButton, {{row(60), kLButton}, {row(119), kLButton}, {row(119), 0}});
    ASSERT_EQ(h.listener.values.size(), 3u);
    EXPECT_EQ(h.listener.values[0], 1.0f); // above the top margin
    EXPECT_EQ(h.listener.values[1], 0.5f); // row 60
    EXPECT_EQ(h.listener.values[2], 0.0f); // below the bottom margin
    EXPECT_EQ(s->getValue(), 0.0f);
    ASSERT_EQ(h.owner.edits.size(), 2u);
    EXPECT_EQ(h.owner.edits[0], std::make_pair(true, kTag));
    EXPECT_EQ(h.owner.edits[1], std::make_pair(false, kTag));
    EXPECT_EQ(h.owner.idles, 3);
}

TEST_F(SliderTest, HalfShowsAOnePixelLineAcrossTheMiddle)
{
    BarSlider* s = slider(0.0f);
    h.press(row(60), kLButton | kAlt, {{row(60), 0}});
    EXPECT_EQ(s->getValue(), 0.5f);
    EXPECT_EQ(s->barRect(), (Rect{2, 59, 11, 59}));
    s->setValue(1.0f);
    EXPECT_EQ(s->barRect(), (Rect{2, 2, 11, 59}));
    s->setValue(0.0f);
    EXPECT_EQ(s->barRect(), (Rect{2, 59, 11, 117}));
}

TEST_F(SliderTest, ShiftRightClickStepsTowardsThePointerWithoutClamping)
{
    BarSlider* s = slider(1.0f);
    h.press(row(0), kShift | kRButton);
    EXPECT_FLOAT_EQ(s->getValue(), 1.000025f);
    ASSERT_EQ(h.listener.values.size(), 1u);
    h.press(row(100), kShift | kRButton);
    EXPECT_FLOAT_EQ(s->getValue(), 1.0f);
    h.press(row(100), kShift | kRButton);
    EXPECT_FLOAT_EQ(s->getValue(), 0.999975f);
    EXPECT_TRUE(h.owner.edits.empty());
    // The next clamping operation brings an overshoot back.
    s->setValue(1.000025f);
    s->onWheel(h.frame.context(), row(5), 1.0f);
    EXPECT_EQ(s->getValue(), 1.0f);
}

TEST_F(SliderTest, ShiftDragCreepsTowardsThePointerAndTakesTheFocus)
{
    BarSlider* s = slider(0.5f);
    h.press(row(2), kShift | kLButton, {{row(2), kShift | kLButton}, {row(2), kShift | kLButton}, {row(2), 0}});
    // The button is read before each pass: three passes while it is down.
    EXPECT_NEAR(s->getValue(), 0.5f + 3 * 0.00025f, 1e-6f);
    EXPECT_EQ(h.listener.values.size(), 3u);
    EXPECT_EQ(h.frame.getFocusView(), s);
    ASSERT_EQ(h.owner.edits.size(), 2u);
    EXPECT_TRUE(h.owner.edits[0].first);
    EXPECT_FALSE(h.owner.edits[1].first);
}

TEST_F(SliderTest, OtherPressesDoNothing)
{
    BarSlider* s = slider(0.3f);
    h.press(row(10), kRButton);
    h.press(row(10), kMButton);
    h.press(row(10), kControl | kShift | kLButton | kRButton);
    EXPECT_EQ(s->getValue(), 0.3f);
    EXPECT_TRUE(h.listener.values.empty());
    s->setMouseEnabled(false);
    s->mouse(h.frame.context(), row(10));
    EXPECT_EQ(s->getValue(), 0.3f);
}

TEST_F(SliderTest, WheelStepsByATenthOrAThousandthWithShift)
{
    BarSlider* s = slider(0.5f);
    EXPECT_TRUE(h.frame.onWheelAt(row(50), 1.0f, 0));
    EXPECT_FLOAT_EQ(s->getValue(), 0.6f);
    EXPECT_TRUE(h.frame.onWheelAt(row(50), -1.0f, kShift));
    EXPECT_FLOAT_EQ(s->getValue(), 0.599f);
    s->setValue(0.95f);
    h.frame.onWheelAt(row(50), 1.0f, 0);
    EXPECT_EQ(s->getValue(), 1.0f);
    s->setMouseEnabled(false);
    EXPECT_FALSE(s->onWheel(h.frame.context(), row(50), 1.0f));
}

TEST_F(SliderTest, ArrowKeysStepAndOtherKeysAreLeft)
{
    BarSlider* s = slider(0.5f);
    KeyCode up{0, kKeyUp, 0};
    KeyCode left{0, kKeyLeft, kModifierShift};
    KeyCode letter{'a', 0, 0};
    EXPECT_EQ(s->onKeyDown(up), 1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.6f);
    EXPECT_EQ(s->onKeyDown(left), 1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.59f);
    EXPECT_EQ(s->onKeyDown(letter), -1);
    ASSERT_EQ(h.listener.values.size(), 2u);
    EXPECT_EQ(h.listener.contexts[0], nullptr);
}

TEST_F(SliderTest, ChangesAreReportedAgainstWhatTheListenerKnowsNotWhatWasDrawn)
{
    // A listener that does not redraw, as for keys, which come without a drawing context.
    struct Counting : ControlListener
    {
        std::vector<float> values;
        void valueChanged(DrawContext*, Control* control) override { values.push_back(control->getValue()); }
    } counting;
    auto* s = h.add(std::make_unique<VerticalBarSlider>(kSliderRect, &counting, kTag, kTeal, kGold, BarSlider::kCentre));
    s->setValue(0.5f);
    s->setDirty(false); // drawn at 0.5
    KeyCode down{0, kKeyDown, 0};
    s->onKeyDown(down);
    // Back to the drawn value: still a change for the listener, which heard of 0.4 last.
    h.press(row(10), kControl | kLButton);
    ASSERT_EQ(counting.values.size(), 2u);
    EXPECT_EQ(counting.values[1], 0.5f);
    // A value set from outside (the plug-in's) is known as well.
    s->setValue(0.25f);
    h.press(row(10), kControl | kLButton);
    ASSERT_EQ(counting.values.size(), 3u);
    EXPECT_EQ(counting.values[2], 0.5f);
    s->setValue(0.5f);
    h.press(row(10), kControl | kLButton);
    EXPECT_EQ(counting.values.size(), 3u);
}

TEST_F(SliderTest, HorizontalStylesPlaceTheBarAndReadThePointer)
{
    Harness local;
    auto make = [&](uint32_t style, float value) {
        auto s = std::make_unique<BarSlider>(Rect::fromSize(0, 0, 104, 10), &local.listener, 1, kTeal, kGold, style);
        s->setValue(value);
        return s;
    };
    auto fromLeft = make(BarSlider::kHorizontal | BarSlider::kFromLeft, 0.5f);
    EXPECT_EQ(fromLeft->barRect(), (Rect{2, 2, 51, 7}));
    auto fromRight = make(BarSlider::kHorizontal, 0.25f);
    EXPECT_EQ(fromRight->barRect(), (Rect{77, 2, 101, 7})); // 99 * 0.25 truncated
    auto bottom = std::make_unique<VerticalBarSlider>(kSliderRect, nullptr, 1, kTeal, kGold, BarSlider::kFromBottom);
    bottom->setValue(1.0f);
    EXPECT_EQ(bottom->barRect(), (Rect{2, 2, 11, 117}));

    BarSlider* reversed =
        local.add(make(BarSlider::kHorizontal | BarSlider::kRightToLeft | BarSlider::kFromLeft, 0.0f));
    local.press({27, 5}, kLButton, {{{27, 5}, 0}});
    EXPECT_FLOAT_EQ(reversed->getValue(), 0.75f);
}

TEST_F(SliderTest, DrawnBarIsASolidRectangleOnTheBackground)
{
    BarSlider* s = slider(0.25f);
    h.frame.drawAll();
    cairo_surface_t* image = h.frame.image();
    // 0.25 shows as 0.75 from the top: the bar runs from the middle down to row 59 + 28.
    for (int r = 0; r < 120; ++r)
    {
        bool inBar = r >= 59 && r <= 2 + 86;
        EXPECT_EQ(pixelOf(image, kSliderRect.left + 5, kSliderRect.top + r), rgb(inBar ? kGold : kTeal)) << r;
    }
    EXPECT_EQ(s->barRect(), (Rect{2, 59, 11, 88}));
}

TEST(TextLabelTest, DroppedFilesAreListedWithTheDropPosition)
{
    TextLabel label(Rect::fromSize(40, 5, 50, 12), "Decay");
    const char* files[] = {"/home/me/one.wav", "/home/me/two.wav"};
    EXPECT_TRUE(label.onDrop(files, 2, kDropFiles, {50, 8}));
    EXPECT_STREQ(label.getText(), "2 : /home/me/one.wav at 10");
    EXPECT_TRUE(label.isDirty());
    // Text drops and empty drops change nothing but are taken.
    EXPECT_TRUE(label.onDrop(files, 1, kDropText, {50, 8}));
    EXPECT_TRUE(label.onDrop(files, 0, kDropFiles, {50, 8}));
    EXPECT_TRUE(label.onDrop(nullptr, 3, kDropFiles, {50, 8}));
    EXPECT_STREQ(label.getText(), "2 : /home/me/one.wav at 10");
}

TEST(TextLabelTest, LongTextsAreCutToTheirRoom)
{
    std::string path(401, 'p');
    path[0] = '/';
    TextLabel label(Rect::fromSize(0, 0, 50, 12), path.c_str());
    EXPECT_EQ(std::string(label.getText()).size(), 255u);
    const char* files[] = {path.c_str()};
    label.onDrop(files, 1, kDropFiles, {0, 0});
    EXPECT_EQ(std::string(label.getText()).size(), 255u);
    EXPECT_EQ(std::string(label.getText()).substr(0, 5), "1 : /");
    label.setText(nullptr);
    EXPECT_EQ(std::string(label.getText()).size(), 255u);
}

TEST(TextLabelTest, EmptyLabelDrawsOnlyItsBackground)
{
    OffscreenContext context(60, 20, kSkyBlue);
    TextLabel label(Rect::fromSize(5, 5, 50, 12), "");
    label.setBackColour(kTeal);
    label.setFontColour(kGold);
    label.draw(context);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 60; ++x)
        {
            bool inside = x >= 6 && x < 55 && y >= 6 && y < 17;
            ASSERT_EQ(context.pixelAt({x, y}), rgb(inside ? kTeal : kSkyBlue)) << x << "," << y;
        }
}

TEST(ValueDisplayTest, ShowsDashesUntilWritten)
{
    ValueDisplay readout(Rect::fromSize(0, 0, 50, 12));
    EXPECT_STREQ(readout.getText(), "---");
    std::snprintf(readout.textBuffer(), ValueDisplay::kTextSize, "%s", "0.5000");
    EXPECT_STREQ(readout.getText(), "0.5000");
    // A click does nothing.
    Harness h;
    auto* r = h.add(std::make_unique<ValueDisplay>(Rect::fromSize(0, 0, 50, 12)));
    h.press({5, 5}, kLButton);
    EXPECT_STREQ(r->getText(), "---");
}

TEST(SectionPanelTest, SmallRadiusGivesAPlainOutlineWithoutTitle)
{
    Harness h;
    auto* panel = h.frame.addView(std::make_unique<SectionPanel>(Rect::fromSize(10, 10, 100, 50), &h.frame,
                                                                  kPanelGrey, kSkyBlue, kBorderGrey, 3, "Title",
                                                                  kTeal));
    h.frame.drawAll();
    cairo_surface_t* image = h.frame.image();
    EXPECT_EQ(pixelOf(image, 10, 10), rgb(kBorderGrey));
    EXPECT_EQ(pixelOf(image, 109, 10), rgb(kBorderGrey));
    EXPECT_EQ(pixelOf(image, 10, 59), rgb(kBorderGrey));
    EXPECT_EQ(pixelOf(image, 30, 35), rgb(kPanelGrey));
    for (int y = 11; y < 24; ++y)
        for (int x = 33; x < 78; ++x)
            ASSERT_EQ(pixelOf(image, x, y), rgb(kPanelGrey));
    EXPECT_STREQ(panel->getTitle(), "Title");
}
