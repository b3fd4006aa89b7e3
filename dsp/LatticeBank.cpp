// Lattice bank set-up, per-lane settings, path choice and the per-sample dispatch.
#include "dsp/LatticeBank.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "dsp/WarpedLatticeFilter.h"

namespace
{
LatticeKernel kernelFor(LatticeBank::Path path)
{
    switch (path)
    {
#if defined(__x86_64__)
    case LatticeBank::Path::kSse2:
        return kLatticeKernelSse2;
    case LatticeBank::Path::kAvx2:
        return kLatticeKernelAvx2;
    case LatticeBank::Path::kAvx512Vl:
        return kLatticeKernelAvx512Vl;
    case LatticeBank::Path::kAvx512:
        return kLatticeKernelAvx512;
#endif
    default:
        return kLatticeKernelScalar;
    }
}

bool cpuHas(LatticeBank::Path path)
{
    switch (path)
    {
    case LatticeBank::Path::kScalar:
        return true;
#if defined(__x86_64__)
    case LatticeBank::Path::kSse2:
        return true;
    case LatticeBank::Path::kAvx2:
        __builtin_cpu_init(); // from a static initializer, the CPU model may not have been read yet
        return __builtin_cpu_supports("avx2");
    case LatticeBank::Path::kAvx512Vl:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    case LatticeBank::Path::kAvx512:
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return false;
    }
}

// Whether a sample prepares the next one (measured with the engine benchmarks). The scalar kernel prepares
// nothing; SSE2's sixteen registers of two lanes hold the three chains of a prepared sample only when few
// lanes are due next, as in normal quality.
bool preparesAhead(LatticeBank::Path path, uint32_t active, uint32_t dueNext)
{
    switch (path)
    {
    case LatticeBank::Path::kScalar:
        return false;
    case LatticeBank::Path::kSse2:
        return dueNext != active;
    default:
        return true;
    }
}

LatticeBank::Path findBestPath()
{
    // Fastest first, as measured by the lattice bank benchmarks. Where 512-bit operations are as quick
    // as 256-bit ones the full width wins, having half the instructions; where they are split in two it
    // should still be no slower, the sections being bound by latency.
    const LatticeBank::Path order[] = {LatticeBank::Path::kAvx512, LatticeBank::Path::kAvx512Vl,
                                       LatticeBank::Path::kAvx2, LatticeBank::Path::kSse2};
    for (LatticeBank::Path path : order)
        if (cpuHas(path))
            return path;
    return LatticeBank::Path::kScalar;
}
} // namespace

LatticeBank::Path LatticeBank::bestPath()
{
    static const Path best = findBestPath();
    return best;
}

namespace
{
// Asks the CPU when the library is loaded, so no audio thread ever waits for the answer.
[[maybe_unused]] const LatticeBank::Path kLoadTimePath = LatticeBank::bestPath();
} // namespace

LatticeBank::LatticeBank()
    : fLanes{}
    , fPath(bestPath())
    , fKernel(kernelFor(fPath))
{
    for (int lane = 0; lane < kLanes; ++lane)
    {
        fLanes.updateInterval[lane] = WarpedLatticeFilter::kDefaultUpdateInterval;
        fLanes.gain[lane] = 1.0;
    }
}

bool LatticeBank::isAvailable(Path path)
{
    return cpuHas(path);
}

const char* LatticeBank::pathName(Path path)
{
    switch (path)
    {
    case Path::kScalar:
        return "scalar";
    case Path::kSse2:
        return "sse2";
    case Path::kAvx2:
        return "avx2";
    case Path::kAvx512Vl:
        return "avx512vl-256";
    case Path::kAvx512:
        return "avx512";
    }
    return "";
}

bool LatticeBank::setPath(Path path)
{
    if (!isAvailable(path))
        return false;
    finishSample(); // on the path it began on
    fPath = path;
    fKernel = kernelFor(path);
    return true;
}

void LatticeBank::setOrder(int lane, int order)
{
    if (!validLane(lane))
        return;
    settle(lane);
    applyOrder(lane, std::clamp(order, 1, kCapacity));
}

void LatticeBank::applyOrder(int lane, int n)
{
    fLanes.order[lane] = n;
    const uint8_t bit = static_cast<uint8_t>(1u << lane);
    for (int i = 0; i < kCapacity; ++i)
    {
        fLanes.sectionMask[i][lane] = i < n ? ~uint64_t{0} : 0;
        fLanes.sectionLanes[i] = static_cast<uint8_t>(i < n ? fLanes.sectionLanes[i] | bit
                                                            : fLanes.sectionLanes[i] & ~bit);
    }
}

bool LatticeBank::loadLane(int lane, const WarpedLatticeFilter& filter)
{
    if (!validLane(lane) || filter.fCapacity != kCapacity)
        return false;
    settle(lane);
    applyOrder(lane, filter.fOrder);
    fLanes.updateInterval[lane] = filter.fUpdateInterval;
    fLanes.sampleCount[lane] = filter.fSampleCount;
    for (int i = 0; i < kCapacity; ++i)
    {
        fLanes.setA[i][lane] = filter.fSetA[i];
        fLanes.setB[i][lane] = filter.fSetB[i];
        fLanes.k[i][lane] = filter.fK[i];
    }
    // The filter's states go into the arrays the lanes processed last read, so that lanes taken in
    // together run in the uniform form; swapped records where that is not the filter's own order.
    const bool second = fTakenSecond;
    const bool filterSecond = filter.fStateSelector != 0;
    const std::vector<double>& readState = filterSecond ? filter.fState2 : filter.fState1;
    const std::vector<double>& otherState = filterSecond ? filter.fState1 : filter.fState2;
    for (int i = 0; i < kCapacity; ++i)
    {
        (second ? fLanes.state2 : fLanes.state1)[i][lane] = readState[i];
        (second ? fLanes.state1 : fLanes.state2)[i][lane] = otherState[i];
    }
    const uint32_t bit = 1u << lane;
    fLanes.readSecond = second ? fLanes.readSecond | bit : fLanes.readSecond & ~bit;
    fSwapped = second != filterSecond ? fSwapped | bit : fSwapped & ~bit;
    fLanes.gain[lane] = filter.fGain;
    fLanes.warpTerm[lane] = filter.fWarpTerm;
    fLanes.loopTerm[lane] = filter.fLoopTerm;
    fLanes.lastOutput[lane] = filter.fLastOutput;
    return true;
}

void LatticeBank::storeLane(int lane, WarpedLatticeFilter& filter) const
{
    if (!validLane(lane) || filter.fCapacity != kCapacity)
        return;
    filter.fSampleCount = fLanes.sampleCount[lane];
    const bool second = (fLanes.readSecond >> lane & 1u) != 0;
    const bool swapped = (fSwapped >> lane & 1u) != 0;
    const bool filterSecond = second != swapped;
    std::vector<double>& readState = filterSecond ? filter.fState2 : filter.fState1;
    std::vector<double>& otherState = filterSecond ? filter.fState1 : filter.fState2;
    for (int i = 0; i < kCapacity; ++i)
    {
        filter.fK[i] = coefficientInUse(lane, i);
        readState[i] = (second ? fLanes.state2 : fLanes.state1)[i][lane];
        otherState[i] = (second ? fLanes.state1 : fLanes.state2)[i][lane];
    }
    filter.fStateSelector = filterSecond ? 1 : 0;
    filter.fGain = fLanes.gain[lane];
    filter.fWarpTerm = fLanes.warpTerm[lane];
    filter.fLoopTerm = fLanes.loopTerm[lane];
    filter.fLastOutput = fLanes.lastOutput[lane];
}

void LatticeBank::setGain(int lane, double gain)
{
    if (!validLane(lane))
        return;
    settle(lane);
    fLanes.gain[lane] = gain;
}

void LatticeBank::setUpdateInterval(int lane, int interval)
{
    if (validLane(lane))
        fLanes.updateInterval[lane] = static_cast<uint32_t>(std::max(interval, 1));
}

void LatticeBank::setCoefficientSet(int lane, const double* values, int count, int which)
{
    if (!validLane(lane) || values == nullptr)
        return;
    settle(lane);
    double (*set)[kLanes] = which != 0 ? fLanes.setA : fLanes.setB;
    const int n = std::clamp(count, 0, kCapacity);
    for (int i = 0; i < n; ++i)
        set[i][lane] = values[i];
}

void LatticeBank::clear(int lane)
{
    if (!validLane(lane))
        return;
    finishSample();
    fLanes.prepared &= ~(1u << lane); // the next sample was prepared from the states cleared here
    for (int i = 0; i < kCapacity; ++i)
    {
        fLanes.state1[i][lane] = 0.0;
        fLanes.state2[i][lane] = 0.0;
    }
    fLanes.lastOutput[lane] = 0.0;
}

// The operations of WarpedLatticeFilter::updateCoefficients, on one lane.
void LatticeBank::updateCoefficients(int lane, double lambda, double gain, double morph)
{
    if (!validLane(lane))
        return;
    settle(lane);
    fLanes.gain[lane] = gain;
    const int n = fLanes.order[lane];
    for (int i = 0; i < n; ++i)
        fLanes.k[i][lane] = (fLanes.setA[i][lane] + (fLanes.setB[i][lane] - fLanes.setA[i][lane]) * morph) * gain;
    fLanes.warpTerm[lane] = 1.0 - lambda * lambda;

    double d = 1.0;
    double e = -lambda;
    double s = 0.0;
    for (int i = 0; i < n; ++i)
    {
        const double x = e - fLanes.k[i][lane] * d;
        const double h = fLanes.k[i][lane] * e;
        s = s + h;
        d = d - h;
        e = -lambda * x;
    }
    fLanes.loopTerm[lane] = 1.0 / (1.0 - s);
}

void LatticeBank::process(const double* x, const double* lambda, const double* morph, uint32_t activeMask,
                          double* y)
{
    processAhead(x, lambda, morph, activeMask, y, nullptr, nullptr);
}

void LatticeBank::processAhead(const double* x, const double* lambda, const double* morph, uint32_t activeMask,
                               double* y, const double* nextLambda, const double* nextMorph)
{
    processOutput(x, lambda, morph, activeMask, y, nextLambda, nextMorph);
    processStates();
}

namespace
{
// Bit l set where lane l of a and b differ in any bit.
uint32_t differingLanes(const double* a, const double* b)
{
    uint32_t differ = 0;
    for (int l = 0; l < LatticeBank::kLanes; ++l)
        differ |= static_cast<uint32_t>(std::bit_cast<uint64_t>(a[l]) != std::bit_cast<uint64_t>(b[l])) << l;
    return differ;
}
} // namespace

void LatticeBank::processOutput(const double* x, const double* lambda, const double* morph, uint32_t activeMask,
                                double* y, const double* nextLambda, const double* nextMorph)
{
    finishSample();
    if (x == nullptr || lambda == nullptr || morph == nullptr || y == nullptr)
        return;
    LatticeStep step{activeMask & kAllLanes, 0, 0, false, false, 0};
    if (step.active == 0)
        return;
    // Counters of all eight lanes at once, the active ones moved on; the usual intervals 1 and 8 are powers
    // of two, which need no division. The interval is read once: another thread may write it.
    uint32_t interval[kLanes];
    uint32_t count[kLanes];
    uint32_t odd = 0;
    for (int lane = 0; lane < kLanes; ++lane)
    {
        interval[lane] = fLanes.updateInterval[lane];
        count[lane] = fLanes.sampleCount[lane];
        odd |= interval[lane] & (interval[lane] - 1);
    }
    uint32_t dueNext = 0;
    int lowest = kCapacity;
    for (int lane = 0; lane < kLanes; ++lane)
    {
        const uint32_t on = step.active >> lane & 1u;
        const uint32_t c = count[lane];
        const uint32_t m = interval[lane];
        const bool due = odd == 0 ? (c & (m - 1)) == 0 : c % m == 0;
        const bool dueAfter = odd == 0 ? ((c + 1) & (m - 1)) == 0 : (c + 1) % m == 0;
        step.due |= (static_cast<uint32_t>(due) & on) << lane;
        dueNext |= (static_cast<uint32_t>(dueAfter) & on) << lane;
        fLanes.sampleCount[lane] = c + on;
        const int order = fLanes.order[lane];
        step.sections = on != 0 && order > step.sections ? order : step.sections;
        lowest = on != 0 && order < lowest ? order : lowest;
    }
    const uint32_t second = fLanes.readSecond & step.active;
    step.uniform = lowest == step.sections && (second == 0 || second == step.active);

    // What was prepared serves only if every active lane was prepared, for these warps and morphs and the
    // lanes now due; an update made ahead that this sample does not take is undone.
    const bool planned = (fLanes.aheadDue & step.active) == step.due;
    const uint32_t unused = fLanes.aheadDue & ~(step.active & step.due);
    for (uint32_t rest = unused; rest != 0; rest &= rest - 1)
        restoreCoefficients(__builtin_ctz(rest));
    fLanes.aheadDue &= ~unused;
    step.ahead = step.uniform && planned && (step.active & ~fLanes.prepared) == 0
                 && ((differingLanes(fLanes.aheadLambda, lambda) | differingLanes(fLanes.aheadMorph, morph))
                     & step.active)
                        == 0;

    const bool prepare = nextLambda != nullptr && nextMorph != nullptr && step.uniform
                         && preparesAhead(fPath, step.active, dueNext);
    step.dueNext = prepare ? dueNext : 0;
    fKernel.output(fLanes, step, x, lambda, morph, y);

    fOpen = step;
    fOpenLambda = lambda;
    fOpenNextLambda = prepare ? nextLambda : nullptr;
    fOpenNextMorph = prepare ? nextMorph : nullptr;
}

void LatticeBank::processStates()
{
    if (fOpen.active == 0)
        return;
    const LatticeStep step = fOpen;
    fOpen.active = 0;
    fKernel.states(fLanes, step, fOpenLambda, fOpenNextLambda, fOpenNextMorph);
    fLanes.readSecond ^= step.active;
    fTakenSecond = (fLanes.readSecond >> __builtin_ctz(step.active) & 1u) != 0;
    if (fOpenNextLambda != nullptr)
    {
        fLanes.prepared = step.active;
        fLanes.aheadDue = step.dueNext;
        fLanes.aheadSections = step.sections;
        std::memcpy(fLanes.aheadLambda, fOpenNextLambda, sizeof fLanes.aheadLambda);
        std::memcpy(fLanes.aheadMorph, fOpenNextMorph, sizeof fLanes.aheadMorph);
    }
    else
    {
        fLanes.prepared = 0;
        fLanes.aheadDue = 0;
    }
}

void LatticeBank::finishSample()
{
    processStates();
}

void LatticeBank::restoreCoefficients(int lane)
{
    for (int i = 0; i < fLanes.aheadSections; ++i)
        fLanes.k[i][lane] = fLanes.kBefore[i][lane];
}

void LatticeBank::settle(int lane)
{
    finishSample();
    const uint32_t bit = 1u << lane;
    if ((fLanes.aheadDue & bit) != 0)
        restoreCoefficients(lane);
    fLanes.aheadDue &= ~bit;
    fLanes.prepared &= ~bit;
}

double LatticeBank::coefficientInUse(int lane, int i) const
{
    if ((fLanes.aheadDue >> lane & 1u) != 0 && i < fLanes.aheadSections)
        return fLanes.kBefore[i][lane];
    return fLanes.k[i][lane];
}

int LatticeBank::getOrder(int lane) const
{
    return validLane(lane) ? fLanes.order[lane] : 0;
}

int LatticeBank::getUpdateInterval(int lane) const
{
    return validLane(lane) ? static_cast<int>(fLanes.updateInterval[lane]) : 0;
}

double LatticeBank::getGain(int lane) const
{
    return validLane(lane) ? fLanes.gain[lane] : 0.0;
}

double LatticeBank::getLastOutput(int lane) const
{
    return validLane(lane) ? fLanes.lastOutput[lane] : 0.0;
}

uint32_t LatticeBank::getSampleCount(int lane) const
{
    return validLane(lane) ? fLanes.sampleCount[lane] : 0;
}

double LatticeBank::getCoefficient(int lane, int i) const
{
    if (!validLane(lane) || i < 0 || i >= kCapacity)
        return 0.0;
    return coefficientInUse(lane, i);
}
