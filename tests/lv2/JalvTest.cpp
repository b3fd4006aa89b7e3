// The bundle in a real host: jalv runs it as a JACK client on a private dummy server, set to a factory
// program through its control ports, and a MIDI file played into it must give each note on its frame and
// at its pitch.
#include "JackTestSupport.h"

#include "lv2/Lv2Ports.h"
#include "lv2/PortTable.h"
#include "params/ParameterApplication.h"
#include "params/ProgramBank.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace jacktest;

TEST(Jalv, PlaysAMidiFileWithEachNoteOnItsFrameAndPitch)
{
    const std::string output = ZENTHARODE_TEST_OUTPUT;
    PrivateJackServer server(output);
    ASSERT_TRUE(server.ready()) << server.log();
    setenv("LV2_PATH", ZENTHARODE_LV2_BUNDLES, 1);

    // The test program through jalv's control options, as the values the plug-in keeps.
    ProgramBank bank;
    bank.loadFactoryPresets();
    const std::vector<ParameterPort> ports = parameterPorts();
    std::vector<std::string> command = {"jalv", "-x", "-n", "jalvsynth"};
    for (int32_t i = 0; i < kNumParams; i++)
    {
        char value[32];
        std::snprintf(value, sizeof value, "%.9g",
                      static_cast<double>(storedParameterValue(i, bank.program(kTestProgram).fParams[i])));
        command.push_back("-c");
        command.push_back(ports[static_cast<size_t>(i)].symbol + "=" + value);
    }
    command.push_back(lv2uri::kPlugin);
    ChildProcess jalv(command, output + "/jalv.log");
    ASSERT_TRUE(waitForPorts({"jalvsynth:midi_in", "jalvsynth:in_l", "jalvsynth:in_r", "jalvsynth:out_l",
                              "jalvsynth:out_r"},
                             20s))
        << jalv.log();

    const MidiSequence song = testSong(output + "/jalv-notes.mid");
    PlayRecordOptions options;
    options.clientName = "jalv-test";
    options.midiDestination = "jalvsynth:midi_in";
    options.recordSources = {"jalvsynth:out_l", "jalvsynth:out_r"};
    Recording recording;
    std::string error;
    ASSERT_TRUE(playAndRecord(song, options, recording, error)) << error;
    EXPECT_EQ(checkNotes(recording), "");

    jalv.stop(SIGTERM, 10s);
    // jalv reports what it could not do with the plug-in in words; none of that.
    const std::string log = jalv.log();
    for (const char* fault : {"rror", "arning", "missing", "not supported", "nsupported"})
        EXPECT_EQ(log.find(fault), std::string::npos) << log;
}
