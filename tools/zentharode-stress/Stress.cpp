// zentharode-stress: a fuzzing host. Loads the plug-in library through VSTPluginMain and plays random
// sessions of dispatcher calls, parameter values, MIDI, chunks and blocks into it; checks that every
// sample is finite (and within +-1000 while every value stays in 0..1), that no text overruns its
// buffer, and that a plain note plays after a program is restored. A failing session is cut down to a
// minimal sequence of steps, which is printed.
#include "Session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr float kMusicalBound = 1000.0f; // output limit while every value stays in 0..1
constexpr int kRestoredProgram = 3;      // fixed bodies: a plain note sounds alike whenever it starts
constexpr int kProbeFrames = 4096;
constexpr float kProbeQuietest = 1e-3f;
constexpr float kProbeLoudest = 10.0f;

struct Failure
{
    size_t step; // the step after which the check failed; the step count for the final probe
    std::string what;
};

// Plays the steps into a fresh instance, then restores the bank it started with, selects a stored program,
// resets the rate and plays one plain note.
std::optional<Failure> playSession(const stress::Library& library, const std::vector<stress::Step>& steps,
                                   stress::Mode mode)
{
    stress::Driver driver(library.entry);
    if (!driver.valid())
        return Failure{0, "VSTPluginMain gave no effect"};
    std::vector<unsigned char> bank;
    {
        void* data = nullptr;
        const intptr_t size = driver.dispatch(effGetChunk, 0, 0, &data);
        if (data != nullptr && size > 0)
            bank.assign(static_cast<unsigned char*>(data), static_cast<unsigned char*>(data) + size);
    }

    for (size_t i = 0; i < steps.size(); i++)
    {
        driver.play(steps[i]);
        for (float v : driver.output())
        {
            if (!std::isfinite(v))
                return Failure{i, "a non-finite sample"};
            if (mode == stress::Mode::musical && std::fabs(v) > kMusicalBound)
                return Failure{i, "a sample of " + std::to_string(v) + " with every value in 0..1"};
        }
        if (driver.overruns() != 0)
            return Failure{i, "a text longer than its buffer"};
    }

    std::vector<unsigned char> copy = bank;
    driver.dispatch(effSetChunk, 0, static_cast<intptr_t>(copy.size()), copy.data());
    driver.dispatch(effSetProgram, 0, kRestoredProgram);
    driver.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    driver.dispatch(effMainsChanged, 0, 0);
    driver.dispatch(effMainsChanged, 0, 1);
    stress::Step note;
    note.kind = stress::StepKind::events;
    note.midi.push_back({0, {0x90, 60, 100}, 0});
    driver.play(note);
    stress::Step block;
    block.kind = stress::StepKind::render;
    block.frames = kProbeFrames;
    block.input = stress::InputKind::zero;
    driver.play(block);
    float peak = 0.0f;
    for (float v : driver.output())
        peak = std::isfinite(v) ? std::max(peak, std::fabs(v)) : HUGE_VALF;
    if (!(peak >= kProbeQuietest && peak <= kProbeLoudest))
        return Failure{steps.size(), "a plain note after restoring a program peaked at " + std::to_string(peak)};
    return std::nullopt;
}

// Each session on a fresh thread: the instrument's noise tables continue its thread's random sequence.
std::optional<Failure> runIsolated(const stress::Library& library, const std::vector<stress::Step>& steps,
                                   stress::Mode mode)
{
    std::optional<Failure> failure;
    std::thread([&] { failure = playSession(library, steps, mode); }).join();
    return failure;
}

// Removes steps, in ever smaller runs, as long as the session still fails the same way.
std::vector<stress::Step> reduce(const stress::Library& library, std::vector<stress::Step> steps,
                                 stress::Mode mode, const Failure& original)
{
    auto stillFails = [&](const std::vector<stress::Step>& candidate) {
        const std::optional<Failure> f = runIsolated(library, candidate, mode);
        return f.has_value() && f->what.substr(0, 12) == original.what.substr(0, 12);
    };
    if (original.step < steps.size())
        steps.resize(original.step + 1);
    for (size_t run = std::max<size_t>(steps.size() / 2, 1); run >= 1; run /= 2)
    {
        for (size_t start = 0; start < steps.size();)
        {
            std::vector<stress::Step> candidate = steps;
            const size_t end = std::min(start + run, candidate.size());
            candidate.erase(candidate.begin() + static_cast<std::ptrdiff_t>(start),
                            candidate.begin() + static_cast<std::ptrdiff_t>(end));
            if (!candidate.empty() && stillFails(candidate))
                steps = std::move(candidate);
            else
                start += run;
        }
        if (run == 1)
            break;
    }
    return steps;
}

void usage()
{
    std::fprintf(stderr,
                 "usage: zentharode-stress [--cases N] [--seed S] [--steps N] [--max-block N] [--plugin PATH]\n"
                 "  plays N random sessions (seeds S, S+1, ...; even seeds well-formed, odd ones wild)\n");
}
} // namespace

int main(int argc, char** argv)
{
    long cases = 1000;
    unsigned long seed = 1;
    std::string plugin = ZENTHARODE_DEFAULT_PLUGIN;
    stress::SessionOptions options;
    options.steps = 120;
    options.maxBlock = 1024;
    for (int i = 1; i < argc; i++)
    {
        const std::string arg = argv[i];
        if (arg == "--cases" && i + 1 < argc)
            cases = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--steps" && i + 1 < argc)
            options.steps = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
        else if (arg == "--max-block" && i + 1 < argc)
            options.maxBlock = std::max(1, static_cast<int>(std::strtol(argv[++i], nullptr, 10)));
        else if (arg == "--plugin" && i + 1 < argc)
            plugin = argv[++i];
        else
        {
            usage();
            return 2;
        }
    }
    stress::Library library(plugin);
    if (!library.reason.empty())
    {
        std::fprintf(stderr, "%s\n", library.reason.c_str());
        return 2;
    }

    for (long n = 0; n < cases; n++)
    {
        const uint32_t sessionSeed = static_cast<uint32_t>(seed + static_cast<unsigned long>(n));
        stress::SessionOptions session = options;
        session.mode = sessionSeed % 2 == 0 ? stress::Mode::musical : stress::Mode::wild;
        const std::vector<stress::Step> steps = stress::makeSession(sessionSeed, session);
        const std::optional<Failure> failure = runIsolated(library, steps, session.mode);
        if (!failure)
            continue;

        std::printf("session %u (%s) failed: %s after step %zu\n", sessionSeed,
                    session.mode == stress::Mode::wild ? "wild" : "well-formed", failure->what.c_str(),
                    failure->step);
        std::printf("reproduce: zentharode-stress --seed %u --cases 1 --steps %d --max-block %d\n", sessionSeed,
                    options.steps, options.maxBlock);
        const std::vector<stress::Step> minimal = reduce(library, steps, session.mode, *failure);
        std::printf("minimal sequence (%zu steps, then a program restored and a plain note):\n", minimal.size());
        for (const stress::Step& step : minimal)
            std::printf("  %s\n", stress::describe(step).c_str());
        return 1;
    }
    std::printf("%ld sessions: every sample finite, no text overrun, a plain note plays after each\n", cases);
    return 0;
}
