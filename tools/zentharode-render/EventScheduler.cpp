// Placing timed MIDI messages on the sample grid and handing them out block by block.
#include "EventScheduler.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <new>

int64_t frameAtSeconds(double seconds, double sampleRate)
{
    // Tick times converted through the tempo map carry rounding error either way of the exact sample.
    return static_cast<int64_t>(std::llround(seconds * sampleRate));
}

std::vector<ScheduledEvent> scheduleEvents(const MidiSequence& sequence, double sampleRate)
{
    std::vector<ScheduledEvent> events;
    events.reserve(sequence.events.size());
    for (const MidiEvent& event : sequence.events)
        events.push_back({frameAtSeconds(event.seconds, sampleRate), event.data, event.size});
    std::stable_sort(events.begin(), events.end(),
                     [](const ScheduledEvent& a, const ScheduledEvent& b) { return a.frame < b.frame; });
    return events;
}

EventScheduler::EventScheduler(std::vector<ScheduledEvent> events)
    : fEvents(std::move(events))
{
    std::stable_sort(fEvents.begin(), fEvents.end(),
                     [](const ScheduledEvent& a, const ScheduledEvent& b) { return a.frame < b.frame; });
}

std::span<const ScheduledEvent> EventScheduler::eventsInBlock(int64_t blockStart, int blockLength)
{
    const size_t first = fNext;
    const int64_t blockEnd = blockStart + std::max(blockLength, 0);
    while (fNext < fEvents.size() && fEvents[fNext].frame < blockEnd)
        ++fNext;
    return std::span<const ScheduledEvent>(fEvents.data() + first, fNext - first);
}

void VstEventList::fill(std::span<const ScheduledEvent> events, int64_t blockStart)
{
    fEvents.clear();
    for (const ScheduledEvent& event : events) {
        VstMidiEvent midi{};
        midi.type = kVstMidiType;
        midi.byteSize = static_cast<int32_t>(sizeof(VstMidiEvent));
        midi.deltaFrames = static_cast<int32_t>(std::max<int64_t>(event.frame - blockStart, 0));
        for (int i = 0; i < event.size && i < 3; ++i)
            midi.midiData[i] = static_cast<char>(event.data[static_cast<size_t>(i)]);
        fEvents.push_back(midi);
    }

    // numEvents and reserved, then one pointer per event (at least the two the record declares).
    const size_t headerCells = offsetof(VstEvents, events) / sizeof(intptr_t);
    fRecord.assign(headerCells + std::max<size_t>(fEvents.size(), 2), 0);
    VstEvents* list = new (fRecord.data()) VstEvents{};
    fList = list;
    list->numEvents = static_cast<int32_t>(fEvents.size());
    list->reserved = 0;
    VstEvent** pointers = list->events;
    for (size_t i = 0; i < fEvents.size(); ++i)
        pointers[i] = reinterpret_cast<VstEvent*>(&fEvents[i]);
}
