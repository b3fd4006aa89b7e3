// The plug-in with its editor: created without a display, changes from any source reach the window at idle.
#include "ControlHarness.h"

#include "editor/SynthEditor.h"
#include "params/Parameters.h"
#include "plugin/SynthEditorPlugin.h"
#include "toolkit/RotaryKnob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

struct Call
{
    int32_t opcode;
    int32_t index;
    float opt;
};
std::vector<Call> gCalls;
std::function<void()> gOnIdle; // what the host does when the plug-in calls its idle

intptr_t host(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float opt)
{
    if (opcode == audioMasterVersion)
        return 2400;
    gCalls.push_back({opcode, index, opt});
    if (opcode == audioMasterIdle && gOnIdle)
        gOnIdle();
    return 0;
}

int countCalls(int32_t opcode)
{
    int n = 0;
    for (const Call& c : gCalls)
        n += c.opcode == opcode ? 1 : 0;
    return n;
}

class EditorPluginTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gCalls.clear();
        gOnIdle = nullptr;
        plugin = std::make_unique<SynthEditorPlugin>(host);
        effect = plugin->getAeffect();
        editor = plugin->synthEditor();
    }
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::string display(int32_t index)
    {
        char text[64] = {};
        plugin->getParameterDisplay(index, text);
        return text;
    }
    // Every control shows the plug-in's value and every read-out its display text.
    void expectWindowFollowsPlugin()
    {
        for (int32_t i = 0; i < kNumParams; ++i)
        {
            const auto& v = editor->views(i);
            ASSERT_NE(v.control, nullptr);
            EXPECT_EQ(v.control->getValue(), plugin->getParameter(i)) << i;
            if (v.readout != nullptr)
            {
                EXPECT_EQ(v.readout->getText(), display(i)) << i;
            }
        }
    }

    std::unique_ptr<SynthEditorPlugin> plugin;
    AEffect* effect = nullptr;
    SynthEditor* editor = nullptr;
};

} // namespace

TEST_F(EditorPluginTest, CreatedWithoutADisplayWithTheEditorFlag)
{
    ASSERT_TRUE(plugin->hasEditor());
    EXPECT_EQ(effect->flags, 0x111);
    EXPECT_EQ(effect->uniqueID, vstFourCC('Z', 'N', 'T', 'H'));
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 851);
    EXPECT_EQ(rect->bottom, 311);
    // A plug-in without a host callback still gets its editor.
    SynthEditorPlugin bare(nullptr);
    EXPECT_TRUE(bare.hasEditor());
}

TEST_F(EditorPluginTest, OpenWithoutParentOrDisplayAnswersZeroAndBuildsNothing)
{
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_FALSE(editor->isOpen());
    // No display in these tests: a parent handle alone cannot give a window.
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x400001)), 0);
    EXPECT_FALSE(editor->isOpen());
    dispatch(effEditClose);
    dispatch(effEditClose);
    dispatch(effEditIdle);
    VstKeyCode key{};
    EXPECT_EQ(dispatch(effEditKeyDown, key.character, key.virt, nullptr, key.modifier), -1);
    toolkit::KeyCode code{};
    EXPECT_EQ(editor->onKeyDown(code), -1);
    EXPECT_FALSE(editor->onWheel(1.0f));
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    dispatch(effSetEditKnobMode, 0, 0);
}

TEST_F(EditorPluginTest, OpenShowsTheCurrentValuesAndTexts)
{
    editor->openOffscreen();
    expectWindowFollowsPlugin();
    // A second open without a close builds everything anew.
    editor->openOffscreen();
    expectWindowFollowsPlugin();
    dispatch(effEditClose);
    EXPECT_FALSE(editor->isOpen());
}

TEST_F(EditorPluginTest, ProgramChangeMovesAllControlsAtTheNextIdle)
{
    editor->openOffscreen();
    std::string volumeBefore = editor->views(kVolume).readout->getText();
    dispatch(effSetProgram, 0, 3);
    ASSERT_EQ(dispatch(effGetProgram), 3);
    // Nothing moves before the idle.
    EXPECT_EQ(editor->views(kVolume).readout->getText(), volumeBefore);
    dispatch(effEditIdle);
    expectWindowFollowsPlugin();
    int changed = 0;
    dispatch(effSetProgram, 0, 5);
    dispatch(effEditIdle);
    for (int32_t i = 0; i < kNumParams; ++i)
        changed += editor->views(i).readout != nullptr ? 1 : 0;
    EXPECT_EQ(changed, 35);
    expectWindowFollowsPlugin();
}

TEST_F(EditorPluginTest, ChangesFromAnotherThreadOnlyMarkTheParameter)
{
    editor->openOffscreen();
    float before = editor->views(kCutoff1).control->getValue();
    std::string text = editor->views(kCutoff1).readout->getText();
    std::thread audio([&] {
        // As a mapped MIDI controller would, on the audio thread.
        plugin->setParameter(kCutoff1, 0.125f);
        plugin->setParameter(kQuality, 1.0f);
    });
    audio.join();
    EXPECT_EQ(editor->views(kCutoff1).control->getValue(), before);
    EXPECT_EQ(editor->views(kCutoff1).readout->getText(), text);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->views(kCutoff1).control->getValue(), 0.125f);
    EXPECT_EQ(editor->views(kCutoff1).readout->getText(), display(kCutoff1));
    EXPECT_EQ(editor->views(kQuality).control->getValue(), 1.0f);
}

TEST_F(EditorPluginTest, MidiControllerOnTheAudioThreadMovesTheKnobAtTheNextIdle)
{
    editor->openOffscreen();
    dispatch(effMainsChanged, 0, 1);
    VstMidiEvent controller{};
    controller.type = kVstMidiType;
    controller.byteSize = sizeof(VstMidiEvent);
    controller.midiData[0] = static_cast<char>(0xB0);
    controller.midiData[1] = 106; // mapped to the resonance
    controller.midiData[2] = 0;
    ASSERT_NE(plugin->getParameter(kResonance), 0.0f);
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&controller);
    std::thread audio([&] {
        dispatch(effProcessEvents, 0, 0, &events);
        std::vector<float> left(64), right(64);
        float* outputs[] = {left.data(), right.data()};
        effect->processReplacing(effect, nullptr, outputs, 64);
    });
    audio.join();
    EXPECT_EQ(plugin->getParameter(kResonance), 0.0f);
    EXPECT_NE(editor->views(kResonance).control->getValue(), 0.0f);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->views(kResonance).control->getValue(), 0.0f);
    EXPECT_EQ(editor->views(kResonance).readout->getText(), display(kResonance));
}

TEST_F(EditorPluginTest, ChangesRacingWithIdleEndOnTheLastValue)
{
    editor->openOffscreen();
    std::atomic<bool> done{false};
    std::thread audio([&] {
        for (int n = 0; n < 20000; ++n)
            plugin->setParameter(n % 4 == 0 ? kLFO1Amp : kLFO2Amp, static_cast<float>(n % 1000) / 1000.0f);
        plugin->setParameter(kLFO1Amp, 0.25f);
        plugin->setParameter(kLFO2Amp, 0.75f);
        done = true;
    });
    while (!done)
        dispatch(effEditIdle);
    audio.join();
    dispatch(effEditIdle);
    EXPECT_EQ(editor->views(kLFO1Amp).control->getValue(), 0.25f);
    EXPECT_EQ(editor->views(kLFO2Amp).control->getValue(), 0.75f);
    EXPECT_EQ(editor->views(kLFO2Amp).readout->getText(), display(kLFO2Amp));
}

TEST_F(EditorPluginTest, ChangeWhileClosedShowsAtTheNextOpen)
{
    editor->openOffscreen();
    dispatch(effEditClose);
    plugin->setParameter(kWarp, 0.875f);
    dispatch(effEditIdle);
    editor->openOffscreen();
    EXPECT_EQ(editor->views(kWarp).control->getValue(), 0.875f);
    EXPECT_EQ(editor->views(kWarp).readout->getText(), display(kWarp));
}

TEST_F(EditorPluginTest, KnobDragIsAnAutomatedChangeBracketedForTheHost)
{
    editor->openOffscreen();
    toolkit::RotaryKnob::setKnobMode(toolkit::kCircularMode);
    ScriptedMouse mouse;
    editor->getFrame()->setMouseSource(&mouse);
    toolkit::Control* knob = editor->views(kResonance).control;
    toolkit::Point origin = knob->parentOrigin();
    toolkit::Rect r = knob->getRect().offset(origin.x, origin.y);
    toolkit::Point top{r.left + 20, r.top + 1};
    mouse.moves = {{top, toolkit::kLButton}, {top, 0}};
    editor->getFrame()->onMouseDown(top, toolkit::kLButton);

    EXPECT_NEAR(plugin->getParameter(kResonance), 0.5f, 0.03f);
    EXPECT_EQ(knob->getValue(), plugin->getParameter(kResonance));
    EXPECT_EQ(editor->views(kResonance).readout->getText(), display(kResonance));
    ASSERT_GE(countCalls(audioMasterAutomate), 1);
    ASSERT_EQ(countCalls(audioMasterBeginEdit), 1);
    ASSERT_EQ(countCalls(audioMasterEndEdit), 1);
    EXPECT_EQ(gCalls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(gCalls.front().index, kResonance);
    EXPECT_EQ(gCalls.back().opcode, audioMasterEndEdit);
    for (const Call& c : gCalls)
    {
        if (c.opcode == audioMasterAutomate)
        {
            EXPECT_EQ(c.index, kResonance);
        }
    }
    editor->getFrame()->setMouseSource(nullptr);
}

TEST_F(EditorPluginTest, SwitchClickSetsTheParameterWithoutEditBrackets)
{
    editor->openOffscreen();
    plugin->setParameter(kPolarity2, 0.0f);
    dispatch(effEditIdle);
    toolkit::Control* choice = editor->views(kPolarity2).control;
    toolkit::Point origin = choice->parentOrigin();
    toolkit::Rect r = choice->getRect().offset(origin.x, origin.y);
    editor->getFrame()->onMouseDown({r.left + 10, r.top + 20}, toolkit::kLButton);
    EXPECT_FLOAT_EQ(plugin->getParameter(kPolarity2), 20.0f / 26.0f);
    EXPECT_EQ(display(kPolarity2), "positive");
    EXPECT_EQ(countCalls(audioMasterAutomate), 1);
    EXPECT_EQ(countCalls(audioMasterBeginEdit), 0);
    EXPECT_EQ(editor->views(kPolarity2).caption->getText(), std::string("Polarity"));
}

TEST_F(EditorPluginTest, HostIdleInsideTheIdleWorksMasterIdleReturnsAtOnce)
{
    editor->openOffscreen();
    plugin->setParameter(kDetune2, 0.75f);
    gOnIdle = [&] {
        // A change arrives and the host runs its editor idle from inside master idle.
        EXPECT_TRUE(editor->isInIdleWork());
        plugin->setParameter(kDetune2, 0.25f);
        dispatch(effEditIdle);
    };
    editor->doIdleStuff();
    gOnIdle = nullptr;
    EXPECT_EQ(countCalls(audioMasterIdle), 1);
    EXPECT_FALSE(editor->isInIdleWork());
    // The idle work's own idle applied the first change; the nested idle applied nothing.
    EXPECT_EQ(editor->views(kDetune2).control->getValue(), 0.75f);
    // Within 100 ms of that pass the idle work only waits.
    editor->doIdleStuff();
    EXPECT_EQ(countCalls(audioMasterIdle), 1);
    EXPECT_EQ(editor->views(kDetune2).control->getValue(), 0.75f);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->views(kDetune2).control->getValue(), 0.25f);
}

TEST_F(EditorPluginTest, ReadoutsHoldWhateverLengthTheTextsHave)
{
    editor->openOffscreen();
    for (float v : {-1e30f, 1e30f, 0.0f, 1.0f})
    {
        for (int32_t i = 0; i < kNumParams; ++i)
            plugin->setParameter(i, v);
        dispatch(effEditIdle);
        for (int32_t i = 0; i < kNumParams; ++i)
        {
            if (const ValueDisplay* r = editor->views(i).readout)
            {
                EXPECT_LT(std::strlen(r->getText()), static_cast<size_t>(ValueDisplay::kTextSize)) << i;
            }
        }
    }
}
