// A frame without a window, a scripted mouse and a listener that records what controls report.
#pragma once

#include "toolkit/Control.h"
#include "toolkit/Frame.h"

#include <utility>
#include <vector>

// Pointer moves a drag goes through: each read of the position takes the next move, whose buttons
// then hold until the following read.
class ScriptedMouse : public toolkit::MouseSource
{
public:
    std::vector<std::pair<toolkit::Point, int>> moves;
    int pressButtons = 0;
    int index = -1;

    int reads = 0;

    // Without moves the button counts as released after the first pass.
    int buttons() override
    {
        if (reads == 0)
            return pressButtons;
        return index < 0 ? 0 : moves[static_cast<size_t>(index)].second;
    }
    toolkit::Point position() override
    {
        ++reads;
        if (index + 1 < static_cast<int>(moves.size()))
            ++index;
        return index < 0 ? toolkit::Point{} : moves[static_cast<size_t>(index)].first;
    }
};

class RecordingOwner : public toolkit::FrameOwner
{
public:
    void beginEdit(int32_t tag) override { edits.push_back({true, tag}); }
    void endEdit(int32_t tag) override { edits.push_back({false, tag}); }
    void doIdleStuff() override { ++idles; }

    std::vector<std::pair<bool, int32_t>> edits;
    int idles = 0;
};

class RecordingListener : public toolkit::ControlListener
{
public:
    void valueChanged(toolkit::DrawContext* context, toolkit::Control* control) override
    {
        values.push_back(control->getValue());
        contexts.push_back(context);
        control->setDirty(false); // as if it had been redrawn
    }
    std::vector<float> values;
    std::vector<toolkit::DrawContext*> contexts;
};

struct Harness
{
    Harness() : frame({0, 0, 400, 300}, nullptr, &owner) { frame.setMouseSource(&mouse); }

    template <typename T>
    T* add(std::unique_ptr<T> control)
    {
        T* raw = frame.addView(std::move(control));
        raw->setDirty(false);
        return raw;
    }
    // A press at a point with the given state, then the scripted moves.
    void press(toolkit::Point where, int buttons, std::vector<std::pair<toolkit::Point, int>> moves = {})
    {
        mouse.moves = std::move(moves);
        mouse.index = -1;
        mouse.reads = 0;
        mouse.pressButtons = buttons;
        frame.onMouseDown(where, buttons);
    }

    RecordingOwner owner;
    RecordingListener listener;
    ScriptedMouse mouse;
    toolkit::Frame frame;
};
