// Command-line parsing, the demo phrase and the demo file names.
#include "DemoPhrase.h"
#include "Options.h"

#include <gtest/gtest.h>

#include <map>

namespace {

void expectRefused(const std::vector<std::string>& args, const std::string& words)
{
    try {
        parseOptions(args);
        FAIL() << "accepted; expected an error containing \"" << words << "\"";
    } catch (const OptionError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

TEST(Options, DefaultsAndDerivedOutput)
{
    const RenderOptions options = parseOptions({"songs/tune.mid"});
    EXPECT_EQ(options.midiPath, "songs/tune.mid");
    EXPECT_EQ(options.outputPath, "tune.wav");
    EXPECT_EQ(options.program, 0);
    EXPECT_EQ(options.sampleRate, 44100);
    EXPECT_EQ(options.blockSize, 512);
    EXPECT_DOUBLE_EQ(options.tailSeconds, 3.0);
    EXPECT_TRUE(options.pluginPath.empty());
}

TEST(Options, ReadsEveryOptionInBothSpellings)
{
    const RenderOptions options = parseOptions({"--program", "31", "--rate=48000", "--block", "1", "--tail=0.25",
                                                "--output", "x.flac", "--plugin=/p.so", "a.mid"});
    EXPECT_EQ(options.program, 31);
    EXPECT_EQ(options.sampleRate, 48000);
    EXPECT_EQ(options.blockSize, 1);
    EXPECT_DOUBLE_EQ(options.tailSeconds, 0.25);
    EXPECT_EQ(options.outputPath, "x.flac");
    EXPECT_EQ(options.pluginPath, "/p.so");
}

TEST(Options, RefusesBadValues)
{
    expectRefused({"--program", "32", "a.mid"}, "between 0 and 31");
    expectRefused({"--program", "-1", "a.mid"}, "between 0 and 31");
    expectRefused({"--rate", "44100.5", "a.mid"}, "whole number");
    expectRefused({"--rate", "0", "a.mid"}, "between 8000");
    expectRefused({"--block", "0", "a.mid"}, "between 1 and 65536");
    expectRefused({"--block", "", "a.mid"}, "whole number");
    expectRefused({"--block", "99999999999", "a.mid"}, "whole number");
    expectRefused({"--tail", "nan", "a.mid"}, "seconds");
    expectRefused({"--tail", "-0.5", "a.mid"}, "between 0 and 3600");
    expectRefused({"--tail", "2s", "a.mid"}, "seconds");
    expectRefused({"a.mid", "--rate"}, "needs a value");
    expectRefused({"--loud", "a.mid"}, "unknown option --loud");
    expectRefused({"a.mid", "b.mid"}, "only one MIDI file");
    expectRefused({}, "no MIDI file");
    expectRefused({"--demo", "out", "a.mid"}, "no MIDI file with it");
    expectRefused({"--demo", "out", "--output", "x.wav"}, "no --output");
}

TEST(Options, HelpNeedsNothingElse)
{
    EXPECT_TRUE(parseOptions({"--help"}).help);
    EXPECT_TRUE(parseOptions({"a.mid", "-h", "--block", "0"}).help);
}

TEST(Options, DefaultOutputPath)
{
    EXPECT_EQ(defaultOutputPath("a/b/song.mid"), "song.wav");
    EXPECT_EQ(defaultOutputPath("song"), "song.wav");
    EXPECT_EQ(defaultOutputPath(".hidden"), ".hidden.wav");
    EXPECT_EQ(defaultOutputPath("dir/"), "render.wav");
}

TEST(DemoFileStem, MakesProgramNamesSafeForFiles)
{
    EXPECT_EQ(demoFileStem(0, "pneumatic vorn"), "0-pneumatic-vorn");
    EXPECT_EQ(demoFileStem(5, "rattling vorn cc105"), "5-rattling-vorn-cc105");
    EXPECT_EQ(demoFileStem(3, "  A/B: c..d  "), "3-a-b-c-d");
    EXPECT_EQ(demoFileStem(7, ""), "7-program");
    EXPECT_EQ(demoFileStem(1, "../.."), "1-program");
    EXPECT_EQ(demoFileStem(2, "caf\xc3\xa9"), "2-caf");
    EXPECT_EQ(demoFileStem(4, std::string(200, 'x')).size(), 2u + 48u);
}

TEST(DemoPhrase, IsOrderedAndEveryNoteEnds)
{
    const MidiSequence phrase = demoPhrase();
    ASSERT_FALSE(phrase.events.empty());
    std::map<int, int> held;
    int bends = 0;
    std::map<int, int> velocities;
    double previous = 0.0;
    for (const MidiEvent& event : phrase.events) {
        EXPECT_GE(event.seconds, previous);
        previous = event.seconds;
        EXPECT_EQ(event.size, 3);
        const int status = event.data[0] & 0xF0;
        if (status == 0x90) {
            ++held[event.data[1]];
            ++velocities[event.data[2]];
        } else if (status == 0x80) {
            --held[event.data[1]];
        } else if (status == 0xE0) {
            ++bends;
        }
    }
    for (const auto& [key, count] : held)
        EXPECT_EQ(count, 0) << "note " << key;
    EXPECT_GT(bends, 2);
    EXPECT_GE(velocities.size(), 5u);
    EXPECT_EQ(phrase.events.back().data[0] & 0xF0, 0x80);
    EXPECT_DOUBLE_EQ(phrase.lengthSeconds, phrase.events.back().seconds);
    // The last pitch bend returns to the centre.
    for (auto it = phrase.events.rbegin(); it != phrase.events.rend(); ++it) {
        if ((it->data[0] & 0xF0) == 0xE0) {
            EXPECT_EQ(it->data[1] | (it->data[2] << 7), 8192);
            break;
        }
    }
}

} // namespace
