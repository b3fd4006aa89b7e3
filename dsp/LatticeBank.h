// Eight warped lattice filters run side by side in SIMD lanes, each giving the bits of one WarpedLatticeFilter.
#pragma once

#include <cstdint>

#include "dsp/LatticeLanes.h"

class WarpedLatticeFilter;

// Every lane is one filter of capacity 30 with the settings and behaviour of WarpedLatticeFilter; the
// per-lane calls mirror that class. process runs one sample of all active lanes at once: the filters'
// section chains are latency-bound, so eight independent chains cost little more than one.
// All calls belong to the audio thread except setUpdateInterval. The bank is 64-byte aligned (its lane
// arrays are loaded with aligned vector loads): create it with new or as a member, not with malloc.
class LatticeBank
{
public:
    static constexpr int kLanes = LatticeLanes::kLanes;
    static constexpr int kCapacity = LatticeLanes::kSections;
    static constexpr uint32_t kAllLanes = LatticeLanes::kAllLanes;

    // Ways of running the lanes; every path gives the same bits.
    enum class Path : int
    {
        kScalar = 0, // portable C++
        kSse2 = 1,   // x86-64 baseline
        kAvx2 = 2,
        kAvx512Vl = 3, // AVX-512VL at 256-bit width
        kAvx512 = 4,   // AVX-512 at full 512-bit width
    };
    static constexpr int kNumPaths = 5;

    // Starts on the fastest path this CPU has; every lane as a new WarpedLatticeFilter(30).
    LatticeBank();

    static bool isAvailable(Path path);
    // The fastest available path, found once when the library is loaded.
    static Path bestPath();
    static const char* pathName(Path path);
    // For tests and benchmarks: false (and no change) when the CPU lacks the path.
    bool setPath(Path path);
    Path getPath() const { return fPath; }

    // Per lane, as WarpedLatticeFilter; a lane outside 0..kLanes - 1 is ignored.
    void setOrder(int lane, int order);
    void setGain(int lane, double gain);
    // One aligned 32-bit store: may be called from another thread while samples are processed.
    void setUpdateInterval(int lane, int interval);
    void setCoefficientSet(int lane, const double* values, int count, int which);
    void clear(int lane);
    void updateCoefficients(int lane, double lambda, double gain, double morph);

    // A filter of capacity kCapacity taken into a lane with everything it holds, and given back with what
    // process changes (coefficients in use, states, terms, last output, counter). loadLane answers false,
    // changing nothing, for another capacity or lane. Give a lane back only after processStates.
    bool loadLane(int lane, const WarpedLatticeFilter& filter);
    void storeLane(int lane, WarpedLatticeFilter& filter) const;

    // One sample of every lane in activeMask (bit l for lane l): x, lambda and morph are read per lane,
    // y[l] receives the output of each active lane. Lanes not in the mask are left exactly as they are,
    // sample counter included, and their y is not written. y may be x. A null array does nothing.
    void process(const double* x, const double* lambda, const double* morph, uint32_t activeMask, double* y);
    // As process, and on a sample whose active lanes share order and state array, prepares the next sample
    // of the active lanes for the warps nextLambda and morphs nextMorph: its update and the state part of
    // its output run alongside this sample's state pass. A next sample that comes with other lanes, warps,
    // morphs or settings is computed anew. Not on the scalar path, which prepares nothing.
    void processAhead(const double* x, const double* lambda, const double* morph, uint32_t activeMask, double* y,
                      const double* nextLambda, const double* nextMorph);
    // processAhead in two parts: processOutput writes y; processStates then makes the sample's states (and
    // prepares the next), the longest chain of a sample, which the caller's own work on y may overlap.
    // lambda, nextLambda and nextMorph must stay as they are until processStates. Any other call but a
    // getter finishes an open sample first; a getter sees it half done.
    void processOutput(const double* x, const double* lambda, const double* morph, uint32_t activeMask, double* y,
                       const double* nextLambda, const double* nextMorph);
    void processStates();

    // Per lane, as WarpedLatticeFilter; 0 for a lane or section out of range.
    int getOrder(int lane) const;
    int getUpdateInterval(int lane) const;
    double getGain(int lane) const;
    double getLastOutput(int lane) const;
    uint32_t getSampleCount(int lane) const;
    double getCoefficient(int lane, int i) const;

private:
    static bool validLane(int lane) { return lane >= 0 && lane < kLanes; }
    // Sections in use, 0 for a lane never given an order, as in a new filter.
    void applyOrder(int lane, int order);
    // Puts back the coefficients an update made ahead replaced.
    void restoreCoefficients(int lane);
    // Drops what was prepared for the lane, before its settings change.
    void settle(int lane);
    // Coefficient i of the present sample, also while k holds those of a prepared next one.
    double coefficientInUse(int lane, int i) const;
    // Makes the states of a sample whose output was made, if any.
    void finishSample();

    LatticeLanes fLanes;
    Path fPath;
    LatticeKernel fKernel;
    bool fTakenSecond = false; // which state array loadLane puts a filter's states into
    LatticeStep fOpen{};       // a sample whose output is made and whose states are not (active 0: none)
    const double* fOpenLambda = nullptr;
    const double* fOpenNextLambda = nullptr; // null: the open sample prepares nothing
    const double* fOpenNextMorph = nullptr;
    uint32_t fSwapped = 0;     // bit l set: lane l's state arrays are the other way round from its filter's
};
