// Checking, repairing and reading Standard MIDI File images.
#include "MidiBytes.h"
#include "MidiFile.h"

#include <gtest/gtest.h>

namespace {

using namespace midibytes;

// Expects parseMidiImage to refuse `bytes` with a message containing `words`.
void expectRefused(const Bytes& bytes, const std::string& words)
{
    try {
        parseMidiImage(bytes);
        FAIL() << "accepted; expected an error containing \"" << words << "\"";
    } catch (const MidiFileError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

Bytes oneNoteFile()
{
    return file(0, 96, {Track().event(96, {0x90, 60, 100}).event(96, {0x80, 60, 0}).end()});
}

TEST(MidiFile, TempoMapGivesSeconds)
{
    // 96 ticks per quarter: 0.5 s per quarter first, 0.25 s per quarter from tick 192 (set in another track).
    const Bytes bytes = file(1, 96,
                             {Track().tempo(0, 500000).tempo(192, 250000).end(),
                              Track().event(96, {0x90, 60, 100}).event(192, {0x80, 60, 0}).event(96, {0xE0, 0, 64}).end()});
    const MidiSequence sequence = parseMidiImage(bytes);
    ASSERT_EQ(sequence.events.size(), 3u);
    EXPECT_DOUBLE_EQ(sequence.events[0].seconds, 0.5);
    EXPECT_DOUBLE_EQ(sequence.events[1].seconds, 1.25);
    EXPECT_DOUBLE_EQ(sequence.events[2].seconds, 1.5);
    EXPECT_EQ(sequence.events[2].data[0], 0xE0);
    EXPECT_EQ(sequence.events[2].data[2], 64);
    EXPECT_DOUBLE_EQ(sequence.lengthSeconds, 1.5);
}

TEST(MidiFile, DefaultTempoIs120BeatsPerMinute)
{
    const MidiSequence sequence = parseMidiImage(oneNoteFile());
    ASSERT_EQ(sequence.events.size(), 2u);
    EXPECT_DOUBLE_EQ(sequence.events[0].seconds, 0.5);
    EXPECT_DOUBLE_EQ(sequence.events[1].seconds, 1.0);
}

TEST(MidiFile, KeepsChannelMessagesAndDropsMetaAndSysEx)
{
    const Bytes bytes = file(0, 96,
                             {Track()
                                  .event(0, {0xB3, 1, 127})
                                  .event(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7})
                                  .event(0, {0xFF, 0x03, 0x02, 'h', 'i'})
                                  .event(0, {0xC3, 5})
                                  .event(0, {0xD3, 9})
                                  .end(10)});
    const MidiSequence sequence = parseMidiImage(bytes);
    ASSERT_EQ(sequence.events.size(), 3u);
    EXPECT_EQ(sequence.events[0].data[0], 0xB3);
    EXPECT_EQ(sequence.events[1].size, 2);
    EXPECT_EQ(sequence.events[2].data[0], 0xD3);
    EXPECT_GT(sequence.lengthSeconds, 0.0); // the end-of-track event 10 ticks later counts
}

TEST(MidiFile, RunningStatusIsUnderstood)
{
    const Bytes bytes = file(0, 96, {Track().event(0, {0x90, 60, 100}).event(10, {62, 100}).event(10, {60, 0}).end()});
    const MidiSequence sequence = parseMidiImage(bytes);
    ASSERT_EQ(sequence.events.size(), 3u);
    EXPECT_EQ(sequence.events[1].data[0], 0x90);
    EXPECT_EQ(sequence.events[1].data[1], 62);
    EXPECT_EQ(sequence.events[2].data[2], 0);
}

TEST(MidiFile, EmptyTrackGivesNoEvents)
{
    const MidiSequence sequence = parseMidiImage(file(0, 96, {Track().end()}));
    EXPECT_TRUE(sequence.events.empty());
    EXPECT_EQ(sequence.lengthSeconds, 0.0);
}

TEST(MidiFileCheck, AddsAMissingEndOfTrack)
{
    const Bytes bytes = file(0, 96, {Track().event(96, {0x90, 60, 100})});
    const MidiSequence sequence = parseMidiImage(bytes);
    ASSERT_EQ(sequence.events.size(), 1u);
    EXPECT_DOUBLE_EQ(sequence.events[0].seconds, 0.5);
}

TEST(MidiFileCheck, DropsBytesAfterEndOfTrackAndSkipsUnknownChunks)
{
    Bytes bytes = header(0, 1, 96);
    append(bytes, {'X', 'Y', 'Z', 'W', 0, 0, 0, 2, 1, 2});
    Track track;
    track.event(0, {0x90, 60, 100}).end().event(0, {0x90, 61, 100});
    append(bytes, track.chunk());
    const MidiSequence sequence = parseMidiImage(bytes);
    ASSERT_EQ(sequence.events.size(), 1u);
    EXPECT_EQ(sequence.events[0].data[1], 60);
}

TEST(MidiFileCheck, RefusesWhatIsNotMidi)
{
    expectRefused({}, "empty");
    expectRefused({'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E', 0, 0}, "not a MIDI file");
    expectRefused({'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 0}, "not a MIDI file");
}

TEST(MidiFileCheck, RefusesTruncatedFiles)
{
    const Bytes whole = oneNoteFile();
    for (size_t cut : {size_t{5}, size_t{12}, size_t{14}, size_t{20}, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        expectRefused(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)), "truncated");
    }
    Bytes missingTrack = header(1, 2, 96);
    append(missingTrack, Track().end().chunk());
    expectRefused(missingTrack, "1 of 2 tracks");
}

TEST(MidiFileCheck, RefusesUnsupportedHeaders)
{
    expectRefused(file(3, 96, {Track().end()}), "format 3");
    expectRefused(file(0, 0, {Track().end()}), "division is 0");
    expectRefused(file(0, 0xE728, {Track().end()}), "SMPTE");
    expectRefused(header(0, 0, 96), "no tracks");
}

TEST(MidiFileCheck, RefusesMalformedTrackData)
{
    expectRefused(file(0, 96, {Track().event(0, {60, 100}).end()}), "data byte where a status byte");
    expectRefused(file(0, 96, {Track().event(0, {0x90, 0x90, 100}).end()}), "status byte where a data byte");
    expectRefused(file(0, 96, {Track().event(0, {0xF2, 1, 2}).end()}), "system message");
    expectRefused(file(0, 96, {Track().event(0, {0xFF, 0x01, 0x40, 'a'})}), "past the end");
    // A note-on cut short at the end of its track.
    expectRefused(file(0, 96, {Track().event(0, {0x90, 60})}), "past the end");
    Bytes longQuantity = header(0, 1, 96);
    append(longQuantity, {'M', 'T', 'r', 'k', 0, 0, 0, 9, 0x81, 0x81, 0x81, 0x81, 0x01, 0xFF, 0x2F, 0x00, 0x00});
    expectRefused(longQuantity, "longer than four bytes");
}

TEST(MidiFileCheck, RefusesTrackTimesBeyondTheTickCounter)
{
    Track track;
    for (int i = 0; i < 9; ++i)
        track.event(0x0FFFFFFF, {0x90, 60, 1});
    expectRefused(file(0, 96, {track.end()}), "too far apart");
}

TEST(ReadMidiFile, NamesThePathOfAMissingFile)
{
    try {
        readMidiFile("/nonexistent/song.mid");
        FAIL();
    } catch (const MidiFileError& error) {
        EXPECT_NE(std::string(error.what()).find("/nonexistent/song.mid: cannot open"), std::string::npos)
            << error.what();
    }
}

} // namespace
