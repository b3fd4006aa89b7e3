// Structural check of a Standard MIDI File image before it is parsed, with small repairs.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// A file that cannot be played, with the reason in words.
class MidiFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Walks the header and every track event of `bytes` and returns an image that the MIDI reader can
// parse safely: each track ends with exactly one end-of-track event (a missing one is added, bytes
// after it are dropped) and unknown chunks are left out. Throws MidiFileError for a file that is not
// MIDI, a truncated file, a time division the reader cannot play, or malformed track data.
std::vector<uint8_t> checkMidiImage(const std::vector<uint8_t>& bytes);
