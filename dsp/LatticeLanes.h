// State of eight warped lattice filters side by side, one per lane, and the per-path sample kernels.
#pragma once

#include <cstdint>

#include "dsp/BodyTable.h"

// Plain data shared by LatticeBank and its kernels. For every section the eight lanes' values are
// contiguous and 64-byte aligned, so one section of all lanes is one 512-bit, two 256-bit or four 128-bit
// loads. Each lane holds exactly what one WarpedLatticeFilter of capacity 30 holds.
struct LatticeLanes
{
    static constexpr int kLanes = 8;
    static constexpr int kSections = kBodyCoefficients;
    static constexpr uint32_t kAllLanes = (1u << kLanes) - 1;

    alignas(64) double k[kSections][kLanes]; // blended and scaled coefficients in use
    alignas(64) double setA[kSections][kLanes];
    alignas(64) double setB[kSections][kLanes];
    alignas(64) double state1[kSections][kLanes];
    alignas(64) double state2[kSections][kLanes];
    // All 64 bits set where the section is below the lane's order: the vector form of sectionLanes.
    alignas(64) uint64_t sectionMask[kSections][kLanes];
    alignas(64) double gain[kLanes];
    alignas(64) double warpTerm[kLanes]; // 1 - lambda^2 of the lane's latest update
    alignas(64) double loopTerm[kLanes]; // 1 / (1 - S) of the lane's latest update
    alignas(64) double lastOutput[kLanes];
    // Written by another thread while samples are processed: one aligned 32-bit store per lane.
    alignas(32) uint32_t updateInterval[kLanes];
    alignas(32) uint32_t sampleCount[kLanes]; // unsigned: wraps instead of overflowing
    int32_t order[kLanes];                    // 0 until set, as in a new filter; then 1..kSections
    uint8_t sectionLanes[kSections];          // bit l set where the section is below lane l's order
    uint32_t readSecond;                      // bit l set: lane l reads state2 next (its state selector)

    // The next sample, prepared ahead for the lanes of prepared with the warp and morph it was promised:
    // its state part of the output, and for the lanes of aheadDue its warp and loop terms, its
    // coefficients already in k (with those of the present sample kept in kBefore, sections below
    // aheadSections).
    alignas(64) double kBefore[kSections][kLanes];
    alignas(64) double aheadLambda[kLanes];
    alignas(64) double aheadMorph[kLanes];
    alignas(64) double aheadM[kLanes];
    alignas(64) double aheadWarpTerm[kLanes];
    alignas(64) double aheadLoopTerm[kLanes];
    uint32_t prepared;
    uint32_t aheadDue;
    int aheadSections;
};

// What one sample asks of a kernel, worked out by LatticeBank from the lanes' settings and counters.
struct LatticeStep
{
    uint32_t active; // lanes that run this sample; the others are left as they are
    uint32_t due;    // active lanes whose coefficients are recomputed first
    int sections;    // the highest order among the active lanes
    bool uniform;    // every active lane has that order and reads the same state array
    bool ahead;      // every active lane was prepared for this sample: M and the due lanes' update are done
    uint32_t dueNext; // active lanes due on the next sample, when it is to be prepared (uniform only)
};

// One sample of every active lane runs in two parts, so that the caller can use y before the states are
// made. The output part reads x, lambda and morph of each lane and writes y (and lastOutput) of the active
// lanes, with their coefficients and terms. The state part then makes the new states from those outputs,
// and with nextLambda and nextMorph (uniform samples only) prepares the next sample of the active lanes
// for those values. Counters, state selectors and the bookkeeping of prepared lanes are the bank's.
using LatticeOutputKernel = void (*)(LatticeLanes& lanes, const LatticeStep& step, const double* x,
                                     const double* lambda, const double* morph, double* y);
using LatticeStateKernel = void (*)(LatticeLanes& lanes, const LatticeStep& step, const double* lambda,
                                    const double* nextLambda, const double* nextMorph);

struct LatticeKernel
{
    LatticeOutputKernel output;
    LatticeStateKernel states;
};

// Each path's kernels live in their own file, compiled for its instruction set; call them only where the
// CPU has it.
extern const LatticeKernel kLatticeKernelScalar;
#if defined(__x86_64__)
extern const LatticeKernel kLatticeKernelSse2;
extern const LatticeKernel kLatticeKernelAvx2;
extern const LatticeKernel kLatticeKernelAvx512Vl;
extern const LatticeKernel kLatticeKernelAvx512;
#endif
