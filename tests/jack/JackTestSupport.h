// For tests that play through real JACK clients: child processes that end with the test, a private JACK
// server on the dummy driver under a name of its own, a test song whose notes fall on known frames, and the
// checks that each note starts on its frame and sounds at its pitch.
#pragma once

#include "../render/MidiBytes.h"

#include "MidiFile.h"
#include "PlayRecord.h"
#include "jack/StandaloneSynth.h"

#include <jack/jack.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace jacktest
{

using namespace std::chrono_literals;

constexpr int kRate = 48000;
constexpr int kBlock = 256;
// The program the songs are played with: its notes ring out to silence between notes, and its bodies are
// fixed ones, so that a note's first samples do not depend on when the engine started.
constexpr int kTestProgram = 3;

// A program run by the test, killed with it: its output goes to a log file, its input stays open while
// the test holds it (jalv ends at the end of its input).
class ChildProcess
{
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::string& logPath) : fLogPath(logPath)
    {
        int input[2] = {-1, -1};
        if (pipe(input) != 0)
            return;
        const pid_t parent = getpid();
        fPid = fork();
        if (fPid == 0)
        {
            // The child: no more than async-signal-safe calls until exec.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent)
                _exit(127);
            const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(input[0], 0);
            if (log >= 0)
            {
                dup2(log, 1);
                dup2(log, 2);
            }
            close(input[1]);
            std::vector<char*> argv;
            for (const std::string& a : arguments)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        close(input[0]);
        fInput = input[1];
    }
    ~ChildProcess()
    {
        if (running())
            stop(SIGKILL, 5s);
        if (fInput >= 0)
            close(fInput);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return fPid; }
    bool running()
    {
        if (fPid <= 0 || fDone)
            return false;
        int status = 0;
        if (waitpid(fPid, &status, WNOHANG) == fPid)
        {
            finish(status);
            return false;
        }
        return true;
    }
    // Waits for the end; SIGKILL after patience. The exit code, or 128 + the signal that ended it.
    int wait(std::chrono::milliseconds patience)
    {
        const auto deadline = std::chrono::steady_clock::now() + patience;
        while (running() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        if (running())
        {
            kill(fPid, SIGKILL);
            int status = 0;
            waitpid(fPid, &status, 0);
            finish(status);
        }
        return fExit;
    }
    int stop(int signal, std::chrono::milliseconds patience)
    {
        if (running())
            kill(fPid, signal);
        return wait(patience);
    }
    std::string log() const
    {
        std::ifstream file(fLogPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

private:
    void finish(int status)
    {
        fDone = true;
        fExit = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    std::string fLogPath;
    pid_t fPid = -1;
    int fInput = -1;
    bool fDone = false;
    int fExit = -1;
};

// A JACK server on the dummy driver under a name of its own, for this process and its children.
class PrivateJackServer
{
public:
    explicit PrivateJackServer(const std::string& logDir)
        : fName("zentharode-test-" + std::to_string(getpid()) + "-" + std::to_string(sCount++)),
          fServer({"jackd", "--no-realtime", "-n", fName, "-d", "dummy", "-r", std::to_string(kRate), "-p",
                   std::to_string(kBlock)},
                  logDir + "/" + fName + ".log")
    {
        setenv("JACK_DEFAULT_SERVER", fName.c_str(), 1);
        // libjack complains on stderr about every try before the server is up.
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (!fReady && fServer.running() && std::chrono::steady_clock::now() < deadline)
        {
            jack_status_t status{};
            if (jack_client_t* probe = jack_client_open("zentharode-probe", JackNoStartServer, &status))
            {
                jack_client_close(probe);
                fReady = true;
            }
            else
            {
                std::this_thread::sleep_for(50ms);
            }
        }
    }
    ~PrivateJackServer() { fServer.stop(SIGTERM, 5s); }

    bool ready() const { return fReady; }
    const std::string& name() const { return fName; }
    std::string log() const { return fServer.log(); }

private:
    static inline std::atomic<int> sCount{0};
    std::string fName;
    ChildProcess fServer;
    bool fReady = false;
};

// Waits until every port exists on the server.
inline bool waitForPorts(const std::vector<std::string>& ports, std::chrono::milliseconds patience)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zentharode-watch", JackNoStartServer, &status);
    if (client == nullptr)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + patience;
    bool all = false;
    while (!all && std::chrono::steady_clock::now() < deadline)
    {
        all = true;
        for (const std::string& port : ports)
            all = all && jack_port_by_name(client, port.c_str()) != nullptr;
        if (!all)
            std::this_thread::sleep_for(20ms);
    }
    jack_client_close(client);
    return all;
}

// The ports a port is connected to, as the server sees them.
inline std::vector<std::string> connectionsOf(const std::string& port)
{
    std::vector<std::string> names;
    jack_status_t status{};
    jack_client_t* client = jack_client_open("zentharode-look", JackNoStartServer, &status);
    if (client == nullptr)
        return names;
    if (jack_port_t* p = jack_port_by_name(client, port.c_str()))
        if (const char** list = jack_port_get_all_connections(client, p))
        {
            for (const char** c = list; *c != nullptr; c++)
                names.emplace_back(*c);
            jack_free(list);
        }
    jack_client_close(client);
    return names;
}

struct TestNote
{
    int64_t frame;
    int note;
};

// Five notes a second apart, each at an odd place in its cycle, each released after 0.3 s.
inline std::vector<TestNote> testNotes()
{
    std::vector<TestNote> notes;
    const int pitches[] = {45, 57, 69, 76, 50};
    for (int k = 0; k < 5; k++)
        notes.push_back({kRate / 2 + k * kRate + 37 * k + 11, pitches[k]});
    return notes;
}

constexpr int64_t kHoldFrames = kRate * 3 / 10;

// The song as a Standard MIDI File: a tick is one frame at 48 kHz (24000 ticks a quarter at 120 bpm).
inline MidiSequence testSong(const std::string& path)
{
    struct Timed
    {
        int64_t frame;
        midibytes::Bytes bytes;
    };
    std::vector<Timed> events;
    for (const TestNote& n : testNotes())
    {
        events.push_back({n.frame, {0x90, static_cast<uint8_t>(n.note), 100}});
        events.push_back({n.frame + kHoldFrames, {0x80, static_cast<uint8_t>(n.note), 0}});
    }
    std::stable_sort(events.begin(), events.end(), [](const Timed& a, const Timed& b) { return a.frame < b.frame; });
    midibytes::Track track;
    track.tempo(0, 500000);
    int64_t last = 0;
    for (const Timed& e : events)
    {
        track.event(static_cast<uint32_t>(e.frame - last), e.bytes);
        last = e.frame;
    }
    track.end();
    midibytes::save(path, midibytes::file(0, 24000, {track}));
    return readMidiFile(path);
}

// The song as the engine renders it in blocks of the server's size with the test program, and where each
// note's first sample falls after its frame.
struct Reference
{
    std::vector<float> left;
    std::vector<float> right;
    std::vector<int64_t> onsets;
};

inline Reference referenceRender()
{
    StandaloneSynth synth;
    synth.setSampleRate(kRate);
    synth.selectProgram(kTestProgram);
    std::vector<float> left(kBlock), right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    const std::vector<TestNote> notes = testNotes();
    Reference reference;
    reference.onsets.assign(notes.size(), -1);
    const int64_t end = notes.back().frame + kRate / 2;
    for (int64_t start = 0; start < end; start += kBlock)
    {
        for (const TestNote& n : notes)
        {
            const uint8_t on[3] = {0x90, static_cast<uint8_t>(n.note), 100};
            const uint8_t off[3] = {0x80, static_cast<uint8_t>(n.note), 0};
            if (n.frame >= start && n.frame < start + kBlock)
                synth.midiEvent(static_cast<int32_t>(n.frame - start), on, 3);
            if (n.frame + kHoldFrames >= start && n.frame + kHoldFrames < start + kBlock)
                synth.midiEvent(static_cast<int32_t>(n.frame + kHoldFrames - start), off, 3);
        }
        synth.render(nullptr, outputs, kBlock);
        reference.left.insert(reference.left.end(), left.begin(), left.end());
        reference.right.insert(reference.right.end(), right.begin(), right.end());
        for (size_t k = 0; k < notes.size(); k++)
            for (int i = 0; i < kBlock && reference.onsets[k] < 0; i++)
                if (start + i >= notes[k].frame && (left[static_cast<size_t>(i)] != 0.0f || right[static_cast<size_t>(i)] != 0.0f))
                    reference.onsets[k] = start + i - notes[k].frame;
    }
    return reference;
}

// The fundamental of a stretch of sound, by normalised autocorrelation over lags of 40 Hz to 2 kHz.
inline double estimatePitch(const std::vector<float>& left, const std::vector<float>& right, int64_t from, int64_t length)
{
    std::vector<double> x(static_cast<size_t>(length));
    for (int64_t i = 0; i < length; i++)
        x[static_cast<size_t>(i)] = static_cast<double>(left[static_cast<size_t>(from + i)]) + right[static_cast<size_t>(from + i)];
    const int minLag = kRate / 2000;
    const int maxLag = kRate / 40;
    const int64_t window = length - maxLag - 1; // the last lag looked at is maxLag + 1
    std::vector<double> score(static_cast<size_t>(maxLag + 2), 0.0);
    for (int lag = minLag; lag <= maxLag + 1; lag++)
    {
        double product = 0.0, e1 = 0.0, e2 = 0.0;
        for (int64_t i = 0; i < window; i++)
        {
            product += x[static_cast<size_t>(i)] * x[static_cast<size_t>(i + lag)];
            e1 += x[static_cast<size_t>(i)] * x[static_cast<size_t>(i)];
            e2 += x[static_cast<size_t>(i + lag)] * x[static_cast<size_t>(i + lag)];
        }
        score[static_cast<size_t>(lag)] = product / std::sqrt(e1 * e2 + 1e-30);
    }
    int best = minLag;
    for (int lag = minLag; lag <= maxLag; lag++)
        if (score[static_cast<size_t>(lag)] > score[static_cast<size_t>(best)])
            best = lag;
    // A parabola through the peak and its neighbours places it between lags.
    double shift = 0.0;
    if (best > minLag)
    {
        const double a = score[static_cast<size_t>(best - 1)], b = score[static_cast<size_t>(best)],
                     c = score[static_cast<size_t>(best + 1)];
        const double d = a - 2.0 * b + c;
        if (d < 0.0)
            shift = 0.5 * (a - c) / d;
    }
    return kRate / (best + shift);
}

// What is wrong with a recording of the test song, one line per fault; empty when every note starts on its
// frame (silence before it, sound from the engine's onset on) and sounds at the pitch the engine gives that
// note (within 10 cents; the string loops themselves tune up to some 60 cents flat at the top).
inline std::string checkNotes(const Recording& recording)
{
    std::ostringstream faults;
    if (recording.sampleRate != kRate || recording.channels.size() != 2)
        return "expected two channels at 48 kHz";
    const std::vector<float>& left = recording.channels[0];
    const std::vector<float>& right = recording.channels[1];
    const std::vector<TestNote> notes = testNotes();
    const Reference reference = referenceRender();
    const std::vector<int64_t>& onsets = reference.onsets;
    for (size_t k = 0; k < notes.size(); k++)
    {
        const int64_t frame = notes[k].frame;
        const int64_t onset = frame + onsets[k];
        if (onsets[k] < 0 || onset + kRate / 4 > static_cast<int64_t>(left.size()))
        {
            faults << "note " << k << ": no reference onset or too short a recording\n";
            continue;
        }
        for (int64_t i = frame - kRate / 4; i < onset; i++)
            if (left[static_cast<size_t>(i)] != 0.0f || right[static_cast<size_t>(i)] != 0.0f)
            {
                faults << "note " << k << " (" << notes[k].note << "): sound at frame " << i << ", before its onset "
                       << onset << "\n";
                break;
            }
        if (left[static_cast<size_t>(onset)] == 0.0f && right[static_cast<size_t>(onset)] == 0.0f)
            faults << "note " << k << " (" << notes[k].note << "): silent at its onset frame " << onset << "\n";
        const double hz = estimatePitch(left, right, onset + kRate / 20, kRate / 8);
        const double engineHz = estimatePitch(reference.left, reference.right, onset + kRate / 20, kRate / 8);
        const double nominal = 440.0 * std::pow(2.0, (notes[k].note - 69) / 12.0);
        const double cents = 1200.0 * std::log2(hz / engineHz);
        if (!(std::fabs(cents) < 10.0) || !(std::fabs(1200.0 * std::log2(hz / nominal)) < 75.0))
            faults << "note " << k << " (" << notes[k].note << "): sounds at " << hz << " Hz, the engine at "
                   << engineHz << " Hz, the note is " << nominal << " Hz\n";
    }
    return faults.str();
}

} // namespace jacktest
