// The editor window drawn into an image: size, sections, controls at chosen values, and the traffic with the plug-in.
#include "FakeController.h"
#include "Pixels.h"

#include "editor/EditorColours.h"
#include "params/Parameters.h"
#include "toolkit/RotaryKnob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace toolkit;

namespace
{

struct PanelBox
{
    const char* title;
    Rect rect;
};
const PanelBox kPanelBoxes[] = {
    {"Main", Rect::fromSize(10, 130, 120, 173)},   {"LFOs", Rect::fromSize(140, 210, 350, 93)},
    {"String A", Rect::fromSize(140, 10, 350, 93)}, {"String B", Rect::fromSize(140, 110, 350, 93)},
    {"Filter", Rect::fromSize(500, 20, 340, 173)},  {"Misc", Rect::fromSize(500, 210, 340, 93)},
};

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        editor = std::make_unique<SynthEditor>(&effect);
        effect.fEditor = editor.get();
    }
    // Renders the window with the current values and returns its image.
    cairo_surface_t* render()
    {
        if (!editor->isOpen())
            editor->openOffscreen();
        editor->idle();
        return editor->getFrame()->image();
    }
    // Window position of a view inside a panel.
    Rect windowRect(const View* view)
    {
        Point origin = view->parentOrigin();
        return view->getRect().offset(origin.x, origin.y);
    }
    // Centre of the gold pixels inside a rectangle of the window.
    bool goldCentre(cairo_surface_t* image, const Rect& r, double& x, double& y)
    {
        double sx = 0, sy = 0;
        int n = 0;
        for (int j = r.top; j < r.bottom; ++j)
            for (int i = r.left; i < r.right; ++i)
                if (pixelOf(image, i, j) == rgb(kGold))
                {
                    sx += i;
                    sy += j;
                    ++n;
                }
        if (n == 0)
            return false;
        x = sx / n;
        y = sy / n;
        return true;
    }
    // Sky-blue text blends towards teal but keeps more blue than teal has.
    int skyishCount(cairo_surface_t* image, const Rect& r)
    {
        int n = 0;
        for (int j = r.top; j < r.bottom; ++j)
            for (int i = r.left; i < r.right; ++i)
                n += (pixelOf(image, i, j) & 0xFF) > 190 ? 1 : 0;
        return n;
    }
    int goldishCount(cairo_surface_t* image, const Rect& r)
    {
        int n = 0;
        for (int j = r.top; j < r.bottom; ++j)
            for (int i = r.left; i < r.right; ++i)
                n += isGoldish(pixelOf(image, i, j)) ? 1 : 0;
        return n;
    }

    FakeController effect;
    std::unique_ptr<SynthEditor> editor;
};

} // namespace

TEST_F(EditorTest, SizeIsTheBackgroundSizeBeforeTheFirstOpen)
{
    EXPECT_EQ(editor->width(), 851);
    EXPECT_EQ(editor->height(), 311);
    EXPECT_FALSE(editor->isOpen());
}

TEST_F(EditorTest, WindowImageHasTheWindowSize)
{
    cairo_surface_t* image = render();
    EXPECT_EQ(cairo_image_surface_get_width(image), 851);
    EXPECT_EQ(cairo_image_surface_get_height(image), 311);
    // Outside the panels the background grey shows.
    EXPECT_EQ(pixelOf(image, 300, 306), rgb(kPanelGrey));
    EXPECT_EQ(pixelOf(image, 845, 5), rgb(kPanelGrey));
}

TEST_F(EditorTest, SixPanelsInTheirPlacesWithTitles)
{
    render();
    for (int p = 0; p < SynthEditor::kPanelCount; ++p)
    {
        SectionPanel* panel = editor->panel(p);
        ASSERT_NE(panel, nullptr);
        EXPECT_STREQ(panel->getTitle(), kPanelBoxes[p].title);
        EXPECT_EQ(panel->getRect(), kPanelBoxes[p].rect) << kPanelBoxes[p].title;
        // Added to the frame in this order, and nothing else beside them.
        EXPECT_EQ(editor->getFrame()->child(static_cast<size_t>(p)), panel);
    }
    EXPECT_EQ(editor->getFrame()->childCount(), 6u);
}

TEST_F(EditorTest, PanelBorderInteriorAndCornersAtChosenPixels)
{
    cairo_surface_t* image = render();
    for (const PanelBox& box : kPanelBoxes)
    {
        const Rect& r = box.rect;
        int midY = r.top + r.height() / 2;
        SCOPED_TRACE(box.title);
        // Left edge: outer column, two border columns, interior.
        EXPECT_EQ(pixelOf(image, r.left, midY), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.left + 1, midY), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 2, midY), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 3, midY), rgb(kSkyBlue));
        // Right edge: border in the two columns before the last, which stays outer.
        EXPECT_EQ(pixelOf(image, r.right - 4, midY), rgb(kSkyBlue));
        EXPECT_EQ(pixelOf(image, r.right - 3, midY), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.right - 2, midY), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.right - 1, midY), rgb(kPanelGrey));
        // Bottom and top rows of the body, away from the tab and corners.
        int midX = r.left + 100;
        EXPECT_EQ(pixelOf(image, midX, r.bottom - 1), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, midX, r.bottom - 2), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, midX, r.bottom - 3), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, midX, r.bottom - 4), rgb(kSkyBlue));
        EXPECT_EQ(pixelOf(image, midX, r.top + 7), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, midX, r.top + 8), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, midX, r.top + 9), rgb(kBorderGrey));
        // Round corners: the corner points themselves are cut away, the ring runs diagonally inside.
        EXPECT_EQ(pixelOf(image, r.left + 1, r.top + 8), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.right - 2, r.top + 8), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.left + 1, r.bottom - 2), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.right - 2, r.bottom - 2), rgb(kPanelGrey));
        // On the diagonal of the top-left corner (radius 14, centre at 15,22 from the panel corner).
        EXPECT_EQ(pixelOf(image, r.left + 5, r.top + 12), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 8, r.top + 15), rgb(kSkyBlue));
        EXPECT_EQ(pixelOf(image, r.right - 6, r.bottom - 6), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.right - 9, r.bottom - 9), rgb(kSkyBlue));
        // Where the corner ring meets the straight border, both are at the same columns.
        EXPECT_EQ(pixelOf(image, r.right - 2, r.top + 20), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.right - 1, r.top + 20), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.left + 20, r.bottom - 2), rgb(kBorderGrey));
        // Title tab: border on its top row and sides, title colour inside.
        EXPECT_EQ(pixelOf(image, r.left + 45, r.top), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.left + 45, r.top + 1), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 19, r.top + 5), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 72, r.top + 5), rgb(kBorderGrey));
        EXPECT_EQ(pixelOf(image, r.left + 73, r.top + 5), rgb(kPanelGrey));
        EXPECT_EQ(pixelOf(image, r.left + 21, r.top + 11), rgb(kSkyBlue));
        // The tab's inside joins the body's: no border row under the tab.
        EXPECT_EQ(pixelOf(image, r.left + 21, r.top + 9), rgb(kSkyBlue));
        int titleInk = 0;
        for (int y = r.top + 1; y < r.top + 13; ++y)
            for (int x = r.left + 23; x < r.left + 68; ++x)
                titleInk += pixelOf(image, x, y) != rgb(kSkyBlue) ? 1 : 0;
        EXPECT_GT(titleInk, 15);
    }
}

TEST_F(EditorTest, EveryParameterHasItsControlCaptionAndReadout)
{
    render();
    int knobs = 0, switches = 0, sliders = 0;
    for (int32_t i = 0; i < kNumParams; ++i)
    {
        const auto& v = editor->views(i);
        ASSERT_NE(v.caption, nullptr) << i;
        ASSERT_NE(v.control, nullptr) << i;
        EXPECT_EQ(v.control->getTag(), i);
        if (dynamic_cast<RotaryKnob*>(v.control) != nullptr)
        {
            ++knobs;
            EXPECT_EQ(v.control->getRect().width(), 40);
            EXPECT_EQ(v.control->getRect().height(), 40);
            EXPECT_EQ(v.caption->getRect().left, v.control->getRect().left - 6);
            EXPECT_EQ(v.caption->getRect().top, v.control->getRect().top - 14);
            ASSERT_NE(v.readout, nullptr);
            EXPECT_EQ(v.readout->getRect().top, v.control->getRect().top + 42);
        }
        else if (dynamic_cast<ChoiceSwitch*>(v.control) != nullptr)
        {
            ++switches;
            EXPECT_EQ(v.readout, nullptr);
        }
        else if (dynamic_cast<BarSlider*>(v.control) != nullptr)
        {
            ++sliders;
            EXPECT_EQ(v.readout->getRect(), Rect::fromSize(11, 151, 30, 12));
        }
    }
    EXPECT_EQ(knobs, 34);
    EXPECT_EQ(switches, 3);
    EXPECT_EQ(sliders, 1);
    EXPECT_STREQ(editor->views(kVolume).caption->getText(), "Volume");
    EXPECT_STREQ(editor->views(kGain1).caption->getText(), "Decay");
    EXPECT_STREQ(editor->views(kFilterTopology).caption->getText(), "Flt. Pos.");
    EXPECT_EQ(windowRect(editor->views(kVolume).control), Rect::fromSize(25, 159, 40, 40));
    EXPECT_EQ(windowRect(editor->views(kPolarity2).control), Rect::fromSize(355, 149, 38, 26));
    EXPECT_EQ(windowRect(editor->views(kMix).control), Rect::fromSize(517, 49, 14, 120));
    EXPECT_EQ(windowRect(editor->views(kVelocity2Brightness).caption), Rect::fromSize(774, 225, 50, 12));
}

namespace
{

// Every row of the window's layout, written out independently of the editor's own table.
struct LayoutRow
{
    int panel; // index into kPanelBoxes
    int32_t param;
    const char* caption;
    char kind; // 'k' knob (placed from its anchor), 's' switch, 'b' bar slider
    Rect captionRect;
    Rect controlRect;
    Rect readoutRect;
    const char* entries[3];
};

constexpr LayoutRow knobRow(int panel, int32_t param, const char* caption, int x, int y)
{
    return {panel, param, caption, 'k', Rect::fromSize(x - 6, y, 50, 12), Rect::fromSize(x, y + 14, 40, 40),
            Rect::fromSize(x - 6, y + 56, 50, 12), {}};
}

const LayoutRow kLayout[] = {
    knobRow(0, kVolume, "Volume", 15, 15),
    knobRow(0, kBrightness, "Bright", 65, 15),
    knobRow(0, kAttack, "Attack", 15, 95),
    knobRow(0, kRelease, "Release", 65, 95),
    knobRow(1, kLFO1Freq, "A Freq", 15, 15),
    knobRow(1, kLFO1Amp, "A Amp", 65, 15),
    knobRow(1, kLFO2Freq, "B Freq", 115, 15),
    knobRow(1, kLFO2Amp, "B Amp", 165, 15),
    knobRow(1, kLFOWarpFreq, "Wrp F", 240, 15),
    knobRow(1, kLFOWarpAmp, "Wrp A", 290, 15),
    knobRow(2, kGain1, "Decay", 15, 15),
    knobRow(2, kCutoff1, "Cutoff", 65, 15),
    knobRow(2, kSaturation1, "Saturation", 115, 15),
    knobRow(2, kLeakage1, "Coupling", 190, 15),
    knobRow(2, kQuantization, "Quantize", 240, 15),
    knobRow(2, kLeakageCutoff, "Cpl Cutoff", 290, 15),
    knobRow(3, kGain2, "Decay", 15, 15),
    knobRow(3, kCutoff2, "Cutoff", 65, 15),
    knobRow(3, kSaturation2, "Saturation", 115, 15),
    knobRow(3, kDetune2, "Detune", 165, 15),
    {3, kPolarity2, "Polarity", 's', Rect::fromSize(209, 15, 50, 12), Rect::fromSize(215, 39, 38, 26), {},
     {"- ive", "+ ive", nullptr}},
    knobRow(3, kLeakage2, "Coupling", 290, 15),
    {4, kMix, "Mix", 'b', Rect::fromSize(9, 15, 30, 12), Rect::fromSize(17, 29, 14, 120),
     Rect::fromSize(11, 151, 30, 12), {}},
    {4, kFilterTopology, "Flt. Pos.", 's', Rect::fromSize(49, 15, 50, 12), Rect::fromSize(55, 32, 38, 39), {},
     {"A > B", "B > A", "Output"}},
    knobRow(4, kBodyType1, "Filter 1", 130, 15),
    knobRow(4, kBodyType2, "Filter 2", 180, 15),
    knobRow(4, kWarp, "Warp", 230, 15),
    knobRow(4, kResonance, "Res.", 280, 15),
    knobRow(4, kFilterOrder, "Order", 55, 95),
    knobRow(4, kFilterAttack, "Attack", 130, 95),
    knobRow(4, kFilterDecay, "Decay", 180, 95),
    knobRow(4, kFilterSustain, "Sustain", 230, 95),
    knobRow(4, kFilterRelease, "Release", 280, 95),
    {5, kQuality, "Quality", 's', Rect::fromSize(9, 15, 50, 12), Rect::fromSize(15, 39, 38, 26), {},
     {"normal", "high", nullptr}},
    knobRow(5, kPolyphony, "Voices", 105, 15),
    knobRow(5, kRandomPan, "Rand Pan", 180, 15),
    knobRow(5, kVelocity2Volume, "Vel > Vol", 230, 15),
    knobRow(5, kVelocity2Brightness, "Vel > Brt", 280, 15),
};

} // namespace

TEST_F(EditorTest, EveryRowOfTheLayoutInItsPanelAndOrder)
{
    render();
    size_t next[SynthEditor::kPanelCount] = {};
    for (const LayoutRow& row : kLayout)
    {
        SCOPED_TRACE(row.caption);
        SectionPanel* panel = editor->panel(row.panel);
        ASSERT_NE(panel, nullptr);
        const auto& v = editor->views(row.param);
        ASSERT_NE(v.caption, nullptr);
        ASSERT_NE(v.control, nullptr);
        EXPECT_STREQ(v.caption->getText(), row.caption);
        EXPECT_EQ(v.control->getTag(), row.param);
        // Caption first, then the control, then the read-out, in the order of the rows.
        size_t& n = next[row.panel];
        EXPECT_EQ(panel->child(n++), v.caption);
        EXPECT_EQ(panel->child(n++), v.control);
        EXPECT_EQ(v.caption->getRect(), row.captionRect);
        EXPECT_EQ(v.control->getRect(), row.controlRect);
        EXPECT_EQ(v.caption->getFontColour(), kGold);
        EXPECT_EQ(v.caption->getBackColour(), kTeal);
        EXPECT_STREQ(v.caption->getFont().face, "Arial");
        EXPECT_EQ(v.caption->getFont().size, 11);
        EXPECT_FALSE(v.caption->getFont().bold);
        if (row.kind == 's')
        {
            auto* choice = dynamic_cast<ChoiceSwitch*>(v.control);
            ASSERT_NE(choice, nullptr);
            EXPECT_EQ(v.readout, nullptr);
            int count = row.entries[2] != nullptr ? 3 : 2;
            ASSERT_EQ(choice->getCount(), count);
            for (int e = 0; e < count; ++e)
            {
                EXPECT_STREQ(choice->entryText(e, true), row.entries[e]);
                EXPECT_STREQ(choice->entryText(e, false), row.entries[e]);
            }
            EXPECT_STREQ(choice->getFont().face, "Arial");
            EXPECT_EQ(choice->getFont().size, 11);
            continue;
        }
        if (row.kind == 'k')
        {
            auto* knob = dynamic_cast<RotaryKnob*>(v.control);
            ASSERT_NE(knob, nullptr);
            EXPECT_EQ(knob->getInsetValue(), 8);
        }
        else
        {
            auto* slider = dynamic_cast<BarSlider*>(v.control);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->getStyle(), BarSlider::kCentre | BarSlider::kVertical);
        }
        ASSERT_NE(v.readout, nullptr);
        EXPECT_EQ(panel->child(n++), v.readout);
        EXPECT_EQ(v.readout->getRect(), row.readoutRect);
        EXPECT_EQ(v.readout->getFontColour(), kGold);
        EXPECT_EQ(v.readout->getBackColour(), kTeal);
        EXPECT_STREQ(v.readout->getFont().face, "Arial");
        EXPECT_EQ(v.readout->getFont().size, 11);
    }
    // Nothing else in the panels.
    for (int p = 0; p < SynthEditor::kPanelCount; ++p)
        EXPECT_EQ(editor->panel(p)->childCount(), next[p]) << kPanelBoxes[p].title;
}

TEST_F(EditorTest, CaptionAndReadoutColours)
{
    cairo_surface_t* image = render();
    Rect caption = windowRect(editor->views(kBrightness).caption);
    // Teal background without the top row and left column, which show the panel.
    EXPECT_EQ(pixelOf(image, caption.left, caption.top + 5), rgb(kSkyBlue));
    EXPECT_EQ(pixelOf(image, caption.left + 1, caption.top), rgb(kSkyBlue));
    EXPECT_EQ(pixelOf(image, caption.left + 1, caption.top + 1), rgb(kTeal));
    EXPECT_EQ(pixelOf(image, caption.right - 1, caption.bottom - 1), rgb(kTeal));
    EXPECT_GT(goldishCount(image, caption), 10);
    Rect readout = windowRect(editor->views(kBrightness).readout);
    EXPECT_EQ(pixelOf(image, readout.left + 1, readout.top + 1), rgb(kTeal));
    EXPECT_GT(goldishCount(image, readout), 10);
}

TEST_F(EditorTest, KnobHandleOnItsArcAtZeroHalfAndOne)
{
    struct Case
    {
        float value;
        double dx, dy; // handle centre from the knob centre
    };
    const Case cases[] = {{0.0f, -8.5, 8.5}, {0.5f, 0.0, -12.0}, {1.0f, 8.5, 8.5}};
    for (const Case& c : cases)
    {
        effect.setParameter(kBrightness, c.value);
        cairo_surface_t* image = render();
        Rect knob = windowRect(editor->views(kBrightness).control);
        double x = 0, y = 0;
        ASSERT_TRUE(goldCentre(image, knob, x, y)) << c.value;
        EXPECT_NEAR(x - (knob.left + 19.5), c.dx, 0.75) << c.value;
        EXPECT_NEAR(y - (knob.top + 19.5), c.dy, 0.75) << c.value;
        // The handle's white corners are transparent: the body shows through.
        EXPECT_NE(pixelOf(image, knob.left + 20 + static_cast<int>(c.dx) - 3,
                          knob.top + 20 + static_cast<int>(c.dy) - 3),
                  0xFFFFFFu);
    }
}

TEST_F(EditorTest, SliderBarRowsAtZeroHalfAndOne)
{
    struct Case
    {
        float value;
        int first, last; // bar rows inside the slider
    };
    const Case cases[] = {{1.0f, 2, 59}, {0.0f, 59, 117}, {0.5f, 59, 59}, {0.75f, 30, 59}};
    for (const Case& c : cases)
    {
        effect.setParameter(kMix, c.value);
        cairo_surface_t* image = render();
        Rect slider = windowRect(editor->views(kMix).control);
        SCOPED_TRACE(c.value);
        for (int row = 0; row < slider.height(); ++row)
        {
            bool inBar = row >= c.first && row <= c.last;
            for (int column : {2, 6, 11})
                EXPECT_EQ(pixelOf(image, slider.left + column, slider.top + row), rgb(inBar ? kGold : kTeal))
                    << "row " << row << " column " << column;
            EXPECT_EQ(pixelOf(image, slider.left + 12, slider.top + row), rgb(kTeal)) << row;
            EXPECT_EQ(pixelOf(image, slider.left + 1, slider.top + row), rgb(kTeal)) << row;
        }
    }
}

TEST_F(EditorTest, SwitchShowsTheEntryItsValueFallsIn)
{
    struct Case
    {
        int32_t param;
        float value;
        int selected;
    };
    const Case cases[] = {
        {kPolarity2, 0.0f, 0},          {kPolarity2, 0.5f, 0},  {kPolarity2, 0.5002f, 1},
        {kPolarity2, 1.0f, 1},          {kQuality, 0.5f, 0},    {kQuality, 0.6f, 1},
        {kFilterTopology, 0.0f, 0},     {kFilterTopology, 1.0f / 3.0f + 0.0001f, 0},
        {kFilterTopology, 0.3336f, 1},  {kFilterTopology, 0.6667f, 1},
        {kFilterTopology, 0.6668f, 2},  {kFilterTopology, 1.0f, 2},
    };
    for (const Case& c : cases)
    {
        effect.setParameter(c.param, c.value);
        cairo_surface_t* image = render();
        auto* choice = static_cast<ChoiceSwitch*>(editor->views(c.param).control);
        SCOPED_TRACE(testing::Message() << c.param << " at " << c.value);
        EXPECT_EQ(choice->selectedEntry(), c.selected);
        Rect r = windowRect(choice);
        int n = choice->getCount();
        for (int entry = 0; entry < n; ++entry)
        {
            int y = r.top + entry * r.height() / n;
            Rect cell{r.left + 1, y + 2, r.right, y + r.height() / n - 1};
            // Teal cells, gold text only in the selected one.
            EXPECT_EQ(pixelOf(image, r.left + 1, y + 2), rgb(kTeal));
            int gold = goldishCount(image, cell);
            int sky = skyishCount(image, cell);
            if (entry == c.selected)
            {
                EXPECT_GT(gold, 5) << entry;
                EXPECT_EQ(sky, 0) << entry;
            }
            else
            {
                EXPECT_EQ(gold, 0) << entry;
                EXPECT_GT(sky, 5) << entry; // sky-blue text on the other entries
            }
        }
        // Between the cells the panel shows.
        EXPECT_EQ(pixelOf(image, r.left + 5, r.top + 13), rgb(kSkyBlue));
    }
}
