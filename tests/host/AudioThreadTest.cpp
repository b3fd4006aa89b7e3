// What the audio thread does inside the plug-in, counted: over a busy session of MIDI, blocks, automation,
// program changes and suspends delivered on the audio thread, the built library allocates nothing, locks
// nothing and never sleeps. This program replaces the C library's allocation, lock and sleep functions
// with counting ones (so it runs without the sanitizers, which replace them too).
#include "plugin/VstInterface.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <random>
#include <thread>
#include <vector>

namespace
{
thread_local bool tCounting = false;
std::atomic<long> gAllocations{0};
std::atomic<long> gLocks{0};
std::atomic<long> gSleeps{0};

template <typename F>
F next(const char* name)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
using MutexFunction = int (*)(pthread_mutex_t*);
using RwFunction = int (*)(pthread_rwlock_t*);
using CondWait = int (*)(pthread_cond_t*, pthread_mutex_t*);
using Nanosleep = int (*)(const timespec*, timespec*);
using ClockNanosleep = int (*)(clockid_t, int, const timespec*, timespec*);
using Usleep = int (*)(useconds_t);

// Looked up once, before any counting starts.
struct RealFunctions
{
    MutexFunction lock = next<MutexFunction>("pthread_mutex_lock");
    MutexFunction trylock = next<MutexFunction>("pthread_mutex_trylock");
    RwFunction rdlock = next<RwFunction>("pthread_rwlock_rdlock");
    RwFunction wrlock = next<RwFunction>("pthread_rwlock_wrlock");
    CondWait wait = next<CondWait>("pthread_cond_wait");
    Nanosleep nanosleep = next<Nanosleep>("nanosleep");
    ClockNanosleep clockNanosleep = next<ClockNanosleep>("clock_nanosleep");
    Usleep usleep = next<Usleep>("usleep");
};
const RealFunctions& real()
{
    static const RealFunctions functions;
    return functions;
}
const RealFunctions& kResolvedAtStart = real();

void counted(std::atomic<long>& counter)
{
    if (tCounting)
        counter.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C"
{
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void __libc_free(void*);

void* malloc(size_t size)
{
    counted(gAllocations);
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size)
{
    counted(gAllocations);
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size)
{
    counted(gAllocations);
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size)
{
    counted(gAllocations);
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size)
{
    counted(gAllocations);
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size)
{
    counted(gAllocations);
    *out = __libc_memalign(alignment, size);
    return *out != nullptr || size == 0 ? 0 : ENOMEM;
}
void free(void* p)
{
    if (p != nullptr)
        counted(gAllocations);
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t* m)
{
    counted(gLocks);
    return real().lock(m);
}
int pthread_mutex_trylock(pthread_mutex_t* m)
{
    counted(gLocks);
    return real().trylock(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* l)
{
    counted(gLocks);
    return real().rdlock(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* l)
{
    counted(gLocks);
    return real().wrlock(l);
}
int pthread_cond_wait(pthread_cond_t* c, pthread_mutex_t* m)
{
    counted(gLocks);
    return real().wait(c, m);
}
int nanosleep(const timespec* request, timespec* remaining)
{
    counted(gSleeps);
    return real().nanosleep(request, remaining);
}
int clock_nanosleep(clockid_t clock, int flags, const timespec* request, timespec* remaining)
{
    counted(gSleeps);
    return real().clockNanosleep(clock, flags, request, remaining);
}
int usleep(useconds_t microseconds)
{
    counted(gSleeps);
    return real().usleep(microseconds);
}
}

namespace
{
intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// The host's side of one block: up to eight MIDI events in a record laid out as hosts do.
struct EventBlock
{
    int32_t numEvents = 0;
    intptr_t reserved = 0;
    VstEvent* events[8] = {};
    VstMidiEvent midi[8] = {};
};

void fill(EventBlock& block, std::mt19937& random, int frames)
{
    block.numEvents = static_cast<int32_t>(random() % 9);
    for (int i = 0; i < block.numEvents; i++)
    {
        VstMidiEvent& e = block.midi[i];
        e = VstMidiEvent{};
        e.type = kVstMidiType;
        e.byteSize = sizeof e;
        e.deltaFrames = static_cast<int32_t>(random() % static_cast<unsigned>(frames));
        static constexpr unsigned char kStatus[] = {0x90, 0x90, 0x90, 0x80, 0xB0, 0xE0, 0xB0};
        static constexpr unsigned char kControllers[] = {1, 105, 106, 107, 126, 7};
        const unsigned char status = kStatus[random() % 7];
        e.midiData[0] = static_cast<char>(status | (random() % 16));
        e.midiData[1] = static_cast<char>(status == 0xB0 ? kControllers[random() % 6] : 24 + random() % 100);
        e.midiData[2] = static_cast<char>(random() % 128);
        block.events[i] = reinterpret_cast<VstEvent*>(&e);
    }
}
} // namespace

TEST(AudioThread, CountingSeesAllocationsLocksAndSleeps)
{
    std::mutex mutex;
    tCounting = true;
    void* volatile p = std::malloc(16);
    mutex.lock();
    std::this_thread::sleep_for(std::chrono::microseconds(1));
    tCounting = false;
    mutex.unlock();
    std::free(p);
    EXPECT_EQ(gAllocations.exchange(0), 1);
    EXPECT_EQ(gLocks.exchange(0), 1);
    EXPECT_EQ(gSleeps.exchange(0), 1);
}

TEST(AudioThread, BusySessionAllocatesLocksAndSleepsNever)
{
    void* library = dlopen(ZENTHARODE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);

    std::thread audio([&] {
        AEffect* effect = entry(host);
        ASSERT_NE(effect, nullptr);
        auto dispatch = [&](int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
            return effect->dispatcher(effect, opcode, index, value, ptr, opt);
        };
        dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
        constexpr int kMaxFrames = 1024;
        std::vector<float> left(kMaxFrames), right(kMaxFrames), input(kMaxFrames, 0.001f);
        float* outputs[2] = {left.data(), right.data()};
        float* inputs[2] = {input.data(), input.data()};
        std::vector<unsigned char> bank(5632);
        void* chunk = nullptr;
        dispatch(effGetChunk, 0, 0, &chunk, 0.0f);
        std::copy(static_cast<unsigned char*>(chunk), static_cast<unsigned char*>(chunk) + bank.size(), bank.begin());
        std::mt19937 random(3);
        EventBlock events;
        constexpr float kOdd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                  -3.0f, 1e30f};

        for (int block = 0; block < 3000; block++)
        {
            tCounting = block >= 100; // the first blocks warm up
            const int frames = 1 + static_cast<int>(random() % kMaxFrames);
            fill(events, random, frames);
            dispatch(effProcessEvents, 0, 0, &events, 0.0f);
            if (random() % 3 == 0)
                effect->setParameter(effect, static_cast<int32_t>(random() % 38),
                                     random() % 20 == 0 ? kOdd[random() % 4] : static_cast<float>(random() % 1001) / 1000.0f);
            if (random() % 100 == 0)
                dispatch(effSetProgram, 0, static_cast<intptr_t>(random() % 32), nullptr, 0.0f);
            if (random() % 300 == 0)
                dispatch(effSetChunk, 0, static_cast<intptr_t>(bank.size()), bank.data(), 0.0f);
            if (random() % 200 == 0)
            {
                dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
                dispatch(effSetSampleRate, 0, 0, nullptr, random() % 2 == 0 ? 22050.0f : 96000.0f);
                dispatch(effMainsChanged, 0, 1, nullptr, 0.0f);
            }
            if (random() % 4 == 0)
                effect->process(effect, inputs, outputs, frames);
            else
                effect->processReplacing(effect, random() % 2 == 0 ? inputs : nullptr, outputs, frames);
            tCounting = false;
        }
        dispatch(effMainsChanged, 0, 0, nullptr, 0.0f);
        dispatch(effClose, 0, 0, nullptr, 0.0f);
    });
    audio.join();
    EXPECT_EQ(gAllocations.load(), 0) << "heap allocations or frees on the audio thread";
    EXPECT_EQ(gLocks.load(), 0) << "locks taken on the audio thread";
    EXPECT_EQ(gSleeps.load(), 0) << "sleeps on the audio thread";
}
