// Reading a Standard MIDI File into a list of timed channel messages.
#pragma once

#include "MidiFileCheck.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One channel message (note on/off, key and channel pressure, controller, program change, pitch bend)
// at its time in seconds from the start, tempo changes already applied.
struct MidiEvent
{
    double seconds = 0.0;
    std::array<uint8_t, 3> data{};
    int size = 0;
};

struct MidiSequence
{
    std::vector<MidiEvent> events; // in time order; equal times keep the file's order
    double lengthSeconds = 0.0;    // time of the file's last event of any kind (end-of-track included)
};

// Throws MidiFileError with the reason and the path when the file cannot be read or played.
MidiSequence readMidiFile(const std::string& path);

// The same for a file image in memory.
MidiSequence parseMidiImage(const std::vector<uint8_t>& bytes);
