// Plays timed MIDI into a JACK MIDI port and records JACK audio ports, cycle by cycle in freewheel mode,
// so that frame n of the recording is the cycle frame that MIDI frame n was played in.
#pragma once

#include "MidiFile.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct PlayRecordOptions
{
    std::string clientName = "zentharode-play";
    std::string midiDestination;            // the MIDI input port to play into
    std::vector<std::string> recordSources; // the audio output ports to record, one channel each
    double tailSeconds = 1.0;               // recorded after the last event
    bool freewheel = true;                  // as fast as the graph runs; off: in real time
    std::chrono::milliseconds timeout{60000};
};

struct Recording
{
    double sampleRate = 0.0;
    uint32_t blockSize = 0;
    std::vector<std::vector<float>> channels;
};

// Two clients on the server JACK_DEFAULT_SERVER names: a player (midi_out) and a recorder (in_1, in_2, ...),
// so that the graph runs player, instrument, recorder within every cycle. False with the reason in error.
bool playAndRecord(const MidiSequence& sequence, const PlayRecordOptions& options, Recording& recording,
                   std::string& error);
