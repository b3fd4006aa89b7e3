// The standalone program's synthesizer: start-up as the VST 2.x build starts, changes posted from the main
// thread, MIDI and blocks on the audio thread.
#include "jack/StandaloneSynth.h"

#include "editor/SynthEditor.h"
#include "params/ParameterText.h"


namespace
{
constexpr uint8_t kStatusProgramChange = 0xC0;
} // namespace

StandaloneSynth::StandaloneSynth()
{
    fInstrument.setListener(this);
}

void StandaloneSynth::parameterChanged(int32_t index)
{
    if (fEditor != nullptr)
        fEditor->setParameter(index, getParameter(index));
}

void StandaloneSynth::midiEvent(int32_t frame, const uint8_t* bytes, size_t size)
{
    if (bytes == nullptr || size == 0)
        return;
    const uint8_t status = bytes[0];
    const uint8_t data1 = size > 1 ? bytes[1] : 0;
    const uint8_t data2 = size > 2 ? bytes[2] : 0;
    // The engine has no programs; the program change is the main thread's to make.
    if ((status & 0xF0) == kStatusProgramChange && size > 1 && ProgramBank::isProgram(data1))
        fRequestedProgram.store(data1);
    fInstrument.engine().midiEvent(frame, status, data1, data2);
}

void StandaloneSynth::render(const float* const* inputs, float* const* outputs, int32_t frames)
{
    fInstrument.engine().renderBlock(inputs, outputs, frames, true);
}

void StandaloneSynth::parameterText(int32_t index, char* text)
{
    float values[kNumParams];
    fInstrument.currentValues(values);
    parameterDisplay(index, values, text);
}

void StandaloneSynth::changeParameter(int32_t index, float value)
{
    setParameter(index, value);
}
