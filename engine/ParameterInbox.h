// Parameter changes handed to the engine from any thread: each value is stored at once and the engine
// takes every change at the start of its next block, all of a program together. Wait-free for the
// threads that post, lock-free for the audio thread that takes.
#pragma once

#include "params/Parameters.h"
#include "params/ProgramBank.h"

#include <atomic>
#include <cstdint>

class ParameterInbox
{
public:
    // Any thread. Out-of-range indices are ignored.
    void post(int32_t index, float value)
    {
        if (index < 0 || index >= kNumParams)
            return;
        fValues[index].store(value);
        fGenerations[index].fetch_add(1);
    }

    // Any thread: the posts between these two calls are taken together or not at all. Batches may nest
    // and come from several threads.
    void beginBatch() { fOpenBatches.fetch_add(1); }
    void endBatch()
    {
        fClosedBatches.fetch_add(1);
        fOpenBatches.fetch_sub(1);
    }

    // Audio thread only. Calls apply(index, value) with the latest value of every parameter posted since
    // the last take, in the order stored programs are applied in. While a batch is being posted nothing
    // is taken (the next block takes it whole); answers whether the changes were taken.
    template <typename Apply>
    bool take(Apply&& apply)
    {
        const uint32_t closed = fClosedBatches.load();
        if (fOpenBatches.load() != 0)
            return false;
        uint32_t generations[kNumParams];
        float values[kNumParams];
        bool any = false;
        for (int32_t i = 0; i < kNumParams; i++)
        {
            // The generation first: the value read after it is at least as new as the one it counts.
            generations[i] = fGenerations[i].load();
            values[i] = fValues[i].load();
            any = any || generations[i] != fTaken[i];
        }
        if (!any)
            return true;
        // A batch that began or ended while the values were read may have been seen in part.
        if (fOpenBatches.load() != 0 || fClosedBatches.load() != closed)
            return false;
        for (int32_t index : kProgramApplyOrder)
        {
            if (generations[index] == fTaken[index])
                continue;
            fTaken[index] = generations[index];
            apply(index, values[index]);
        }
        return true;
    }

private:
    // Sequentially consistent throughout: a handful of operations per change and per block.
    std::atomic<float> fValues[kNumParams]{};
    std::atomic<uint32_t> fGenerations[kNumParams]{};
    std::atomic<uint32_t> fOpenBatches{0};
    std::atomic<uint32_t> fClosedBatches{0};
    uint32_t fTaken[kNumParams]{}; // audio thread only
};
