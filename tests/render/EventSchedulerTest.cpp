// Events on the sample grid and their hand-out per block.
#include "EventScheduler.h"

#include <gtest/gtest.h>

namespace {

ScheduledEvent noteOnAt(int64_t frame, uint8_t key)
{
    return {frame, {0x90, key, 100}, 3};
}

// The record's pointer array is as long as numEvents, beyond its declared two entries.
const VstMidiEvent* midiAt(VstEvents* record, int i)
{
    VstEvent** pointers = record->events;
    return reinterpret_cast<const VstMidiEvent*>(pointers[i]);
}

std::vector<int64_t> framesOf(std::span<const ScheduledEvent> events)
{
    std::vector<int64_t> frames;
    for (const ScheduledEvent& event : events)
        frames.push_back(event.frame);
    return frames;
}

TEST(EventScheduler, EventsGoToTheBlockHoldingTheirFrame)
{
    EventScheduler scheduler({noteOnAt(0, 1), noteOnAt(63, 2), noteOnAt(64, 3), noteOnAt(65, 4), noteOnAt(200, 5)});
    EXPECT_EQ(framesOf(scheduler.eventsInBlock(0, 64)), (std::vector<int64_t>{0, 63}));
    EXPECT_EQ(framesOf(scheduler.eventsInBlock(64, 64)), (std::vector<int64_t>{64, 65}));
    EXPECT_TRUE(scheduler.eventsInBlock(128, 64).empty());
    EXPECT_FALSE(scheduler.finished());
    EXPECT_EQ(framesOf(scheduler.eventsInBlock(192, 64)), (std::vector<int64_t>{200}));
    EXPECT_TRUE(scheduler.finished());
    EXPECT_TRUE(scheduler.eventsInBlock(256, 64).empty());
}

TEST(EventScheduler, UnsortedInputIsOrderedAndEqualFramesKeepTheirOrder)
{
    EventScheduler scheduler({noteOnAt(10, 1), noteOnAt(5, 2), noteOnAt(10, 3), noteOnAt(5, 4)});
    const auto events = scheduler.eventsInBlock(0, 16);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].data[1], 2);
    EXPECT_EQ(events[1].data[1], 4);
    EXPECT_EQ(events[2].data[1], 1);
    EXPECT_EQ(events[3].data[1], 3);
}

TEST(EventScheduler, BlockOfOneFrameTakesOnlyThatFrame)
{
    EventScheduler scheduler({noteOnAt(0, 1), noteOnAt(1, 2), noteOnAt(1, 3), noteOnAt(2, 4)});
    EXPECT_EQ(scheduler.eventsInBlock(0, 1).size(), 1u);
    EXPECT_EQ(scheduler.eventsInBlock(1, 1).size(), 2u);
    EXPECT_EQ(scheduler.eventsInBlock(2, 1).size(), 1u);
}

TEST(EventScheduler, NoEventsGiveEmptyBlocks)
{
    EventScheduler scheduler({});
    EXPECT_TRUE(scheduler.finished());
    EXPECT_TRUE(scheduler.eventsInBlock(0, 512).empty());
}

TEST(EventScheduler, ZeroLengthBlockTakesNothing)
{
    EventScheduler scheduler({noteOnAt(0, 1)});
    EXPECT_TRUE(scheduler.eventsInBlock(0, 0).empty());
    EXPECT_EQ(scheduler.eventsInBlock(0, 1).size(), 1u);
}

TEST(EventScheduler, AnEventBeforeTheFirstBlockAskedForComesWithIt)
{
    EventScheduler scheduler({noteOnAt(3, 1), noteOnAt(40, 2)});
    EXPECT_EQ(framesOf(scheduler.eventsInBlock(32, 32)), (std::vector<int64_t>{3, 40}));
}

TEST(FrameAtSeconds, RoundsToTheNearestSample)
{
    EXPECT_EQ(frameAtSeconds(0.0, 48000.0), 0);
    EXPECT_EQ(frameAtSeconds(0.5, 48000.0), 24000);
    // A tick time a hair below the exact sample still lands on it.
    EXPECT_EQ(frameAtSeconds(0.5 - 1e-12, 48000.0), 24000);
    EXPECT_EQ(frameAtSeconds(1.0 / 44100.0 * 0.49, 44100.0), 0);
    EXPECT_EQ(frameAtSeconds(1.0 / 44100.0 * 0.51, 44100.0), 1);
}

TEST(ScheduleEvents, ConvertsSecondsAndKeepsBytes)
{
    MidiSequence sequence;
    sequence.events.push_back({0.25, {0xE0, 0x00, 0x40}, 3});
    sequence.events.push_back({0.125, {0xC1, 0x05, 0x00}, 2});
    const auto events = scheduleEvents(sequence, 1000.0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].frame, 125);
    EXPECT_EQ(events[0].size, 2);
    EXPECT_EQ(events[0].data[0], 0xC1);
    EXPECT_EQ(events[1].frame, 250);
    EXPECT_EQ(events[1].data[2], 0x40);
}

TEST(VstEventList, DeltaFramesAreRelativeToTheBlock)
{
    const std::vector<ScheduledEvent> events{noteOnAt(130, 60), {131, {0x80, 60, 0}, 3}, {191, {0xE0, 1, 2}, 3}};
    VstEventList list;
    list.fill(events, 128);
    VstEvents* record = list.record();
    ASSERT_EQ(record->numEvents, 3);
    const int expectedDelta[] = {2, 3, 63};
    for (int i = 0; i < 3; ++i) {
        const auto* midi = midiAt(record, i);
        EXPECT_EQ(midi->type, kVstMidiType);
        EXPECT_EQ(midi->byteSize, static_cast<int32_t>(sizeof(VstMidiEvent)));
        EXPECT_EQ(midi->deltaFrames, expectedDelta[i]);
        EXPECT_EQ(midi->detune, 0);
    }
    const auto* last = midiAt(record, 2);
    EXPECT_EQ(static_cast<unsigned char>(last->midiData[0]), 0xE0);
    EXPECT_EQ(last->midiData[1], 1);
    EXPECT_EQ(last->midiData[2], 2);
}

TEST(VstEventList, TwoByteMessagesLeaveTheThirdByteZero)
{
    VstEventList list;
    list.fill(std::vector<ScheduledEvent>{{0, {0xC0, 7, 99}, 2}}, 0);
    EXPECT_EQ(list.at(0).midiData[1], 7);
    EXPECT_EQ(list.at(0).midiData[2], 0);
}

TEST(VstEventList, HoldsMoreEventsThanTheRecordDeclaresAndShrinksAgain)
{
    std::vector<ScheduledEvent> many;
    for (int i = 0; i < 300; ++i)
        many.push_back(noteOnAt(i, static_cast<uint8_t>(i % 128)));
    VstEventList list;
    list.fill(many, 0);
    ASSERT_EQ(list.record()->numEvents, 300);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(midiAt(list.record(), i)->deltaFrames, i);
    list.fill(std::span<const ScheduledEvent>(many.data(), 1), 0);
    EXPECT_EQ(list.record()->numEvents, 1);
    list.fill({}, 0);
    EXPECT_EQ(list.record()->numEvents, 0);
}

TEST(VstEventList, LateEventGetsDeltaZero)
{
    VstEventList list;
    list.fill(std::vector<ScheduledEvent>{noteOnAt(5, 1)}, 64);
    EXPECT_EQ(list.at(0).deltaFrames, 0);
}

} // namespace
