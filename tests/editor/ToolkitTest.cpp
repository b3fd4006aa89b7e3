// The view toolkit: drawing conventions, bitmaps, the rotary knob, the frame's routing and dropped address lists.
#include "ControlHarness.h"
#include "Pixels.h"

#include "resources/Resources.h"
#include "toolkit/Bitmap.h"
#include "toolkit/RotaryKnob.h"
#include "toolkit/UriList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace toolkit;

namespace
{
constexpr Colour kRed{200, 0, 0};
constexpr Colour kBlue{0, 0, 200};
constexpr Colour kGrey{90, 90, 90};

int countColour(DrawContext& context, int width, int height, Colour colour)
{
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            n += context.pixelAt({x, y}) == colour.pixel() ? 1 : 0;
    return n;
}
} // namespace

TEST(DrawContextTest, FilledRectangleLeavesOutTopRowAndLeftColumn)
{
    OffscreenContext context(20, 20, kGrey);
    context.setFillColour(kRed);
    context.fillRect({2, 3, 10, 8});
    EXPECT_EQ(countColour(context, 20, 20, kRed), 7 * 4);
    EXPECT_EQ(context.pixelAt({3, 4}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({9, 7}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({2, 5}), kGrey.pixel());
    EXPECT_EQ(context.pixelAt({5, 3}), kGrey.pixel());
    EXPECT_EQ(context.pixelAt({10, 5}), kGrey.pixel());
}

TEST(DrawContextTest, OutlineIncludesAllFourEdges)
{
    OffscreenContext context(20, 20, kGrey);
    context.setFrameColour(kBlue);
    context.drawRect({2, 3, 10, 8});
    EXPECT_EQ(countColour(context, 20, 20, kBlue), 2 * 9 + 2 * 4);
    for (Point p : {Point{2, 3}, Point{10, 3}, Point{2, 8}, Point{10, 8}})
        EXPECT_EQ(context.pixelAt(p), kBlue.pixel());
    EXPECT_EQ(context.pixelAt({5, 5}), kGrey.pixel());
    // A rectangle of no height is a line.
    context.drawRect({0, 15, 19, 15});
    EXPECT_EQ(context.pixelAt({0, 15}), kBlue.pixel());
    EXPECT_EQ(context.pixelAt({19, 15}), kBlue.pixel());
    EXPECT_EQ(context.pixelAt({5, 16}), kGrey.pixel());
}

TEST(DrawContextTest, EllipseIsInscribedOnePixelRightAndDown)
{
    OffscreenContext context(30, 30, kGrey);
    context.setFillColour(kRed);
    context.fillEllipse({0, 0, 20, 20});
    // Spans pixels 1..20 through its middle, symmetric around 10.5.
    EXPECT_EQ(context.pixelAt({1, 10}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({20, 10}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({0, 10}), kGrey.pixel());
    EXPECT_EQ(context.pixelAt({21, 10}), kGrey.pixel());
    EXPECT_EQ(context.pixelAt({10, 1}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({10, 20}), kRed.pixel());
    EXPECT_EQ(context.pixelAt({1, 1}), kGrey.pixel());
    int area = countColour(context, 30, 30, kRed);
    EXPECT_NEAR(area, M_PI * 100.0, 12.0);
}

TEST(DrawContextTest, FloodFillStaysInsideAnOutline)
{
    OffscreenContext context(20, 20, kGrey);
    context.setFrameColour(kBlue);
    context.drawRect({2, 2, 12, 9});
    context.setFillColour(kBlue);
    context.floodFill({7, 5});
    EXPECT_EQ(countColour(context, 20, 20, kBlue), 11 * 8);
    EXPECT_EQ(context.pixelAt({13, 5}), kGrey.pixel());
    // Filling with the colour already there, or outside the image, changes nothing.
    context.floodFill({7, 5});
    context.floodFill({-1, 50});
    EXPECT_EQ(countColour(context, 20, 20, kBlue), 11 * 8);
    // An open region fills everything it touches.
    context.setFillColour(kRed);
    context.floodFill({0, 0});
    EXPECT_EQ(countColour(context, 20, 20, kRed), 400 - 11 * 8);
}

TEST(DrawContextTest, TextIsCentredAndClippedToItsRectangle)
{
    OffscreenContext context(100, 20, kGrey);
    context.setFont(kSmallFont);
    context.setFontColour(kWhite);
    context.drawString("Volume", {20, 2, 80, 14});
    int minX = 100, maxX = -1;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            if (context.pixelAt({x, y}) != kGrey.pixel())
            {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                ASSERT_TRUE(y >= 2 && y < 14);
            }
    ASSERT_GT(maxX, minX);
    EXPECT_NEAR((minX + maxX) / 2.0, 50.0, 2.0);
    // Too wide a text is cut at the rectangle's edges.
    OffscreenContext narrow(100, 20, kGrey);
    narrow.setFontColour(kWhite);
    narrow.drawString("A very long caption indeed", {40, 2, 60, 14});
    for (int y = 0; y < 20; ++y)
    {
        EXPECT_EQ(narrow.pixelAt({39, y}), kGrey.pixel());
        EXPECT_EQ(narrow.pixelAt({60, y}), kGrey.pixel());
    }
}

TEST(DrawContextTest, MalformedTextDoesNotStopLaterDrawing)
{
    OffscreenContext context(60, 20, kGrey);
    context.setFontColour(kWhite);
    context.drawString("bad \xff\xfe utf-8 \xc3", {0, 0, 60, 20});
    context.setFillColour(kRed);
    context.fillRect({0, 0, 10, 10});
    EXPECT_EQ(context.pixelAt({5, 5}), kRed.pixel());
    EXPECT_EQ(context.stringWidth(nullptr), 0);
    context.drawString(nullptr, {0, 0, 60, 20});
}

TEST(BitmapTest, ResourcesHaveTheirSizesAndMissingOnesAreEmpty)
{
    EXPECT_EQ(Bitmap::load(resources::kBackgroundBitmap)->width(), 851);
    EXPECT_EQ(Bitmap::load(resources::kBackgroundBitmap)->height(), 311);
    EXPECT_EQ(Bitmap::load(resources::kKnobBodyBitmap)->width(), 40);
    EXPECT_EQ(Bitmap::load(resources::kKnobHandleBitmap)->height(), 7);
    auto missing = Bitmap::load(99);
    EXPECT_EQ(missing->width(), 0);
    EXPECT_EQ(missing->height(), 0);
    const unsigned char garbage[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(Bitmap::fromPng(garbage, sizeof(garbage))->width(), 0);
    OffscreenContext context(10, 10, kGrey);
    missing->draw(context, {0, 0, 10, 10});
    missing->drawTransparent(context, {0, 0, 10, 10});
    EXPECT_EQ(countColour(context, 10, 10, kGrey), 100);
}

TEST(BitmapTest, BackgroundIsFlatGreyWithLightMarksTopLeft)
{
    auto background = Bitmap::load(resources::kBackgroundBitmap);
    OffscreenContext context(851, 311, kBlack);
    background->draw(context, {0, 0, 851, 311});
    EXPECT_EQ(context.pixelAt({0, 0}), 0x808080u);
    EXPECT_EQ(context.pixelAt({850, 310}), 0x808080u);
    EXPECT_EQ(context.pixelAt({400, 150}), 0x808080u);
    int light = 0;
    for (int y = 0; y < 125; ++y)
        for (int x = 0; x < 135; ++x)
            light += (context.pixelAt({x, y}) & 0xFF) > 0xA0 ? 1 : 0;
    EXPECT_GT(light, 300);
}

TEST(BitmapTest, KnobColoursAndWhiteLeftOutOfTheHandle)
{
    auto body = Bitmap::load(resources::kKnobBodyBitmap);
    OffscreenContext context(40, 40, kBlack);
    body->draw(context, {0, 0, 40, 40});
    EXPECT_EQ(context.pixelAt({0, 0}), 0x4BB7E4u);   // sky blue corner
    EXPECT_EQ(context.pixelAt({20, 20}), 0x167096u); // teal disc
    auto handle = Bitmap::load(resources::kKnobHandleBitmap);
    OffscreenContext spot(7, 7, kRed);
    handle->drawTransparent(spot, {0, 0, 7, 7});
    EXPECT_EQ(spot.pixelAt({3, 3}), 0xE4BD1Fu); // gold
    EXPECT_EQ(spot.pixelAt({0, 0}), kRed.pixel());
    EXPECT_EQ(countColour(spot, 7, 7, Colour{255, 255, 255}), 0);
}

struct KnobTest : ::testing::Test
{
    KnobTest() { RotaryKnob::setKnobMode(kCircularMode); }
    ~KnobTest() override { RotaryKnob::setKnobMode(kCircularMode); }
    RotaryKnob* knob(float value)
    {
        auto k = std::make_unique<RotaryKnob>(Rect::fromSize(100, 100, 40, 40), &h.listener, 7,
                                              Bitmap::load(resources::kKnobBodyBitmap),
                                              Bitmap::load(resources::kKnobHandleBitmap));
        k->setInsetValue(8);
        k->setValue(value);
        return h.add(std::move(k));
    }
    Harness h;
};

TEST_F(KnobTest, HandleSitsOnTheArcFromLowerLeftOverTheTopToLowerRight)
{
    RotaryKnob* k = knob(0.0f);
    auto centre = [&] {
        Rect r = k->handleRect();
        return std::make_pair(r.left + 3.5 - 120.0, r.top + 3.5 - 120.0);
    };
    auto [x0, y0] = centre();
    EXPECT_NEAR(x0, -12.0 * std::sqrt(0.5), 0.5);
    EXPECT_NEAR(y0, 12.0 * std::sqrt(0.5), 0.5);
    k->setValue(0.5f);
    auto [x1, y1] = centre();
    EXPECT_NEAR(x1, 0.0, 0.5);
    EXPECT_NEAR(y1, -12.0, 0.5);
    k->setValue(1.0f);
    auto [x2, y2] = centre();
    EXPECT_NEAR(x2, 12.0 * std::sqrt(0.5), 0.5);
    EXPECT_NEAR(y2, 12.0 * std::sqrt(0.5), 0.5);
    // Stored values beyond the range are drawn at the ends.
    k->setValue(5.0f);
    EXPECT_EQ(k->handleRect(), (k->setValue(1.0f), k->handleRect()));
}

TEST_F(KnobTest, CircularDragFollowsTheAngleAndIsBracketed)
{
    RotaryKnob* k = knob(0.0f);
    // Straight above the centre is the middle, straight right is 5/6 of the way.
    h.press({120, 101}, kLButton, {{{139, 120}, kLButton}, {{139, 120}, 0}});
    ASSERT_EQ(h.listener.values.size(), 2u);
    EXPECT_NEAR(h.listener.values[0], 0.5f, 0.03f);
    EXPECT_NEAR(h.listener.values[1], 225.0f / 270.0f, 0.03f);
    ASSERT_EQ(h.owner.edits.size(), 2u);
    EXPECT_EQ(h.owner.edits[0], std::make_pair(true, 7));
    EXPECT_EQ(h.owner.edits[1], std::make_pair(false, 7));
    // In the gap below the knob the value stays at the end it was nearest.
    EXPECT_EQ(k->valueFromAngle({120, 139}, 0.9f), 1.0f);
    EXPECT_EQ(k->valueFromAngle({120, 139}, 0.1f), 0.0f);
}

TEST_F(KnobTest, LinearDragCoversTheRangeIn200PixelsOr300WithShift)
{
    RotaryKnob::setKnobMode(kLinearMode);
    RotaryKnob* k = knob(0.2f);
    h.press({120, 120}, kLButton, {{{170, 120}, kLButton}, {{170, 120}, 0}});
    EXPECT_NEAR(k->getValue(), 0.45f, 1e-5f);
    h.press({120, 120}, kLButton | kShift, {{{120, 60}, kLButton | kShift}, {{120, 60}, 0}});
    EXPECT_NEAR(k->getValue(), 0.65f, 1e-5f);
    h.press({120, 120}, kLButton, {{{420, 120}, kLButton}, {{420, 120}, 0}});
    EXPECT_EQ(k->getValue(), 1.0f);
}

TEST_F(KnobTest, ControlClickWheelAndKeys)
{
    RotaryKnob* k = knob(0.9f);
    h.press({120, 120}, kLButton | kControl);
    EXPECT_EQ(k->getValue(), 0.5f);
    EXPECT_EQ(h.owner.edits.size(), 2u);
    EXPECT_TRUE(h.frame.onWheelAt({120, 120}, 1.0f, 0));
    EXPECT_FLOAT_EQ(k->getValue(), 0.6f);
    KeyCode down{0, kKeyDown, kModifierShift};
    EXPECT_EQ(k->onKeyDown(down), 1);
    EXPECT_FLOAT_EQ(k->getValue(), 0.59f);
    KeyCode other{'x', 0, 0};
    EXPECT_EQ(k->onKeyDown(other), -1);
    // A press without the left button does nothing.
    h.press({120, 120}, kRButton);
    EXPECT_FLOAT_EQ(k->getValue(), 0.59f);
}

namespace
{
class FocusView : public Control
{
public:
    using Control::Control;
    void looseFocus() override { ++lost; }
    int32_t onKeyDown(KeyCode&) override { return 42; }
    int lost = 0;
};
} // namespace

TEST(FrameTest, ClickedControlTakesTheFocusAndTheOldOneIsTold)
{
    Harness h;
    auto* a = h.add(std::make_unique<FocusView>(Rect::fromSize(0, 0, 10, 10), nullptr, 1));
    auto* b = h.add(std::make_unique<FocusView>(Rect::fromSize(20, 0, 10, 10), nullptr, 2));
    KeyCode key;
    EXPECT_EQ(h.frame.onKeyDown(key), -1);
    h.press({5, 5}, kLButton);
    EXPECT_EQ(h.frame.getFocusView(), a);
    EXPECT_EQ(h.frame.onKeyDown(key), 42);
    h.press({25, 5}, kLButton);
    EXPECT_EQ(h.frame.getFocusView(), b);
    EXPECT_EQ(a->lost, 1);
    EXPECT_EQ(b->lost, 0);
}

TEST(FrameTest, DropsReachTheViewUnderThePointerInItsParentsCoordinates)
{
    struct DropView : View
    {
        using View::View;
        bool onDrop(const char* const* items, int count, int kind, Point where) override
        {
            first = items[0];
            n = count;
            k = kind;
            at = where;
            return true;
        }
        std::string first;
        int n = 0;
        int k = -1;
        Point at;
    };
    Harness h;
    auto* panel = h.frame.addView(std::make_unique<ViewContainer>(Rect::fromSize(100, 50, 200, 100), &h.frame, kGrey));
    auto* target = panel->addView(std::make_unique<DropView>(Rect::fromSize(10, 10, 50, 12)));
    const char* items[] = {"/tmp/a.wav"};
    EXPECT_TRUE(h.frame.onDropAt(items, 1, kDropFiles, {125, 65}));
    EXPECT_EQ(target->first, "/tmp/a.wav");
    EXPECT_EQ(target->at, (Point{25, 15}));
    EXPECT_FALSE(h.frame.onDropAt(items, 1, kDropFiles, {5, 5}));
    EXPECT_FALSE(h.frame.onDropAt(nullptr, 1, kDropFiles, {125, 65}));
}

TEST(FrameTest, NoWindowWithoutParentOrDisplay)
{
    Frame headless({0, 0, 10, 10}, nullptr, nullptr);
    EXPECT_FALSE(headless.hasWindow());
    const char* saved = std::getenv("DISPLAY");
    std::string keep = saved != nullptr ? saved : "";
    unsetenv("DISPLAY");
    Frame noDisplay({0, 0, 10, 10}, reinterpret_cast<void*>(0x1234), nullptr);
    EXPECT_FALSE(noDisplay.hasWindow());
    noDisplay.idle();
    if (saved != nullptr)
        setenv("DISPLAY", keep.c_str(), 1);
}

TEST(UriListTest, FileAddressesBecomeDecodedPaths)
{
    DropItems drop = parseUriList("# comment\r\nfile:///home/me/My%20Song.wav\r\nfile://host/tmp/b%C3%A9.aif\r\n"
                                  "file:/x/y\r\n\r\n");
    EXPECT_EQ(drop.kind, kDropFiles);
    ASSERT_EQ(drop.items.size(), 3u);
    EXPECT_EQ(drop.items[0], "/home/me/My Song.wav");
    EXPECT_EQ(drop.items[1], "/tmp/b\xC3\xA9.aif");
    EXPECT_EQ(drop.items[2], "/x/y");
}

TEST(UriListTest, OtherAddressesAndBadEscapesAreKeptAsText)
{
    DropItems web = parseUriList("https://zentharode.example/\nfile:///a\n");
    EXPECT_EQ(web.kind, kDropText);
    ASSERT_EQ(web.items.size(), 2u);
    EXPECT_EQ(web.items[0], "https://zentharode.example/");
    DropItems odd = parseUriList("file:///a%zz%4");
    ASSERT_EQ(odd.items.size(), 1u);
    EXPECT_EQ(odd.items[0], "/a%zz%4");
    DropItems zero = parseUriList(std::string_view("file:///a%00b", 13));
    EXPECT_EQ(zero.items[0], "/a%00b");
    EXPECT_TRUE(parseUriList("").items.empty());
    EXPECT_TRUE(parseUriList("file://hostonly").items.size() == 1u);
    EXPECT_EQ(parseUriList("file://hostonly").kind, kDropText);
}
