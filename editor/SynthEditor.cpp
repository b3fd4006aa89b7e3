// The editor window: layout, building the views from the plug-in's values, and the traffic both ways.
#include "SynthEditor.h"

#include "EditorColours.h"

#include "params/Parameters.h"
#include "resources/Resources.h"
#include "toolkit/RotaryKnob.h"

#include <chrono>
#include <thread>

using namespace toolkit;

namespace
{

static_assert(SynthEditor::kParamCount == kNumParams);

struct PanelLayout
{
    const char* title;
    Rect rect;
};

// In the order they are added to the frame.
constexpr PanelLayout kPanels[SynthEditor::kPanelCount] = {
    {"Main", Rect::fromSize(10, 130, 120, 173)},   {"LFOs", Rect::fromSize(140, 210, 350, 93)},
    {"String A", Rect::fromSize(140, 10, 350, 93)}, {"String B", Rect::fromSize(140, 110, 350, 93)},
    {"Filter", Rect::fromSize(500, 20, 340, 173)},  {"Misc", Rect::fromSize(500, 210, 340, 93)},
};
enum PanelIndex
{
    kMainPanel,
    kLfoPanel,
    kStringAPanel,
    kStringBPanel,
    kFilterPanel,
    kMiscPanel,
};

enum class GroupKind
{
    knob,
    slider,
    choice,
};

constexpr int kMaxGroupChoices = 3;

// A caption, its control and (except for switches) a read-out; positions are relative to the panel.
struct ControlGroup
{
    int panel;
    int32_t param;
    const char* caption;
    GroupKind kind;
    Point anchor;      // knobs: everything is placed from here
    Rect captionRect;  // sliders and switches
    Rect controlRect;  // sliders and switches
    Rect readoutRect;  // sliders
    const char* choices[kMaxGroupChoices];
};

constexpr ControlGroup knob(int panel, int32_t param, const char* caption, int x, int y)
{
    return {panel, param, caption, GroupKind::knob, {x, y}, {}, {}, {}, {}};
}

constexpr ControlGroup choice(int panel, int32_t param, const char* caption, Rect captionRect, Rect controlRect,
                              const char* a, const char* b, const char* c = nullptr)
{
    return {panel, param, caption, GroupKind::choice, {}, captionRect, controlRect, {}, {a, b, c}};
}

constexpr int kCaptionWidth = 50;
constexpr int kTextHeight = 12;
constexpr int kKnobTop = 14;     // knob below its anchor
constexpr int kReadoutTop = 56;  // read-out below its anchor
constexpr int kTextInset = 6;    // caption and read-out start left of the anchor

// In the order of creation within each panel.
constexpr ControlGroup kGroups[] = {
    knob(kMainPanel, kVolume, "Volume", 15, 15),
    knob(kMainPanel, kBrightness, "Bright", 65, 15),
    knob(kMainPanel, kAttack, "Attack", 15, 95),
    knob(kMainPanel, kRelease, "Release", 65, 95),
    knob(kLfoPanel, kLFO1Freq, "A Freq", 15, 15),
    knob(kLfoPanel, kLFO1Amp, "A Amp", 65, 15),
    knob(kLfoPanel, kLFO2Freq, "B Freq", 115, 15),
    knob(kLfoPanel, kLFO2Amp, "B Amp", 165, 15),
    knob(kLfoPanel, kLFOWarpFreq, "Wrp F", 240, 15),
    knob(kLfoPanel, kLFOWarpAmp, "Wrp A", 290, 15),
    knob(kStringAPanel, kGain1, "Decay", 15, 15),
    knob(kStringAPanel, kCutoff1, "Cutoff", 65, 15),
    knob(kStringAPanel, kSaturation1, "Saturation", 115, 15),
    knob(kStringAPanel, kLeakage1, "Coupling", 190, 15),
    knob(kStringAPanel, kQuantization, "Quantize", 240, 15),
    knob(kStringAPanel, kLeakageCutoff, "Cpl Cutoff", 290, 15),
    knob(kStringBPanel, kGain2, "Decay", 15, 15),
    knob(kStringBPanel, kCutoff2, "Cutoff", 65, 15),
    knob(kStringBPanel, kSaturation2, "Saturation", 115, 15),
    knob(kStringBPanel, kDetune2, "Detune", 165, 15),
    choice(kStringBPanel, kPolarity2, "Polarity", Rect::fromSize(209, 15, 50, 12), Rect::fromSize(215, 39, 38, 26),
           "- ive", "+ ive"),
    knob(kStringBPanel, kLeakage2, "Coupling", 290, 15),
    {kFilterPanel, kMix, "Mix", GroupKind::slider, {}, Rect::fromSize(9, 15, 30, 12), Rect::fromSize(17, 29, 14, 120),
     Rect::fromSize(11, 151, 30, 12), {}},
    choice(kFilterPanel, kFilterTopology, "Flt. Pos.", Rect::fromSize(49, 15, 50, 12), Rect::fromSize(55, 32, 38, 39),
           "A > B", "B > A", "Output"),
    knob(kFilterPanel, kBodyType1, "Filter 1", 130, 15),
    knob(kFilterPanel, kBodyType2, "Filter 2", 180, 15),
    knob(kFilterPanel, kWarp, "Warp", 230, 15),
    knob(kFilterPanel, kResonance, "Res.", 280, 15),
    knob(kFilterPanel, kFilterOrder, "Order", 55, 95),
    knob(kFilterPanel, kFilterAttack, "Attack", 130, 95),
    knob(kFilterPanel, kFilterDecay, "Decay", 180, 95),
    knob(kFilterPanel, kFilterSustain, "Sustain", 230, 95),
    knob(kFilterPanel, kFilterRelease, "Release", 280, 95),
    choice(kMiscPanel, kQuality, "Quality", Rect::fromSize(9, 15, 50, 12), Rect::fromSize(15, 39, 38, 26), "normal",
           "high"),
    knob(kMiscPanel, kPolyphony, "Voices", 105, 15),
    knob(kMiscPanel, kRandomPan, "Rand Pan", 180, 15),
    knob(kMiscPanel, kVelocity2Volume, "Vel > Vol", 230, 15),
    knob(kMiscPanel, kVelocity2Brightness, "Vel > Brt", 280, 15),
};
static_assert(std::size(kGroups) == kNumParams, "one control per parameter");

std::unique_ptr<TextLabel> makeText(const Rect& rect, const char* text)
{
    auto label = std::make_unique<TextLabel>(rect, text);
    label->setFont(kSmallFont);
    label->setFontColour(kGold);
    label->setBackColour(kTeal);
    return label;
}

std::unique_ptr<ValueDisplay> makeReadout(const Rect& rect)
{
    auto readout = std::make_unique<ValueDisplay>(rect);
    readout->setFont(kSmallFont);
    readout->setFontColour(kGold);
    readout->setBackColour(kTeal);
    return readout;
}

} // namespace

SynthEditor::SynthEditor(EditorController* controller) : fController(controller), fNextIdleTime(tickCount())
{
    fBackground = Bitmap::load(resources::kBackgroundBitmap);
    fWidth = fBackground->width();
    fHeight = fBackground->height();
}

SynthEditor::~SynthEditor()
{
    close();
}

uint32_t SynthEditor::tickCount()
{
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

bool SynthEditor::open(void* parentWindow)
{
    // A second open without a close starts over rather than leaving a window behind.
    close();
    if (parentWindow == nullptr)
        return false;
    fFrame = std::make_unique<Frame>(Rect{0, 0, fWidth, fHeight}, parentWindow, this);
    if (!fFrame->hasWindow())
    {
        fFrame.reset();
        return false;
    }
    fParentWindow = parentWindow;
    build();
    return true;
}

void SynthEditor::openOffscreen()
{
    close();
    fFrame = std::make_unique<Frame>(Rect{0, 0, fWidth, fHeight}, nullptr, this);
    build();
}

void SynthEditor::build()
{
    postUpdate();
    // Everything is read afresh below, so earlier notes of changes are spent.
    fChangedParams.store(0, std::memory_order_relaxed);
    fFrame->setBackground(fBackground);

    std::shared_ptr<Bitmap> knobBody = Bitmap::load(resources::kKnobBodyBitmap);
    std::shared_ptr<Bitmap> knobHandle = Bitmap::load(resources::kKnobHandleBitmap);

    for (int p = 0; p < kPanelCount; ++p)
    {
        auto panel = std::make_unique<SectionPanel>(kPanels[p].rect, fFrame.get(), kPanelGrey, kSkyBlue, kBorderGrey,
                                                    kCornerRadius, kPanels[p].title, kTeal);
        for (const ControlGroup& group : kGroups)
        {
            if (group.panel != p)
                continue;
            int32_t i = group.param;
            float value = fController->parameterValue(i);
            ParamViews& record = fViews[static_cast<size_t>(i)];
            if (group.kind == GroupKind::choice)
            {
                record.caption = panel->addView(makeText(group.captionRect, group.caption));
                auto control = std::make_unique<ChoiceSwitch>(group.controlRect, this, i, group.choices[0],
                                                              group.choices[0], kTeal, kGold, kTeal, kSkyBlue, 0, 0);
                control->setFont(kSmallFont);
                for (int c = 1; c < kMaxGroupChoices && group.choices[c] != nullptr; ++c)
                    control->addEntry(group.choices[c], group.choices[c]);
                control->setValue(value);
                record.control = panel->addView(std::move(control));
                record.readout = nullptr;
                continue;
            }

            Rect captionRect = group.captionRect;
            Rect controlRect = group.controlRect;
            Rect readoutRect = group.readoutRect;
            if (group.kind == GroupKind::knob)
            {
                Point a = group.anchor;
                captionRect = Rect::fromSize(a.x - kTextInset, a.y, kCaptionWidth, kTextHeight);
                controlRect = Rect::fromSize(a.x, a.y + kKnobTop, knobBody->width(), knobBody->height());
                readoutRect = Rect::fromSize(a.x - kTextInset, a.y + kReadoutTop, kCaptionWidth, kTextHeight);
            }
            auto caption = makeText(captionRect, group.caption);
            std::unique_ptr<Control> control;
            if (group.kind == GroupKind::knob)
            {
                auto rotary = std::make_unique<RotaryKnob>(controlRect, this, i, knobBody, knobHandle);
                rotary->setValue(value);
                rotary->setInsetValue(kKnobInset);
                control = std::move(rotary);
            }
            else
            {
                control = std::make_unique<VerticalBarSlider>(controlRect, this, i, kTeal, kGold, BarSlider::kCentre);
                control->setValue(value);
            }
            auto readout = makeReadout(readoutRect);
            record.caption = panel->addView(std::move(caption));
            record.control = panel->addView(std::move(control));
            record.readout = panel->addView(std::move(readout));
            refreshReadout(i);
        }
        fPanels[static_cast<size_t>(p)] = fFrame->addView(std::move(panel));
    }
    // The knobs hold their own references to the knob bitmaps from here on.
    fFrame->drawAll();
}

void SynthEditor::close()
{
    fFrame.reset();
    fPanels.fill(nullptr);
    fViews.fill({});
    fParentWindow = nullptr;
}

const SynthEditor::ParamViews& SynthEditor::views(int32_t index) const
{
    static const ParamViews kNone{};
    if (index < 0 || index >= kParamCount || fFrame == nullptr)
        return kNone;
    return fViews[static_cast<size_t>(index)];
}

SectionPanel* SynthEditor::panel(int index) const
{
    if (index < 0 || index >= kPanelCount)
        return nullptr;
    return fPanels[static_cast<size_t>(index)];
}

void SynthEditor::setParameter(int32_t index, float)
{
    if (index < 0 || index >= kParamCount)
        return;
    fChangedParams.fetch_or(uint64_t{1} << index, std::memory_order_release);
    postUpdate();
}

void SynthEditor::refreshReadout(int32_t index)
{
    ValueDisplay* readout = fViews[static_cast<size_t>(index)].readout;
    if (readout == nullptr)
        return;
    // The plug-in writes into a buffer as large as the read-out's, which cuts what does not fit.
    char text[ValueDisplay::kTextSize] = {};
    fController->parameterText(index, text);
    text[sizeof(text) - 1] = '\0';
    readout->setText(text);
}

void SynthEditor::applyPendingChanges()
{
    uint64_t changed = fChangedParams.exchange(0, std::memory_order_acquire);
    if (changed == 0 || fFrame == nullptr)
        return;
    for (int32_t i = 0; i < kParamCount; ++i)
    {
        if ((changed & (uint64_t{1} << i)) == 0)
            continue;
        if (Control* control = fViews[static_cast<size_t>(i)].control)
            control->setValue(fController->parameterValue(i));
        refreshReadout(i);
    }
}

void SynthEditor::idle()
{
    if (fInIdleWork)
        return;
    if (fUpdateFlag.exchange(false, std::memory_order_acquire))
        update();
    applyPendingChanges();
    if (fFrame != nullptr)
        fFrame->idle();
}

void SynthEditor::doIdleStuff()
{
    uint32_t now = tickCount();
    // Differences, not comparisons, so that the millisecond count may wrap.
    if (static_cast<int32_t>(fNextIdleTime - now) > 0)
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        now += 4;
        if (static_cast<int32_t>(fNextIdleTime - now) > 50)
            return;
    }
    idle();
    fNextIdleTime = now + 100;
    fInIdleWork = true;
    fController->idleHost();
    fInIdleWork = false;
}

void SynthEditor::beginEdit(int32_t index)
{
    fController->beginGesture(index);
}

void SynthEditor::endEdit(int32_t index)
{
    fController->endGesture(index);
}

void SynthEditor::valueChanged(DrawContext* context, Control* control)
{
    if (control == nullptr)
        return;
    int32_t tag = control->getTag();
    if (tag < 0 || tag >= kParamCount)
        return;
    fController->changeParameter(tag, control->getValue());
    // On this thread the control and its read-out can follow the plug-in at once.
    applyPendingChanges();
    if (context != nullptr)
        control->update(*context);
}

int32_t SynthEditor::onKeyDown(KeyCode& key)
{
    if (fFrame == nullptr)
        return -1;
    return fFrame->onKeyDown(key);
}

int32_t SynthEditor::onKeyUp(KeyCode& key)
{
    if (fFrame == nullptr)
        return -1;
    return fFrame->onKeyUp(key);
}

void SynthEditor::setKnobMode(int32_t mode)
{
    RotaryKnob::setKnobMode(mode);
}

bool SynthEditor::onWheel(float distance)
{
    if (fFrame == nullptr)
        return false;
    return fFrame->onWheelAt({0, 0}, distance, -1, true);
}

void SynthEditor::draw()
{
    if (fFrame != nullptr)
        fFrame->drawAll();
}
