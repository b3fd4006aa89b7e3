// After any mix of user input and host changes the window shows exactly what a fresh open of the same values shows.
#include "ControlHarness.h"
#include "FakeController.h"

#include "dsp/RandomSource.h"
#include "toolkit/RotaryKnob.h"

#include <gtest/gtest.h>

#include <cairo.h>

#include <array>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace toolkit;

namespace
{

constexpr uint32_t kSeed = 1201u;
constexpr int kSequences = 300;
constexpr int kMaxSteps = 6;
constexpr int kMaxDragPasses = 4;
constexpr int kPacedEvery = 30; // every so many sequences the idle work keeps its real pacing

// The idle work during mouse tracking without its waiting: every pass of a drag runs the window's idle and
// the host's master idle, which the real one does at most every 100 ms, waiting 4 ms on the other passes.
// So every drag pass may draw, which is where a drag can spoil the picture, and the test stays fast.
class EagerIdleEditor : public SynthEditor
{
public:
    explicit EagerIdleEditor(FakeController& effect) : SynthEditor(&effect), fFake(effect) {}

    void doIdleStuff() override
    {
        if (paced)
        {
            SynthEditor::doIdleStuff();
            return;
        }
        idle();
        fFake.idleHost();
    }

    bool paced = false;

private:
    FakeController& fFake;
};

int below(int n)
{
    return RandomSource::rand() % n;
}

bool chance(int oneIn)
{
    return below(oneIn) == 0;
}

// 0..1 in steps of 1/32767.
float unit()
{
    return static_cast<float>(RandomSource::rand()) / static_cast<float>(RandomSource::kMax);
}

// The byte above red is not part of a 24-bit pixel.
constexpr uint32_t kRgb = 0xFFFFFFu;

struct Picture
{
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Into a picture kept from one sequence to the next, row by row as the image holds it.
void capture(cairo_surface_t* image, Picture& p)
{
    cairo_surface_flush(image);
    p.width = cairo_image_surface_get_width(image);
    p.height = cairo_image_surface_get_height(image);
    p.pixels.resize(static_cast<size_t>(p.width * p.height));
    const unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(&p.pixels[static_cast<size_t>(y * p.width)], data + y * stride,
                    static_cast<size_t>(p.width) * sizeof(uint32_t));
}

void writePng(const Picture& p, const std::string& path)
{
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, p.width, p.height);
    unsigned char* data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            reinterpret_cast<uint32_t*>(data + y * stride)[x] = p.pixels[static_cast<size_t>(y * p.width + x)] & kRgb;
    cairo_surface_mark_dirty(image);
    cairo_surface_write_to_png(image, path.c_str());
    cairo_surface_destroy(image);
}

// How many pixels differ, and the rectangle around them.
struct Difference
{
    int count = 0;
    Rect box{1 << 30, 1 << 30, -1, -1};
};

Difference compare(const Picture& a, const Picture& b)
{
    Difference d;
    if (a.width != b.width || a.height != b.height)
    {
        d.count = -1;
        return d;
    }
    if (a.pixels == b.pixels)
        return d;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
        {
            size_t i = static_cast<size_t>(y * a.width + x);
            if (((a.pixels[i] ^ b.pixels[i]) & kRgb) == 0)
                continue;
            ++d.count;
            d.box = {std::min(d.box.left, x), std::min(d.box.top, y), std::max(d.box.right, x + 1),
                     std::max(d.box.bottom, y + 1)};
        }
    return d;
}

enum class Kind
{
    knob,
    slider,
    choice,
};

struct Target
{
    int32_t param;
    Kind kind;
    Rect rect; // in window coordinates
};

enum Action
{
    kKnobDrag,
    kSliderPress,
    kSwitchClick,
    kWheel,
    kArrowKey,
    kHostChange,
    kBulkChange,
    kHostIdle,
    kActionCount,
};

// One editor over the fake plug-in, driven by random input; every sequence ends with a comparison against a
// fresh open, which is also where the next sequence starts.
class RedrawSession
{
public:
    RedrawSession()
    {
        owned = std::make_unique<EagerIdleEditor>(effect);
        editor = owned.get();
        effect.fEditor = editor;
        open();
        for (int32_t i = 0; i < SynthEditor::kParamCount; ++i)
        {
            Control* control = editor->views(i).control;
            Point origin = control->parentOrigin();
            Kind kind = dynamic_cast<RotaryKnob*>(control) != nullptr ? Kind::knob
                        : dynamic_cast<BarSlider*>(control) != nullptr ? Kind::slider
                                                                       : Kind::choice;
            targets[static_cast<size_t>(kind)].push_back({i, kind, control->getRect().offset(origin.x, origin.y)});
        }
    }

    void open()
    {
        editor->openOffscreen();
        editor->getFrame()->setMouseSource(&mouse);
    }

    void step()
    {
        auto action = static_cast<Action>(below(kActionCount));
        ++counts[action];
        switch (action)
        {
        case kKnobDrag:
            knobDrag(pick(Kind::knob));
            break;
        case kSliderPress:
            sliderPress(pick(Kind::slider));
            break;
        case kSwitchClick:
        {
            const Target& t = pick(Kind::choice);
            Point p = inside(t.rect);
            log << " click(" << t.param << " at " << p.x << "," << p.y << ")";
            press(p, kLButton, {});
            break;
        }
        case kWheel:
            wheel();
            break;
        case kArrowKey:
        {
            KeyCode key{0, static_cast<unsigned char>(kKeyLeft + below(4)), chance(2) ? kModifierShift : uint8_t{0}};
            log << " key(" << int{key.virt} << (key.modifier != 0 ? " shift" : "") << ")";
            editor->getFrame()->onKeyDown(key);
            if (chance(2))
                editor->getFrame()->onKeyUp(key);
            break;
        }
        case kHostChange:
            hostChange();
            break;
        case kBulkChange:
            log << " program";
            for (int32_t i = 0; i < SynthEditor::kParamCount; ++i)
                effect.setParameter(i, unit());
            break;
        case kHostIdle:
            log << " idle";
            editor->idle();
            break;
        default:
            break;
        }
    }

    // A change from the plug-in's side, now and then just outside the range (values are stored unclamped).
    void hostChange()
    {
        int32_t i = below(SynthEditor::kParamCount);
        float v = chance(8) ? unit() * 1.2f - 0.1f : unit();
        log << " host(" << i << "=" << v << ")";
        effect.setParameter(i, v);
    }

    std::array<int, kActionCount> counts{};
    std::ostringstream log;
    ScriptedMouse mouse;
    FakeController effect;
    std::unique_ptr<EagerIdleEditor> owned;
    EagerIdleEditor* editor = nullptr;

private:
    const Target& pick(Kind kind)
    {
        const auto& list = targets[static_cast<size_t>(kind)];
        return list[static_cast<size_t>(below(static_cast<int>(list.size())))];
    }
    static Point inside(const Rect& r) { return {r.left + below(r.width()), r.top + below(r.height())}; }
    static Point around(const Rect& r, int spread)
    {
        return {(r.left + r.right) / 2 - spread + below(2 * spread + 1),
                (r.top + r.bottom) / 2 - spread + below(2 * spread + 1)};
    }

    // The press, then a few pointer moves with the button held, then the release. While the host idles
    // during the drag, it may change parameters or run the editor's idle from inside its master idle.
    void press(Point where, int buttons, std::vector<std::pair<Point, int>> moves)
    {
        effect.fOnIdle = [this] {
            if (chance(4))
                hostChange();
            if (chance(8))
                editor->idle();
        };
        mouse.moves = std::move(moves);
        mouse.index = -1;
        mouse.reads = 0;
        mouse.pressButtons = buttons;
        editor->getFrame()->onMouseDown(where, buttons);
        effect.fOnIdle = nullptr;
    }

    std::vector<std::pair<Point, int>> dragMoves(const Rect& r, int buttons, int spread, bool toggleShift)
    {
        std::vector<std::pair<Point, int>> moves;
        int passes = below(kMaxDragPasses);
        for (int n = 0; n < passes; ++n)
        {
            int held = buttons;
            if (toggleShift && chance(3))
                held ^= kShift;
            moves.push_back({around(r, spread), held});
        }
        moves.push_back({around(r, spread), 0});
        return moves;
    }

    void knobDrag(const Target& t)
    {
        int mode = below(3); // circular, relative circular, linear
        RotaryKnob::setKnobMode(mode);
        static constexpr int kPresses[] = {kLButton, kLButton, kLButton | kShift, kLButton | kControl};
        int buttons = kPresses[below(4)];
        Point p = inside(t.rect);
        log << " knob(" << t.param << " mode " << mode << " buttons " << buttons << ")";
        press(p, buttons, dragMoves(t.rect, buttons, 60, mode == kLinearMode));
    }

    void sliderPress(const Target& t)
    {
        static constexpr int kPresses[] = {kLButton, kLButton | kShift, kRButton | kShift, kLButton | kControl,
                                           kLButton | kAlt, kRButton};
        int buttons = kPresses[below(6)];
        Point p = inside(t.rect);
        log << " slider(" << p.y - t.rect.top << " buttons " << buttons << ")";
        press(p, buttons, dragMoves(t.rect, buttons, 80, false));
    }

    // At a control under the pointer, or the host's wheel, which goes to the focus view.
    void wheel()
    {
        float distance = static_cast<float>(below(5) - 2) + (chance(3) ? 0.5f : 0.0f);
        int buttons = chance(3) ? kShift : 0;
        if (chance(3))
        {
            log << " wheel(focus " << distance << ")";
            editor->getFrame()->onWheelAt({0, 0}, distance, buttons, true);
            return;
        }
        const Target& t = pick(chance(3) ? Kind::slider : Kind::knob);
        log << " wheel(" << t.param << " " << distance << " buttons " << buttons << ")";
        editor->getFrame()->onWheelAt(inside(t.rect), distance, buttons);
    }

    std::array<std::vector<Target>, 3> targets;
};

} // namespace

TEST(RedrawPropertyTest, AfterAnyInputTheWindowShowsWhatAFreshOpenShows)
{
    RandomSource::seed(kSeed);
    RedrawSession session;
    Picture shown;
    Picture fresh;
    for (int s = 0; s < kSequences; ++s)
    {
        session.log.str("");
        session.editor->paced = s % kPacedEvery == 0;
        int steps = 1 + below(kMaxSteps);
        for (int n = 0; n < steps; ++n)
            session.step();
        // The host's next idle after the input.
        session.editor->idle();
        capture(session.editor->getFrame()->image(), shown);
        session.open();
        capture(session.editor->getFrame()->image(), fresh);
        Difference d = compare(shown, fresh);
        if (d.count != 0)
        {
            std::string base = std::string(ZENTHARODE_TEST_OUTPUT) + "/redraw-";
            writePng(shown, base + "shown.png");
            writePng(fresh, base + "fresh.png");
            FAIL() << "sequence " << s << ":" << session.log.str() << "\n"
                   << d.count << " pixels differ from a fresh open, within (" << d.box.left << ", " << d.box.top
                   << ") - (" << d.box.right << ", " << d.box.bottom << "); pictures in " << base << "*.png";
        }
        session.effect.fCalls.clear();
    }
    // The random sequences reached every kind of input.
    for (int a = 0; a < kActionCount; ++a)
        EXPECT_GT(session.counts[static_cast<size_t>(a)], kSequences / kActionCount) << "action " << a;
    RotaryKnob::setKnobMode(kCircularMode);
}
