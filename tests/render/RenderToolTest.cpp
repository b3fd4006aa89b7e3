// zentharode-render end to end: MIDI files written here, rendered through the fake instrument (exact
// event timing) or the real plug-in, and the tool's refusals of bad input.
#include "MidiBytes.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace midibytes;

struct RunResult
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct Audio
{
    SF_INFO info{};
    std::vector<float> left;
    std::vector<float> right;
};

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out.append("'\\''");
        else
            out.push_back(c);
    }
    out.push_back('\'');
    return out;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

Audio readAudio(const std::string& path)
{
    Audio audio;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return audio;
    std::vector<float> frames(static_cast<size_t>(audio.info.frames * audio.info.channels));
    sf_readf_float(file, frames.data(), audio.info.frames);
    sf_close(file);
    if (audio.info.channels == 2) {
        for (size_t i = 0; i < frames.size(); i += 2) {
            audio.left.push_back(frames[i]);
            audio.right.push_back(frames[i + 1]);
        }
    }
    return audio;
}

// Each test works in its own folder, so tests may run in parallel.
class RenderTool : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        fDir = std::string(TEST_WORK_DIR) + "/" + info->test_suite_name() + "." + info->name();
        fs::remove_all(fDir);
        fs::create_directories(fDir);
    }

    std::string path(const std::string& name) const { return fDir + "/" + name; }

    // Runs the tool with `args`; the fake instrument logs the host's calls into log.txt.
    RunResult run(const std::vector<std::string>& args) const
    {
        std::ostringstream command;
        command << "cd " << quoted(fDir) << " && FAKE_PLUGIN_LOG=" << quoted(path("log.txt")) << " "
                << quoted(RENDER_TOOL);
        for (const std::string& arg : args)
            command << " " << quoted(arg);
        command << " >" << quoted(path("stdout.txt")) << " 2>" << quoted(path("stderr.txt"));
        RunResult result;
        const int status = std::system(command.str().c_str());
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readText(path("stdout.txt"));
        result.err = readText(path("stderr.txt"));
        return result;
    }

    RunResult renderFake(const std::string& midi, const std::string& output, std::vector<std::string> more = {}) const
    {
        std::vector<std::string> args{"--plugin", FAKE_PLUGIN, "--output", output};
        args.insert(args.end(), more.begin(), more.end());
        args.push_back(midi);
        return run(args);
    }

    std::vector<std::string> log() const { return lines(readText(path("log.txt"))); }

    std::string fDir;
};

// The fake marks a note-on of key k at its sample with k/128 on the left, a note-off with -k/128.
std::vector<std::pair<size_t, float>> marks(const std::vector<float>& left)
{
    std::vector<std::pair<size_t, float>> out;
    for (size_t i = 0; i < left.size(); ++i)
        if (left[i] != 0.0f)
            out.emplace_back(i, left[i]);
    return out;
}

// 96 ticks per quarter at 120 beats per minute: one tick is 250 samples at 48 kHz.
constexpr int kDivision = 96;
constexpr int kRate = 48000;
constexpr int kSamplesPerTick = 250;

TEST_F(RenderTool, NoteOnAtAKnownTickLandsOnItsSample)
{
    save(path("one.mid"), file(0, kDivision, {Track().event(7, {0x90, 60, 100}).event(93, {0x80, 60, 0}).end()}));
    const RunResult result = renderFake("one.mid", "one.wav", {"--rate", "48000", "--block", "64", "--tail", "0.5"});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const Audio audio = readAudio(path("one.wav"));
    EXPECT_EQ(audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(audio.info.samplerate, kRate);
    EXPECT_EQ(audio.info.channels, 2);
    // The song ends at tick 100 (25000 samples); the tail adds 24000.
    ASSERT_EQ(audio.info.frames, 100 * kSamplesPerTick + kRate / 2);
    const auto found = marks(audio.left);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].first, 7u * kSamplesPerTick);
    EXPECT_EQ(found[0].second, 60.0f / 128.0f);
    EXPECT_EQ(found[1].first, 100u * kSamplesPerTick);
    EXPECT_EQ(found[1].second, -60.0f / 128.0f);
    // The note's sine sounds from its sample to its note-off and not elsewhere.
    EXPECT_EQ(audio.right[7 * kSamplesPerTick - 1], 0.0f);
    EXPECT_GT(audio.right[7 * kSamplesPerTick + 1], 0.0f);
    EXPECT_TRUE(std::all_of(audio.right.begin() + 100 * kSamplesPerTick, audio.right.end(),
                            [](float s) { return s == 0.0f; }));

    // The host's calls, in order: 1750 = block 27 (1728) + 22, 25000 = block 390 (24960) + 40.
    const auto calls = log();
    ASSERT_GE(calls.size(), 9u);
    EXPECT_EQ(calls[0], "version 2400");
    EXPECT_EQ(calls[1], "open");
    EXPECT_EQ(calls[2], "rate 48000");
    EXPECT_EQ(calls[3], "block 64");
    EXPECT_EQ(calls[4], "program 0");
    EXPECT_EQ(calls[5], "mains 1");
    EXPECT_EQ(calls[6], "wantmidi 1");
    EXPECT_EQ(calls[calls.size() - 2], "mains 0");
    EXPECT_EQ(calls.back(), "close");
    std::vector<std::string> events;
    size_t blocks = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].rfind("events", 0) == 0) {
            events.push_back(calls[i]);
            ASSERT_LT(i + 1, calls.size());
            EXPECT_EQ(calls[i + 1], "process 64") << "events go right before their block";
            EXPECT_EQ(blocks, events.size() == 1 ? 27u : 390u);
        }
        if (calls[i].rfind("process", 0) == 0) {
            EXPECT_EQ(calls[i], "process 64");
            ++blocks;
        }
        EXPECT_EQ(calls[i].find("bad delta"), std::string::npos) << calls[i];
    }
    EXPECT_EQ(events, (std::vector<std::string>{"events 22:903c64", "events 40:803c00"}));
    EXPECT_EQ(blocks, (49000u + 63u) / 64u);
}

TEST_F(RenderTool, TempoChangesMoveLaterEvents)
{
    // Quarter = 0.5 s, from tick 96 a quarter = 0.25 s (tempo in its own track), then 1 s.
    save(path("tempo.mid"),
         file(1, kDivision,
              {Track().tempo(0, 500000).tempo(96, 250000).tempo(96, 1000000).end(),
               Track().event(48, {0x90, 40, 90}).event(48, {0x90, 41, 90}).event(48, {0x90, 42, 90})
                   .event(48, {0x90, 43, 90}).event(48, {0x90, 44, 90}).end()}));
    const RunResult result = renderFake("tempo.mid", "tempo.wav", {"--rate", "44100", "--block", "100", "--tail", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Audio audio = readAudio(path("tempo.wav"));
    const auto found = marks(audio.left);
    ASSERT_EQ(found.size(), 5u);
    // 0.25 s, 0.5 s, 0.625 s, 0.75 s, then half a 1-second quarter later: 1.25 s.
    const size_t expected[] = {11025, 22050, 27563, 33075, 55125};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(found[i].first, expected[i]) << "note " << i;
        EXPECT_EQ(found[i].second, static_cast<float>(40 + i) / 128.0f);
    }
    EXPECT_EQ(audio.info.frames, 55126); // no tail: the file ends with the last event's sample
}

TEST_F(RenderTool, EveryBlockSizeGivesTheSameSamples)
{
    // Events on block boundaries, just before and after them, a chord on one sample, bend and controller.
    Track track;
    track.event(0, {0x90, 60, 100}).event(0, {0x90, 64, 100}).event(0, {0x90, 67, 100})
        .event(1, {0x80, 64, 0}).event(1, {0xE0, 0, 80}).event(0, {0xB0, 1, 64})
        .event(5, {0x80, 60, 0}).event(4, {0x90, 72, 30}).event(10, {0x80, 67, 0}).event(0, {0x80, 72, 0}).end(2);
    save(path("split.mid"), file(0, kDivision, {track}));

    std::vector<float> reference;
    for (const char* block : {"1", "7", "250", "251", "512", "65536"}) {
        SCOPED_TRACE(block);
        const std::string out = std::string("split-") + block + ".wav";
        const RunResult result = renderFake("split.mid", out, {"--rate", "48000", "--block", block, "--tail", "0.01"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const Audio audio = readAudio(path(out));
        ASSERT_EQ(audio.info.frames, 23 * kSamplesPerTick + 480);
        const auto found = marks(audio.left);
        ASSERT_EQ(found.size(), 6u);
        EXPECT_EQ(found[0].first, 0u);
        EXPECT_FLOAT_EQ(found[0].second, (60.0f + 64.0f + 67.0f) / 128.0f);
        EXPECT_EQ(found[1].first, 250u);
        EXPECT_FLOAT_EQ(found[1].second, -64.0f / 128.0f);
        EXPECT_EQ(found[2].first, 500u); // bend and controller together
        EXPECT_FLOAT_EQ(found[2].second, 0.25f + 0.125f);
        EXPECT_EQ(found[3].first, 1750u);
        EXPECT_EQ(found[4].first, 2750u);
        EXPECT_EQ(found[5].first, 5250u);
        EXPECT_FLOAT_EQ(found[5].second, (-67.0f - 72.0f) / 128.0f);
        if (reference.empty())
            reference = audio.right;
        EXPECT_EQ(audio.right, reference);
        for (const std::string& call : log())
            EXPECT_EQ(call.find("bad delta"), std::string::npos) << call;
        fs::remove(path("log.txt"));
    }
}

TEST_F(RenderTool, FileWithoutEventsRendersTheTailOnly)
{
    save(path("empty.mid"), file(0, kDivision, {Track().end()}));
    const RunResult result = renderFake("empty.mid", "empty.wav", {"--tail", "1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Audio audio = readAudio(path("empty.wav"));
    EXPECT_EQ(audio.info.samplerate, 44100);
    ASSERT_EQ(audio.info.frames, 44100);
    EXPECT_TRUE(marks(audio.left).empty());
    const auto calls = log();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("events", 0) == 0; }), 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "process 512"), (44100 + 511) / 512);

    // No events and no tail: an empty file, and the plug-in is still opened and closed.
    ASSERT_EQ(renderFake("empty.mid", "nothing.wav", {"--tail", "0"}).exitCode, 0);
    EXPECT_EQ(readAudio(path("nothing.wav")).info.frames, 0);
}

TEST_F(RenderTool, ChannelMessagesPassThroughAndTheRestDoesNot)
{
    Track track;
    track.event(0, {0x95, 50, 1})                                     // note on, channel 6
        .event(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7})                     // system exclusive
        .event(0, {0xFF, 0x01, 0x02, 'h', 'i'})                      // text
        .event(0, {0xC5, 9})                                          // program change
        .event(0, {0xA5, 50, 3})                                      // key pressure
        .event(0, {0xBF, 126, 0})                                     // controller 126, channel 16
        .event(0, {0xE5, 0x7F, 0x7F})                                 // pitch bend at the top
        .event(1, {0x85, 50, 0})
        .end();
    save(path("messages.mid"), file(0, kDivision, {track}));
    ASSERT_EQ(renderFake("messages.mid", "messages.wav", {"--tail", "0"}).exitCode, 0);
    const auto calls = log();
    std::vector<std::string> events;
    for (const std::string& call : calls)
        if (call.rfind("events", 0) == 0)
            events.push_back(call);
    ASSERT_EQ(events.size(), 1u); // 1 tick is 230 samples at 44.1 kHz: one block of 512
    EXPECT_EQ(events[0], "events 0:953201 0:c50900 0:a53203 0:bf7e00 0:e57f7f 230:853200");
}

TEST_F(RenderTool, ProgramRateAndBlockReachThePlugin)
{
    save(path("a.mid"), file(0, kDivision, {Track().event(0, {0x90, 60, 100}).end(96)}));
    const RunResult result = renderFake("a.mid", "a.flac", {"--program", "7", "--rate", "96000", "--block", "100"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto calls = log();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "program 7"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "rate 96000"), calls.end());
    EXPECT_NE(std::find(calls.begin(), calls.end(), "block 100"), calls.end());
    const Audio audio = readAudio(path("a.flac"));
    EXPECT_EQ(audio.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(audio.info.samplerate, 96000);
    EXPECT_EQ(audio.info.frames, 96000 / 2 + 3 * 96000); // half a second of song, the default 3 s tail
}

TEST_F(RenderTool, NonFiniteSamplesAreSilencedWithAWarning)
{
    save(path("nan.mid"), file(0, kDivision, {Track().event(1, {0x9F, 60, 100}).end(1)}));
    const RunResult result = renderFake("nan.mid", "nan.wav", {"--tail", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.err.find("warning: nan.wav: 1 samples were not finite"), std::string::npos) << result.err;
    const Audio audio = readAudio(path("nan.wav"));
    ASSERT_EQ(audio.info.frames, 459);
    EXPECT_TRUE(std::all_of(audio.left.begin(), audio.left.end(), [](float s) { return s == 0.0f; }));
}

TEST_F(RenderTool, OutputDefaultsToTheMidiNameInTheCurrentFolder)
{
    fs::create_directories(path("songs"));
    save(path("songs/tune.mid"), file(0, kDivision, {Track().end(1)}));
    ASSERT_EQ(run({"--plugin", FAKE_PLUGIN, "--tail", "0", "songs/tune.mid"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(path("tune.wav")));
}

TEST_F(RenderTool, DemoWritesOneFilePerFactoryProgram)
{
    const RunResult result = run({"--plugin", FAKE_PLUGIN, "--demo", "demo", "--rate", "22050", "--tail", "0.5"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> expected{"demo/0-fake-tone-0.wav"};
    for (int i = 1; i < 8; ++i)
        expected.push_back("demo/" + std::to_string(i) + "-fake-tone-" + std::to_string(i) + ".wav");
    EXPECT_EQ(lines(result.out), expected);
    int64_t frames = -1;
    for (const std::string& name : expected) {
        const Audio audio = readAudio(path(name));
        EXPECT_EQ(audio.info.samplerate, 22050);
        EXPECT_EQ(audio.info.channels, 2);
        EXPECT_GT(audio.info.frames, 22050 * 5);
        if (frames < 0)
            frames = audio.info.frames;
        EXPECT_EQ(audio.info.frames, frames) << "every program plays the same phrase";
        EXPECT_FALSE(marks(audio.left).empty());
    }
    const auto calls = log();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "program " + std::to_string(i)), i == 0 ? 2 : 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "close"), 9); // one instance reads the names
}

// Expects the run to fail with `code`, to mention `words` on stderr and to leave no output file.
void expectFailure(const RunResult& result, int code, const std::string& words, const std::string& output)
{
    EXPECT_EQ(result.exitCode, code) << result.err;
    EXPECT_NE(result.err.find(words), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("runtime error"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(output)) << output;
}

TEST_F(RenderTool, RefusesBadMidiFiles)
{
    expectFailure(renderFake("missing.mid", "out.wav"), 1, "missing.mid: cannot open: No such file", path("out.wav"));
    const Bytes whole = file(0, kDivision, {Track().event(7, {0x90, 60, 100}).end(93)});
    save(path("cut.mid"), Bytes(whole.begin(), whole.end() - 3));
    expectFailure(renderFake("cut.mid", "out.wav"), 1, "cut.mid: truncated file", path("out.wav"));
    std::ofstream(path("text.mid")) << "MIDI? no, just text\n";
    expectFailure(renderFake("text.mid", "out.wav"), 1, "text.mid: not a MIDI file", path("out.wav"));
    fs::create_directories(path("folder.mid"));
    expectFailure(renderFake("folder.mid", "out.wav"), 1, "folder.mid: cannot read", path("out.wav"));
}

TEST_F(RenderTool, RefusesBrokenPlugins)
{
    save(path("a.mid"), file(0, kDivision, {Track().event(0, {0x90, 60, 100}).end(96)}));
    const std::string out = path("out.wav");
    expectFailure(run({"--plugin", path("none.so"), "-o", "out.wav", "a.mid"}), 1, "cannot load plug-in", out);
    std::ofstream(path("fake.so")) << "not an ELF file";
    expectFailure(run({"--plugin", "fake.so", "-o", "out.wav", "a.mid"}), 1, "cannot load plug-in fake.so", out);
    expectFailure(run({"--plugin", FAKE_NO_ENTRY_PLUGIN, "-o", "out.wav", "a.mid"}), 1, "has no VSTPluginMain", out);
    expectFailure(run({"--plugin", FAKE_NULL_PLUGIN, "-o", "out.wav", "a.mid"}), 1, "returned no effect", out);
    expectFailure(run({"--plugin", FAKE_BAD_MAGIC_PLUGIN, "-o", "out.wav", "a.mid"}), 1, "wrong magic number", out);
    expectFailure(run({"--plugin", FAKE_NULL_PLUGIN, "--demo", "demo"}), 1, "returned no effect", path("demo/0-program.wav"));
}

TEST_F(RenderTool, RefusesBadOptionsAndOutputs)
{
    save(path("a.mid"), file(0, kDivision, {Track().end(96)}));
    const std::string out = path("out.wav");
    expectFailure(renderFake("a.mid", "out.wav", {"--program", "32"}), 2, "--program must be between 0 and 31", out);
    expectFailure(renderFake("a.mid", "out.wav", {"--rate", "fast"}), 2, "--rate needs a whole number", out);
    expectFailure(renderFake("a.mid", "out.wav", {"--block", "0"}), 2, "--block must be between", out);
    expectFailure(renderFake("a.mid", "out.wav", {"--tail", "inf"}), 2, "--tail needs a number of seconds", out);
    expectFailure(run({"--plugin", FAKE_PLUGIN}), 2, "no MIDI file given", out);
    expectFailure(renderFake("a.mid", "out.mp3"), 1, "must end in .wav or .flac", path("out.mp3"));
    expectFailure(renderFake("a.mid", "no/such/dir/out.wav"), 1, "cannot create", path("no/such/dir/out.wav"));

    const RunResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--tail SECONDS"), std::string::npos);
}

#ifdef REAL_PLUGIN
TEST_F(RenderTool, RealPluginRendersAFile)
{
    Track track;
    track.event(0, {0x90, 60, 100}).event(0, {0x90, 64, 80}).event(48, {0xE0, 0, 80}).event(48, {0x80, 60, 0})
        .event(0, {0x80, 64, 0}).end();
    save(path("real.mid"), file(0, kDivision, {track}));
    // No --plugin: the tool finds the plug-in of its own build.
    const RunResult result = run({"--output", "real.wav", "--rate", "48000", "--block", "256", "--tail", "0.5", "real.mid"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const Audio audio = readAudio(path("real.wav"));
    EXPECT_EQ(audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(audio.info.samplerate, 48000);
    EXPECT_EQ(audio.info.channels, 2);
    EXPECT_EQ(audio.info.frames, 48000 / 2 + 48000 / 2);
    EXPECT_TRUE(std::all_of(audio.left.begin(), audio.left.end(), [](float s) { return std::isfinite(s); }));

    const RunResult flac = run({"--plugin", REAL_PLUGIN, "--output", "real.flac", "--program", "5", "real.mid"});
    ASSERT_EQ(flac.exitCode, 0) << flac.err;
    const Audio flacAudio = readAudio(path("real.flac"));
    EXPECT_EQ(flacAudio.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(flacAudio.info.frames, 44100 / 2 + 3 * 44100);
}

TEST_F(RenderTool, RealPluginDemoNamesFilesAfterTheFactoryPrograms)
{
    const RunResult result = run({"--plugin", REAL_PLUGIN, "--demo", "demo", "--rate", "8000", "--tail", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> expected{"demo/0-pneumatic-vorn.wav",        "demo/1-chimar.wav",
                                            "demo/2-little-dissonant-vorn.wav", "demo/3-soft-vorn.wav",
                                            "demo/4-inner-vibration.wav",       "demo/5-rattling-vorn-cc105.wav",
                                            "demo/6-hybrid-1.wav",              "demo/7-rubbarb.wav"};
    EXPECT_EQ(lines(result.out), expected);
    for (const std::string& name : expected) {
        const Audio audio = readAudio(path(name));
        EXPECT_EQ(audio.info.samplerate, 8000);
        EXPECT_EQ(audio.info.channels, 2);
        EXPECT_EQ(audio.info.frames, 12 * 8000 + 1); // 20 beats at 100 per minute, up to the last note-off
    }
}
#endif

} // namespace
