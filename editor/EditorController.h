// What the editor needs of the plug-in it shows, whatever the plug-in format: values, read-outs, the
// user's changes bracketed as gestures, and the host's idle during mouse drags.
#pragma once

#include <cstdint>

class EditorController
{
public:
    virtual ~EditorController() = default;

    // The parameter's current value as stored (0..37).
    virtual float parameterValue(int32_t index) = 0;
    // The parameter's read-out, at most 24 bytes with the terminator.
    virtual void parameterText(int32_t index, char* text) = 0;
    // A change the user made: stored, applied, and reported to the host as automation.
    virtual void changeParameter(int32_t index, float value) = 0;
    // A mouse drag of a knob or the slider starts and ends.
    virtual void beginGesture(int32_t index) = 0;
    virtual void endGesture(int32_t index) = 0;
    // Lets the host run its own idle work while a drag holds the user-interface thread.
    virtual void idleHost() = 0;
};
