// Cost of eight body filters per lane-sample: the lattice bank on each path next to eight WarpedLatticeFilters.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "dsp/BodyTable.h"
#include "dsp/LatticeBank.h"
#include "dsp/RandomSource.h"
#include "dsp/WarpedLatticeFilter.h"

namespace
{
constexpr int kLanes = LatticeBank::kLanes;
constexpr int kOrder = 30;
constexpr int kBlock = 256; // samples per benchmark iteration, so loop overhead stays small
constexpr double kGain = 0.9;

using LaneNoise = std::array<std::array<double, kLanes>, kBlock>;

LaneNoise makeNoise()
{
    LaneNoise noise{};
    RandomSource::seed(23);
    for (auto& sample : noise)
        for (double& v : sample)
            v = ((RandomSource::rand() % 10000) / 5000.0 - 1.0) * 0.1;
    return noise;
}

// Each lane its own pair of bodies and warp, as eight sounding voices would have.
const double* setAOf(int lane)
{
    return bodyTable(1 + lane % 8);
}
const double* setBOf(int lane)
{
    return bodyTable(8 - lane % 8);
}
double warpOf(int lane)
{
    return 0.3 + 0.08 * lane;
}

// Reports lane-samples; "time/lane-sample" is the time of one filter for one sample.
void countLaneSamples(benchmark::State& state, int lanes)
{
    const double laneSamples = static_cast<double>(state.iterations()) * kBlock * lanes;
    state.SetItemsProcessed(static_cast<int64_t>(laneSamples));
    state.counters["time/lane-sample"] =
        benchmark::Counter(laneSamples, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Interval 1 (high quality) or 8; staggered counters give each lane its own update phase, as voices
// started at different times have, so with interval 8 one lane or another updates on every sample.
// ahead: each sample also prepares the next (processAhead), as the voices run the bank.
// With one lane active (one voice sounding), compare with warpedLatticeFilterProcess/order:30.
void latticeBankProcess(benchmark::State& state, LatticeBank::Path path)
{
    const int interval = static_cast<int>(state.range(0));
    const bool ahead = state.range(3) != 0;
    const bool staggered = state.range(1) != 0;
    const int active = static_cast<int>(state.range(2));
    const uint32_t mask = (1u << active) - 1;
    LatticeBank bank;
    if (!bank.setPath(path))
    {
        state.SkipWithError("not on this CPU");
        return;
    }
    double lambda[kLanes];
    double morph[kLanes] = {};
    double y[kLanes] = {};
    // Each lane's filter is set up and, when staggered, run l samples before it is taken into its lane,
    // as a voice's filter is: the lanes then share their state array and differ in update phase.
    for (int l = 0; l < kLanes; ++l)
    {
        WarpedLatticeFilter filter(kBodyCoefficients);
        filter.setOrder(kOrder);
        filter.setGain(kGain);
        filter.setUpdateInterval(interval);
        filter.setCoefficientSet(setAOf(l), kOrder, 1);
        filter.setCoefficientSet(setBOf(l), kOrder, 0);
        lambda[l] = warpOf(l);
        for (int i = 0; staggered && i < l; ++i)
            filter.process(0.0, lambda[l], 0.0);
        bank.loadLane(l, filter);
    }
    const LaneNoise noise = makeNoise();
    double m = 0.0;
    for (auto _ : state)
    {
        double sum = 0.0;
        for (const auto& sample : noise)
        {
            // the voices know the next sample's warp and morph: each sample prepares the next
            if (ahead)
                bank.processAhead(sample.data(), lambda, morph, mask, y, lambda, morph);
            else
                bank.process(sample.data(), lambda, morph, mask, y);
            sum += y[0] + y[kLanes - 1];
        }
        m = m < 1.0 ? m + 0.001 : 0.0; // keep the blend moving
        for (double& v : morph)
            v = m;
        benchmark::DoNotOptimize(sum);
    }
    countLaneSamples(state, active);
}
BENCHMARK_CAPTURE(latticeBankProcess, scalar, LatticeBank::Path::kScalar)
    ->ArgNames({"interval", "staggered", "lanes", "ahead"})
    ->Args({1, 1, 8, 0})
    ->Args({8, 1, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 8, 1})
    ->Args({8, 1, 8, 1});
BENCHMARK_CAPTURE(latticeBankProcess, sse2, LatticeBank::Path::kSse2)
    ->ArgNames({"interval", "staggered", "lanes", "ahead"})
    ->Args({1, 1, 8, 0})
    ->Args({8, 1, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 8, 1})
    ->Args({8, 1, 8, 1});
BENCHMARK_CAPTURE(latticeBankProcess, avx2, LatticeBank::Path::kAvx2)
    ->ArgNames({"interval", "staggered", "lanes", "ahead"})
    ->Args({1, 1, 8, 0})
    ->Args({8, 1, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 8, 1})
    ->Args({8, 1, 8, 1});
BENCHMARK_CAPTURE(latticeBankProcess, avx512vl_256, LatticeBank::Path::kAvx512Vl)
    ->ArgNames({"interval", "staggered", "lanes", "ahead"})
    ->Args({1, 1, 8, 0})
    ->Args({8, 1, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 8, 1})
    ->Args({8, 1, 8, 1});
BENCHMARK_CAPTURE(latticeBankProcess, avx512, LatticeBank::Path::kAvx512)
    ->ArgNames({"interval", "staggered", "lanes", "ahead"})
    ->Args({1, 1, 8, 0})
    ->Args({8, 1, 8, 0})
    ->Args({8, 0, 8, 0})
    ->Args({1, 1, 1, 0})
    ->Args({1, 1, 8, 1})
    ->Args({8, 1, 8, 1});

// The same work as eight separate filters, one voice after the other as the engine runs them today.
void eightFiltersProcess(benchmark::State& state)
{
    const int interval = static_cast<int>(state.range(0));
    const bool staggered = state.range(1) != 0;
    std::vector<WarpedLatticeFilter> filters;
    for (int l = 0; l < kLanes; ++l)
    {
        filters.emplace_back(kBodyCoefficients);
        WarpedLatticeFilter& f = filters.back();
        f.setOrder(kOrder);
        f.setGain(kGain);
        f.setUpdateInterval(interval);
        f.setCoefficientSet(setAOf(l), kOrder, 1);
        f.setCoefficientSet(setBOf(l), kOrder, 0);
        for (int i = 0; staggered && i < kLanes - l; ++i)
            f.process(0.0, warpOf(l), 0.0);
    }
    const LaneNoise noise = makeNoise();
    double m = 0.0;
    for (auto _ : state)
    {
        double sum = 0.0;
        for (const auto& sample : noise)
            for (int l = 0; l < kLanes; ++l)
                sum += filters[static_cast<size_t>(l)].process(sample[static_cast<size_t>(l)], warpOf(l), m);
        m = m < 1.0 ? m + 0.001 : 0.0;
        benchmark::DoNotOptimize(sum);
    }
    countLaneSamples(state, kLanes);
}
BENCHMARK(eightFiltersProcess)->ArgNames({"interval", "staggered"})->Args({1, 1})->Args({8, 1})->Args({8, 0});
} // namespace
