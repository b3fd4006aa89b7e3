// Parameter changes handed to the engine from any thread: each change is stored at once and the engine
// takes every change at the start of its next block, all of a program together. Posting never waits for
// the audio thread and the audio thread never waits for a poster.
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
        const uint64_t ticket = fNextTicket.fetch_add(1);
        fValues[index].store(value);
        // The newest post of a parameter keeps its ticket even when an older one stores after it.
        uint64_t held = fTickets[index].load();
        while (held < ticket && !fTickets[index].compare_exchange_weak(held, ticket))
        {
        }
    }

    // Any thread: all 38 values, taken together and in the order stored programs are applied in.
    void postProgram(const float values[kNumParams])
    {
        const uint64_t ticket = fNextTicket.fetch_add(1);
        ProgramSlot& slot = claimSlot();
        const uint32_t sequence = slot.sequence.load(); // odd while written
        slot.ticket.store(ticket);
        for (int32_t i = 0; i < kNumParams; i++)
            slot.values[i].store(values[i]);
        slot.sequence.store(sequence + 1);
    }

    // Audio thread only. Calls apply(index, value) for every parameter posted since the last take, with
    // its newest value, in the order stored programs are applied in.
    template <typename Apply>
    void take(Apply&& apply)
    {
        float program[kNumParams];
        const uint64_t programTicket = newestProgram(program);
        for (int32_t index : kProgramApplyOrder)
        {
            // The ticket first: the value read after it is at least as new as the post it counts.
            const uint64_t single = fTickets[index].load();
            const float value = fValues[index].load();
            uint64_t newest = fTaken[index];
            float taken = 0.0f;
            if (programTicket > newest)
            {
                newest = programTicket;
                taken = program[index];
            }
            if (single > newest)
            {
                newest = single;
                taken = value;
            }
            if (newest == fTaken[index])
                continue;
            fTaken[index] = newest;
            apply(index, taken);
        }
        if (programTicket > fTakenProgram)
            fTakenProgram = programTicket;
    }

private:
    // Programs are written into slots taken in turn, the oldest first, so the newest complete program
    // stays readable while later ones are written.
    static constexpr int kProgramSlots = 4;
    static constexpr int kReadAttempts = 3;

    struct alignas(64) ProgramSlot
    {
        std::atomic<uint32_t> sequence{0}; // odd while a poster writes the slot
        std::atomic<uint64_t> ticket{0};
        std::atomic<float> values[kNumParams]{};
    };

    ProgramSlot& claimSlot()
    {
        for (;;)
        {
            int oldest = -1;
            uint64_t oldestTicket = UINT64_MAX;
            for (int k = 0; k < kProgramSlots; k++)
            {
                const uint64_t ticket = fSlots[k].ticket.load();
                if ((fSlots[k].sequence.load() & 1u) == 0 && ticket < oldestTicket)
                {
                    oldest = k;
                    oldestTicket = ticket;
                }
            }
            if (oldest < 0)
                continue; // every slot is being written: one of them is about to be free
            uint32_t sequence = fSlots[oldest].sequence.load();
            if ((sequence & 1u) == 0 && fSlots[oldest].sequence.compare_exchange_strong(sequence, sequence + 1))
                return fSlots[oldest];
        }
    }

    // The ticket of the newest complete program not yet taken, its values copied out; 0 when there is none.
    uint64_t newestProgram(float values[kNumParams])
    {
        for (int attempt = 0; attempt < kReadAttempts; attempt++)
        {
            int best = -1;
            uint64_t bestTicket = fTakenProgram;
            uint32_t bestSequence = 0;
            for (int k = 0; k < kProgramSlots; k++)
            {
                const uint32_t sequence = fSlots[k].sequence.load();
                const uint64_t ticket = fSlots[k].ticket.load();
                if ((sequence & 1u) == 0 && ticket > bestTicket)
                {
                    best = k;
                    bestTicket = ticket;
                    bestSequence = sequence;
                }
            }
            if (best < 0)
                return 0;
            for (int32_t i = 0; i < kNumParams; i++)
                values[i] = fSlots[best].values[i].load();
            // Rewritten while it was read (by a post much newer still): look again.
            if (fSlots[best].sequence.load() == bestSequence && fSlots[best].ticket.load() == bestTicket)
                return bestTicket;
        }
        return 0;
    }

    // Sequentially consistent throughout: a handful of operations per change and per block.
    std::atomic<uint64_t> fNextTicket{1};
    std::atomic<float> fValues[kNumParams]{};
    std::atomic<uint64_t> fTickets[kNumParams]{}; // the ticket of each parameter's newest single post
    ProgramSlot fSlots[kProgramSlots];
    uint64_t fTaken[kNumParams]{}; // audio thread only: the ticket of what each parameter holds
    uint64_t fTakenProgram = 0;    // audio thread only
};
