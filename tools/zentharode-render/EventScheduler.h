// Placing timed MIDI messages on the sample grid and handing them out block by block.
#pragma once

#include "MidiFile.h"

#include "plugin/VstInterface.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

struct ScheduledEvent
{
    int64_t frame = 0; // sample index from the start of the render
    std::array<uint8_t, 3> data{};
    int size = 0;
};

// The sample at which an event `seconds` into the song falls, rounded to the nearest sample.
int64_t frameAtSeconds(double seconds, double sampleRate);

// Every event of `sequence` on the sample grid of `sampleRate`, in time order (equal frames keep order).
std::vector<ScheduledEvent> scheduleEvents(const MidiSequence& sequence, double sampleRate);

// Hands out the events that fall into consecutive blocks. Blocks are asked for in order; an event
// before the first block asked for is given with that block (it cannot be given earlier).
class EventScheduler
{
public:
    explicit EventScheduler(std::vector<ScheduledEvent> events);

    // Events with blockStart <= frame < blockStart + blockLength (and any left over from before).
    std::span<const ScheduledEvent> eventsInBlock(int64_t blockStart, int blockLength);

    bool finished() const { return fNext == fEvents.size(); }

private:
    std::vector<ScheduledEvent> fEvents;
    size_t fNext = 0;
};

// The VstEvents record for one block: MIDI events with deltaFrames relative to the block start.
// The storage is kept between blocks, so it grows only to the largest block's event count.
class VstEventList
{
public:
    // Fills the list; a late event (frame before blockStart) gets deltaFrames 0.
    void fill(std::span<const ScheduledEvent> events, int64_t blockStart);

    VstEvents* record() { return fList; }
    int size() const { return static_cast<int>(fEvents.size()); }
    const VstMidiEvent& at(int i) const { return fEvents[static_cast<size_t>(i)]; }

private:
    std::vector<VstMidiEvent> fEvents;
    // VstEvents ends in a pointer array that the host sizes; pointer-sized cells keep its alignment.
    std::vector<intptr_t> fRecord;
    VstEvents* fList = nullptr;
};
