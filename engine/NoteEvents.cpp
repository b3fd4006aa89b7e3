// MIDI events into engine actions: pending notes and voice allocation, note-off, pitch bend, controllers.
#include "engine/SynthEngine.h"

#include "engine/SynthVoice.h"

#include <cmath>

namespace
{
constexpr int kStatusNoteOff = 0x80;
constexpr int kStatusNoteOn = 0x90;
constexpr int kStatusController = 0xB0;
constexpr int kStatusPitchBend = 0xE0;
constexpr int kAllVoicesIdle = 126; // controller that silences every voice at once, without a tail
constexpr int kLastMappedController = 125;
constexpr int kNoParameter = -1;
constexpr float kCent = 1.0005777895f; // 2^(1/1200), 1.0005778074 as stored
constexpr float kBendCents = 200.0f;
constexpr float kLoudLevel = 1.0f;         // voices this loud are only taken when nothing quieter is free
constexpr float kTopVelocity = 127.0f;

int dataByte(uint8_t byte)
{
    return byte & 0x7F;
}

// Controller numbers and values are read as the signed bytes they arrive in.
int signedByte(uint8_t byte)
{
    return static_cast<signed char>(byte);
}
} // namespace

// Note-ons wait in their voice for deltaFrames samples; everything else acts before the next block.
void SynthEngine::midiEvent(int32_t deltaFrames, uint8_t statusByte, uint8_t data1, uint8_t data2, int32_t detune)
{
    applyPostedChanges(); // a change posted before the event acts before it
    const int status = statusByte & 0xF0; // every channel plays
    const int32_t stamp = static_cast<int32_t>(fSampleClock);
    switch (status)
    {
    case kStatusNoteOn:
    case kStatusNoteOff:
    {
        const int note = dataByte(data1);
        const int velocity = status == kStatusNoteOff ? 0 : dataByte(data2);
        if (velocity == 0)
            noteOff(stamp, 0, note);
        else
            noteOn(stamp, velocity, note, detune, deltaFrames);
        break;
    }
    case kStatusPitchBend:
    {
        const float lsb = static_cast<float>(dataByte(data1));
        const float msb = static_cast<float>(dataByte(data2));
        const float bend = (msb + lsb / 128.0f) / 128.0f * 2.0f - 1.0f; // centre 0, bottom -1
        // The ratio multiplies the loop delays, so bending up shortens them.
        fBendTarget = std::pow(kCent, (0.0f - bend) * kBendCents);
        break;
    }
    case kStatusController:
    {
        const int controller = signedByte(data1);
        if (controller == kAllVoicesIdle)
        {
            syncVoices();
            // No release: the voices fall silent at the next sample; pending notes still start.
            for (std::unique_ptr<SynthVoice>& voice : fVoices)
                if (voice != nullptr)
                    voice->reset(false);
        }
        else if (controller >= 0 && controller <= kLastMappedController)
        {
            const int32_t parameter = fCcMap[controller];
            if (parameter != kNoParameter && parameter >= 0 && parameter < kNumParams)
            {
                setParameter(parameter, static_cast<float>(signedByte(data2)) / 127.0f);
                if (fControllerListener != nullptr)
                    fControllerListener->controllerMoved(parameter, fCurrentParams[parameter]);
            }
        }
        break;
    }
    default:
        break; // pressure, program change and system messages are not used
    }
}

// An idle voice first, then the quietest voice below full level, then the pending note of lowest velocity,
// else the rotating index. A voice holding a pending note is skipped by the first two passes, so notes of
// one event list spread over the voices.
void SynthEngine::noteOn(int32_t stamp, int32_t velocity, int32_t note, int32_t detune, int32_t delay)
{
    syncVoices();
    const int32_t count = activeVoiceCount();
    int32_t chosen = -1;

    for (int32_t i = 0; i < count && chosen < 0; i++)
    {
        const SynthVoice* voice = fVoices[static_cast<size_t>(i)].get();
        if (voice != nullptr && voice->getState() == kVoiceIdle && !voice->hasPendingNote())
            chosen = i;
    }
    if (chosen < 0)
    {
        float quietest = kLoudLevel;
        for (int32_t i = 0; i < count; i++)
        {
            const SynthVoice* voice = fVoices[static_cast<size_t>(i)].get();
            if (voice == nullptr || voice->hasPendingNote())
                continue;
            const float level = voice->getLevel();
            if (level < quietest)
            {
                quietest = level;
                chosen = i;
            }
        }
    }
    if (chosen < 0)
    {
        // A loud voice without a pending note counts as velocity 0 and goes first.
        float lowest = kTopVelocity;
        for (int32_t i = 0; i < count; i++)
        {
            const SynthVoice* voice = fVoices[static_cast<size_t>(i)].get();
            if (voice == nullptr)
                continue;
            const float pending = voice->hasPendingNote() ? static_cast<float>(voice->fPendingVelocity) : 0.0f;
            if (pending < lowest)
            {
                lowest = pending;
                chosen = i;
            }
        }
    }
    if (chosen < 0)
        chosen = fNextVoice >= 0 ? fNextVoice % count : 0; // the polyphony may have shrunk since

    SynthVoice* voice = fVoices[static_cast<size_t>(chosen)].get();
    if (voice == nullptr)
        return;
    // A pending note already in the voice is replaced. A negative offset starts at once rather than never.
    voice->fPendingDelay = delay > 0 ? delay : 0;
    voice->fPendingNote = note;
    voice->fPendingDetune = detune;
    voice->fPendingStamp = stamp;
    voice->fPendingVelocity = velocity;
    fNextVoice = (chosen + 1) % count;
}

// Every one of the eight voices on that note, also those above the present polyphony; pending notes are
// not looked at.
void SynthEngine::noteOff(int32_t /*stamp*/, int32_t /*velocity*/, int32_t note)
{
    syncVoices();
    for (std::unique_ptr<SynthVoice>& voice : fVoices)
    {
        if (voice != nullptr && voice->fNote == note)
        {
            voice->fAmpEnv.release();
            voice->fFilterEnv.release();
        }
    }
}
