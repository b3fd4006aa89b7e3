// The one pseudo-random generator: a 32-bit linear congruential sequence, one state per thread.
#pragma once

#include <cstdint>

class RandomSource
{
public:
    static constexpr uint32_t kMultiplier = 214013u;
    static constexpr uint32_t kIncrement = 2531011u;
    static constexpr int kMax = 0x7FFF;

    static void seed(uint32_t s) { state() = s; }

    // 0..32767; plucks, random bodies and pans are defined by this exact sequence.
    static int rand()
    {
        uint32_t& s = state();
        s = s * kMultiplier + kIncrement;
        return static_cast<int>((s >> 16) & 0x7FFFu);
    }

private:
    static uint32_t& state()
    {
        // Static TLS: a host loads the plug-in with dlopen, and dynamic TLS would be allocated by the C
        // library on the audio thread's first note.
        thread_local uint32_t value __attribute__((tls_model("initial-exec"))) = 1; // 1 until the thread first seeds
        return value;
    }
};
