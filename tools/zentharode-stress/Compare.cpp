// zentharode-compare: plays the same random sessions into two builds of the plug-in side by side and
// reports the first step at which their samples or answers differ (bit for bit).
#include "Session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace
{
void usage()
{
    std::fprintf(stderr, "usage: zentharode-compare OLD.so NEW.so [--sessions N] [--seed S] [--steps N] [--wild]\n"
                         "                          [--skip-louder LEVEL] [--playing-only]\n"
                         "  --playing-only: stored programs played at 44.1 kHz and above, no automation\n"
                         "  --skip-louder: leave out sessions in which the old build's output ever exceeds LEVEL\n");
}

struct Totals
{
    long long samples = 0;
    long long audible = 0;
    long skipped = 0;
};

// The largest output magnitude of a session in one build (infinity for NaN).
double sessionPeak(const stress::Library& library, const std::vector<stress::Step>& steps)
{
    stress::Driver driver(library.entry);
    double peak = 0.0;
    for (const stress::Step& step : steps)
    {
        driver.play(step);
        for (float v : driver.output())
            peak = std::isnan(v) ? HUGE_VAL : std::max(peak, static_cast<double>(std::fabs(v)));
    }
    return peak;
}

// 0 when both builds gave the same samples and answers at every step, 1 at the first difference.
int compareSession(const stress::Library& oldLibrary, const stress::Library& newLibrary, uint32_t seed,
                   const stress::SessionOptions& options, double skipLouder, Totals& totals)
{
    const std::vector<stress::Step> steps = stress::makeSession(seed, options);
    if (skipLouder > 0.0)
    {
        // Measured on a thread of its own, so that the comparison below starts from the same random state.
        double peak = 0.0;
        std::thread([&] { peak = sessionPeak(oldLibrary, steps); }).join();
        if (peak > skipLouder)
        {
            totals.skipped++;
            return 0;
        }
    }
    stress::Driver a(oldLibrary.entry);
    stress::Driver b(newLibrary.entry);
    if (!a.valid() || !b.valid())
    {
        std::fprintf(stderr, "a library made no effect\n");
        return 2;
    }
    for (size_t i = 0; i < steps.size(); i++)
    {
        a.play(steps[i]);
        b.play(steps[i]);
        const bool sameSamples = a.output().size() == b.output().size()
                                 && std::memcmp(a.output().data(), b.output().data(),
                                                a.output().size() * sizeof(float)) == 0;
        if (!sameSamples || a.texts() != b.texts())
        {
            std::printf("session %u differs at step %zu: %s\n", seed, i, stress::describe(steps[i]).c_str());
            if (a.texts() != b.texts())
                std::printf("  old answers: %s\n  new answers: %s\n", a.texts().c_str(), b.texts().c_str());
            for (size_t k = 0; k < a.output().size() && k < b.output().size(); k++)
                if (std::memcmp(&a.output()[k], &b.output()[k], sizeof(float)) != 0)
                {
                    std::printf("  sample %zu: old %.9g new %.9g\n", k, static_cast<double>(a.output()[k]),
                                static_cast<double>(b.output()[k]));
                    break;
                }
            return 1;
        }
        if (steps[i].kind == stress::StepKind::render)
        {
            totals.samples += static_cast<long long>(a.output().size());
            for (float v : a.output())
                totals.audible += v > 1e-4f || v < -1e-4f;
        }
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
    {
        usage();
        return 2;
    }
    long sessions = 200;
    double skipLouder = 0.0;
    unsigned long seed = 1;
    stress::SessionOptions options;
    for (int i = 3; i < argc; i++)
    {
        const std::string arg = argv[i];
        if (arg == "--sessions" && i + 1 < argc)
            sessions = std::strtol(argv[++i], nullptr, 10);
        else if (arg == "--seed" && i + 1 < argc)
            seed = std::strtoul(argv[++i], nullptr, 10);
        else if (arg == "--steps" && i + 1 < argc)
            options.steps = static_cast<int>(std::strtol(argv[++i], nullptr, 10));
        else if (arg == "--skip-louder" && i + 1 < argc)
            skipLouder = std::strtod(argv[++i], nullptr);
        else if (arg == "--playing-only")
            options.playingOnly = true;
        else if (arg == "--wild")
            options.mode = stress::Mode::wild;
        else
        {
            usage();
            return 2;
        }
    }

    stress::Library oldLibrary(argv[1]);
    stress::Library newLibrary(argv[2]);
    for (const stress::Library* library : {&oldLibrary, &newLibrary})
        if (!library->reason.empty())
        {
            std::fprintf(stderr, "%s\n", library->reason.c_str());
            return 2;
        }

    Totals totals;
    int result = 0;
    // Each session on a thread of its own: an instrument's noise tables continue its thread's random
    // sequence, so a fresh thread makes every session start alike whatever ran before it.
    for (long n = 0; n < sessions && result == 0; n++)
    {
        const uint32_t sessionSeed = static_cast<uint32_t>(seed + static_cast<unsigned long>(n));
        std::thread([&] { result = compareSession(oldLibrary, newLibrary, sessionSeed, options, skipLouder, totals); }).join();
    }
    if (result != 0)
        return result;
    std::printf("%ld sessions (%ld louder ones left out), %lld samples (%lld audible): identical\n", sessions,
                totals.skipped, totals.samples, totals.audible);
    return 0;
}
