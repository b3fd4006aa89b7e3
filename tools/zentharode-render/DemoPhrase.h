// The built-in demo phrase and the file names of the demo renders.
#pragma once

#include "MidiFile.h"

#include <string>

// Five bars at 100 beats per minute: a melody over chords, notes of different velocities, a little
// pitch bend, and a sustained closing chord.
MidiSequence demoPhrase();

// "<index>-<name>" with the name lower-cased and every run of other characters than a-z and 0-9
// turned into one '-' ("pneumatic vorn" at 0 gives "0-pneumatic-vorn"); "program" for an empty name.
std::string demoFileStem(int index, const std::string& programName);
