// The standalone program: its command line, bank file and synthesizer, then the program itself on a private
// JACK server (headless: each note on its frame and pitch, clean exit, bank written; without a server: a
// plain message) and, under Xvfb, its window.
#include "JackTestSupport.h"

#define ALLOCATION_COUNTER_DEFINE
#include "../lv2/AllocationCounter.h"

#include "editor/SynthEditor.h"
#include "jack/BankFile.h"
#include "jack/Options.h"
#include "jack/StandaloneSynth.h"
#include "params/ParameterApplication.h"

// Before the X11 headers, whose macros (None, Bool) collide with its names.
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

using namespace jacktest;

namespace
{
const std::string kOutput = ZENTHARODE_TEST_OUTPUT;

std::vector<std::string> args(std::initializer_list<const char*> list)
{
    return std::vector<std::string>(list.begin(), list.end());
}

// The font caches the editors filled stay with the process; freeing them keeps the leak checker to ours.
class FontCleanup : public ::testing::Environment
{
public:
    void TearDown() override
    {
        cairo_debug_reset_static_data();
        FcFini();
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new FontCleanup);
} // namespace

TEST(StandaloneOptions, TakesEveryOptionAndRefusesWhatItCannotUse)
{
    StandaloneOptions o;
    std::string error;
    ASSERT_TRUE(parseOptions(args({"--name", "synth", "--no-gui", "--connect-midi", "a:midi", "--connect-midi", "auto",
                                   "--connect-in", "x:1,x:2", "--connect-out", "auto", "--bank", "b.zbk", "--program",
                                   "31"}),
                             o, error))
        << error;
    EXPECT_EQ(o.clientName, "synth");
    EXPECT_FALSE(o.gui);
    EXPECT_EQ(o.midiSources, args({"a:midi", "auto"}));
    EXPECT_EQ(o.audioSources, args({"x:1", "x:2"}));
    EXPECT_EQ(o.audioDestinations, args({"auto"}));
    EXPECT_EQ(o.bankPath, "b.zbk");
    EXPECT_EQ(o.program, 31);

    StandaloneOptions defaults;
    ASSERT_TRUE(parseOptions({}, defaults, error));
    EXPECT_EQ(defaults.clientName, "zentharode");
    EXPECT_TRUE(defaults.gui);
    EXPECT_EQ(defaults.program, -1);

    for (const auto& bad : {args({"--program", "32"}), args({"--program", "-1"}), args({"--program", "3x"}),
                            args({"--program"}), args({"--name", ""}), args({"--connect-out", "a,b,c"}),
                            args({"--connect-in", "a,"}), args({"--connect-in", ",b"}), args({"--bogus"}),
                            args({"song.mid"})})
    {
        StandaloneOptions refused;
        error.clear();
        EXPECT_FALSE(parseOptions(bad, refused, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
    EXPECT_NE(usageText().find("--connect-midi"), std::string::npos);
}

TEST(StandaloneBankFile, RoundTripsTheBankAndReadsTheVstImages)
{
    const std::string path = kOutput + "/roundtrip.zbk";
    BankFile written;
    ProgramBank bank;
    bank.loadFactoryPresets();
    for (int32_t p = 0; p < kNumPrograms; p++)
        written.records[p] = bank.program(p);
    written.records[9].fParams[kWarp] = 0.123f;
    std::snprintf(written.records[9].name, sizeof written.records[9].name, "%s", "nine");
    written.program = 9;
    std::string error;
    ASSERT_TRUE(writeBankFile(path, written, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(kBankFileSize));

    BankFile read;
    BankFileKind kind{};
    ASSERT_TRUE(readBankFile(path, read, kind, error)) << error;
    EXPECT_EQ(kind, BankFileKind::bank);
    EXPECT_EQ(read.program, 9);
    EXPECT_EQ(std::memcmp(read.records, written.records, kBankChunkSize), 0);

    // The VST 2.x build's bank and program images, as hosts save them.
    auto save = [](const std::string& file, const void* data, size_t size) {
        std::ofstream out(file, std::ios::binary);
        out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    };
    save(kOutput + "/bank.fxb-image", written.records, kBankChunkSize);
    ASSERT_TRUE(readBankFile(kOutput + "/bank.fxb-image", read, kind, error)) << error;
    EXPECT_EQ(kind, BankFileKind::bank);
    EXPECT_EQ(read.program, 0);
    save(kOutput + "/program.fxp-image", &written.records[9], kPresetChunkSize);
    ASSERT_TRUE(readBankFile(kOutput + "/program.fxp-image", read, kind, error)) << error;
    EXPECT_EQ(kind, BankFileKind::program);
    EXPECT_STREQ(read.records[0].name, "nine");

    // Other sizes, a program number out of range and a missing file are refused with a reason.
    std::vector<char> odd(kBankChunkSize + 1, 0);
    save(kOutput + "/odd.zbk", odd.data(), odd.size());
    EXPECT_FALSE(readBankFile(kOutput + "/odd.zbk", read, kind, error));
    EXPECT_NE(error.find("not a bank or program file"), std::string::npos) << error;
    std::vector<char> big(kBankFileSize + 100, 0);
    save(kOutput + "/big.zbk", big.data(), big.size());
    EXPECT_FALSE(readBankFile(kOutput + "/big.zbk", read, kind, error));
    written.program = kNumPrograms;
    ASSERT_TRUE(writeBankFile(path, written, error));
    EXPECT_FALSE(readBankFile(path, read, kind, error));
    EXPECT_FALSE(readBankFile(kOutput + "/no such file", read, kind, error));
    EXPECT_FALSE(writeBankFile(kOutput + "/no such folder/x.zbk", written, error));
}

TEST(StandaloneSynthesizer, ProgramsControllersAndProgramChangesReachTheRecordsAndTheValues)
{
    StandaloneSynth synth;
    ProgramBank factory;
    factory.loadFactoryPresets();
    for (int32_t i = 0; i < kNumParams; i++)
        EXPECT_EQ(synth.getParameter(i), storedParameterValue(i, factory.program(0).fParams[i])) << i;

    synth.selectProgram(5);
    EXPECT_EQ(synth.currentProgram(), 5);
    for (int32_t i = 0; i < kNumParams; i++)
        EXPECT_EQ(synth.getParameter(i), storedParameterValue(i, factory.program(5).fParams[i])) << i;
    synth.selectProgram(32);
    EXPECT_EQ(synth.currentProgram(), 5);

    // A MIDI program change is handed over, not made on the audio thread; out of range ones are not.
    const uint8_t change[2] = {0xC3, 7};
    synth.midiEvent(0, change, 2);
    const uint8_t far[2] = {0xC0, 40};
    synth.midiEvent(0, far, 2);
    EXPECT_EQ(synth.takeRequestedProgram(), 7);
    EXPECT_EQ(synth.takeRequestedProgram(), -1);
    EXPECT_EQ(synth.currentProgram(), 5);

    // A mapped controller moves the value and the current record.
    const uint8_t controller[3] = {0xB0, 106, 127};
    synth.midiEvent(0, controller, 3);
    EXPECT_EQ(synth.getParameter(kResonance), 1.0f);
    SynthProgram records[kNumPrograms];
    synth.copyBank(records);
    EXPECT_EQ(records[5].fParams[kResonance], 1.0f);

    // The editor's changes are stored as the VST 2.x build stores them (body types snapped).
    synth.changeParameter(kBodyType1, 0.2f);
    EXPECT_EQ(synth.getParameter(kBodyType1), storedParameterValue(kBodyType1, 0.2f));
    char text[32] = {};
    synth.parameterText(kBodyType1, text);
    EXPECT_STREQ(text, "Guitar 2");

    // Rendering takes what was posted; silence in, silence out without notes.
    std::vector<float> left(64, 1.0f), right(64, 1.0f);
    float* outputs[2] = {left.data(), right.data()};
    synth.render(nullptr, outputs, 64);
    for (float v : left)
        EXPECT_EQ(v, 0.0f);
}

TEST(StandaloneSynthesizer, TheAudioThreadAllocatesNothing)
{
    StandaloneSynth synth;
    synth.setSampleRate(kRate);
    std::vector<float> left(kBlock), right(kBlock), input(kBlock, 0.001f);
    float* outputs[2] = {left.data(), right.data()};
    const float* inputs[2] = {input.data(), input.data()};
    const uint8_t messages[][3] = {{0x90, 60, 100}, {0xB0, 1, 90}, {0xE0, 0, 70}, {0xC0, 4, 0},
                                   {0x91, 67, 80},  {0x80, 60, 0}, {0xB0, 126, 0}, {0xB0, 107, 3}};
    long allocations = 0;
    for (int block = 0; block < 64; block++)
    {
        // The main thread's changes meanwhile, posted between blocks.
        synth.setParameter(block % kNumParams, static_cast<float>(block) / 64.0f);
        allocations::Counter counter;
        const auto& m = messages[block % 8];
        synth.midiEvent(block % kBlock, m, (m[0] & 0xF0) == 0xC0 ? 2 : 3);
        synth.render(inputs, outputs, kBlock);
        allocations += counter.count();
    }
    EXPECT_EQ(allocations, 0);
}

TEST(StandaloneProgram, WithoutAServerSaysSoPlainly)
{
    setenv("JACK_DEFAULT_SERVER", "zentharode-test-no-such-server", 1);
    ChildProcess program({ZENTHARODE_JACK_PROGRAM, "--no-gui"}, kOutput + "/no-server.log");
    EXPECT_EQ(program.wait(20s), 1);
    const std::string log = program.log();
    EXPECT_NE(log.find("zentharode-jack: no JACK server is running"), std::string::npos) << log;
    // One line: libjack's own complaints are kept back.
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
}

TEST(StandaloneProgram, HeadlessPlaysEachNoteOnItsFrameAndPitchAndSavesItsBankAtTheEnd)
{
    PrivateJackServer server(kOutput);
    ASSERT_TRUE(server.ready()) << server.log();
    const std::string bank = kOutput + "/headless.zbk";
    std::filesystem::remove(bank);
    ChildProcess synth({ZENTHARODE_JACK_PROGRAM, "--no-gui", "--name", "synth", "--program",
                        std::to_string(kTestProgram), "--bank", bank},
                       kOutput + "/headless.log");
    ASSERT_TRUE(waitForPorts({"synth:midi_in", "synth:in_l", "synth:in_r", "synth:out_l", "synth:out_r"}, 15s))
        << synth.log();

    const MidiSequence song = testSong(kOutput + "/notes.mid");
    PlayRecordOptions options;
    options.midiDestination = "synth:midi_in";
    options.recordSources = {"synth:out_l", "synth:out_r"};
    Recording recording;
    std::string error;
    ASSERT_TRUE(playAndRecord(song, options, recording, error)) << error;
    EXPECT_EQ(recording.blockSize, static_cast<uint32_t>(kBlock));
    EXPECT_EQ(checkNotes(recording), "");

    // SIGTERM: a clean end, with the bank and the program written.
    EXPECT_EQ(synth.stop(SIGTERM, 10s), 0) << synth.log();
    const std::string log = synth.log();
    EXPECT_NE(log.find("running as JACK client \"synth\" at 48000 Hz with program 3"), std::string::npos) << log;
    EXPECT_NE(log.find("terminated, stopping"), std::string::npos) << log;
    BankFile saved;
    BankFileKind kind{};
    ASSERT_TRUE(readBankFile(bank, saved, kind, error)) << error;
    EXPECT_EQ(saved.program, kTestProgram);

    // Started again on its bank, it takes the program from it and makes the connections asked for (the dummy
    // driver has two physical audio ports each way and no MIDI); SIGINT ends it as cleanly.
    ChildProcess again({ZENTHARODE_JACK_PROGRAM, "--no-gui", "--name", "again", "--bank", bank, "--connect-out", "auto",
                        "--connect-in", "system:capture_2", "--connect-midi", "auto"},
                       kOutput + "/headless-again.log");
    ASSERT_TRUE(waitForPorts({"again:out_l"}, 15s)) << again.log();
    const auto connected = std::chrono::steady_clock::now() + 10s;
    while (connectionsOf("again:out_r").empty() && std::chrono::steady_clock::now() < connected)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(connectionsOf("again:out_l"), args({"system:playback_1"}));
    EXPECT_EQ(connectionsOf("again:out_r"), args({"system:playback_2"}));
    EXPECT_EQ(connectionsOf("again:in_l"), args({"system:capture_2"}));
    EXPECT_EQ(connectionsOf("again:in_r"), args({"system:capture_2"}));
    EXPECT_EQ(again.stop(SIGINT, 10s), 0) << again.log();
    EXPECT_NE(again.log().find("with program 3"), std::string::npos) << again.log();
    EXPECT_NE(again.log().find("the server has no physical MIDI input to connect"), std::string::npos) << again.log();
}

TEST(StandaloneProgram, RefusesABankFileItCannotRead)
{
    const std::string bank = kOutput + "/broken.zbk";
    std::ofstream(bank) << "not a bank";
    ChildProcess synth({ZENTHARODE_JACK_PROGRAM, "--no-gui", "--bank", bank}, kOutput + "/broken.log");
    EXPECT_EQ(synth.wait(20s), 2);
    EXPECT_NE(synth.log().find("not a bank or program file"), std::string::npos) << synth.log();
    // The file is left as it was.
    EXPECT_EQ(std::filesystem::file_size(bank), 10u);
}

namespace
{
// The top-level window a process put up, found by its _NET_WM_PID.
Window findWindowOf(Display* display, pid_t pid)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    Window found = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return 0;
    for (unsigned int i = 0; i < count && found == 0; i++)
    {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                               &data) == Success
            && data != nullptr)
        {
            if (items == 1 && static_cast<pid_t>(*reinterpret_cast<const long*>(data)) == pid)
                found = children[i];
            XFree(data);
        }
    }
    if (children != nullptr)
        XFree(children);
    return found;
}

// The window's pixels that differ from the picture, and the window's content as an image.
int differingPixels(Display* display, Window window, cairo_surface_t* expected, cairo_surface_t* shot)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable)
        return -1;
    const int width = cairo_image_surface_get_width(expected);
    const int height = cairo_image_surface_get_height(expected);
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    if (image == nullptr)
        return -1;
    cairo_surface_flush(expected);
    cairo_surface_flush(shot);
    const unsigned char* want = cairo_image_surface_get_data(expected);
    unsigned char* got = cairo_image_surface_get_data(shot);
    const int stride = cairo_image_surface_get_stride(expected);
    int differing = 0;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
        {
            const unsigned long pixel = XGetPixel(image, x, y);
            const uint32_t rgb = static_cast<uint32_t>(((pixel & image->red_mask) >> 16) << 16
                                                       | ((pixel & image->green_mask) >> 8) << 8 | (pixel & image->blue_mask));
            reinterpret_cast<uint32_t*>(got + y * stride)[x] = rgb;
            differing += (reinterpret_cast<const uint32_t*>(want + y * stride)[x] & 0xFFFFFF) != rgb ? 1 : 0;
        }
    cairo_surface_mark_dirty(shot);
    XDestroyImage(image);
    return differing;
}
} // namespace

TEST(StandaloneWindow, OpensWithTheEditorsPictureAndClosingItEndsTheProgram)
{
    XInitThreads();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server (run under xvfb-run)";
    PrivateJackServer server(kOutput);
    ASSERT_TRUE(server.ready()) << server.log();
    ChildProcess synth({ZENTHARODE_JACK_PROGRAM, "--name", "gui"}, kOutput + "/window.log");

    Window window = 0;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (window == 0 && synth.running() && std::chrono::steady_clock::now() < deadline)
    {
        window = findWindowOf(display, synth.pid());
        if (window == 0)
            std::this_thread::sleep_for(50ms);
    }
    ASSERT_NE(window, 0u) << synth.log();

    // Its title names the client and the program; it keeps one size, the editor's.
    char* name = nullptr;
    ASSERT_NE(XFetchName(display, window, &name), 0);
    EXPECT_STREQ(name, "Zentharode (gui) - 0: pneumatic vorn");
    XFree(name);
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_NE(XGetWMNormalHints(display, window, &hints, &supplied), 0);
    EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
    EXPECT_EQ(hints.min_width, 851);
    EXPECT_EQ(hints.max_width, 851);
    EXPECT_EQ(hints.min_height, 311);
    EXPECT_EQ(hints.max_height, 311);

    // The window shows exactly what the editor draws for program 0.
    StandaloneSynth reference;
    SynthEditor editor(&reference);
    editor.openOffscreen();
    cairo_surface_t* expected = editor.getFrame()->image();
    cairo_surface_t* shot = cairo_image_surface_create(CAIRO_FORMAT_RGB24, editor.width(), editor.height());
    int differing = -1;
    const auto drawn = std::chrono::steady_clock::now() + 10s;
    while (differing != 0 && std::chrono::steady_clock::now() < drawn)
    {
        differing = differingPixels(display, window, expected, shot);
        if (differing != 0)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(differing, 0);
    // A picture for the README.
    EXPECT_EQ(cairo_surface_write_to_png(shot, (kOutput + "/standalone.png").c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(shot);

    // The window manager's close button ends the program cleanly.
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = window;
    close.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &close);
    XFlush(display);
    EXPECT_EQ(synth.wait(10s), 0) << synth.log();
    XCloseDisplay(display);
}
