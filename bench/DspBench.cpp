// Per-sample cost of the innermost DSP blocks; read ns/sample as 1e9 / items_per_second.
#include <benchmark/benchmark.h>

#include <array>

#include "dsp/BodyTable.h"
#include "dsp/RandomSource.h"
#include "dsp/StringDelayLine.h"
#include "dsp/TableLfo.h"
#include "dsp/WarpedLatticeFilter.h"

namespace
{
constexpr int kBlock = 256; // samples per benchmark iteration, so loop overhead stays small

std::array<double, kBlock> makeNoise()
{
    std::array<double, kBlock> noise{};
    RandomSource::seed(17);
    for (double& v : noise)
        v = (RandomSource::rand() % 10000) / 5000.0 - 1.0;
    return noise;
}

void stringDelayLineTick(benchmark::State& state)
{
    StringDelayLine line(8192);
    line.setDelay(98.93f); // note 69 at 44100 Hz
    line.clear();
    line.pluck(69, 0.8f);
    float x = 0.0f;
    for (auto _ : state)
    {
        for (int i = 0; i < kBlock; ++i)
            x = line.tick(0.99f * x + 1e-14f); // closed loop, as in a voice
        benchmark::DoNotOptimize(x);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(stringDelayLineTick);

void warpedLatticeFilterProcess(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    WarpedLatticeFilter filter(kBodyCoefficients);
    filter.setOrder(order);
    filter.setGain(0.9);
    filter.setUpdateInterval(static_cast<int>(state.range(1)));
    filter.setCoefficientSet(bodyTable(1), order, 1);
    filter.setCoefficientSet(bodyTable(5), order, 0);
    const std::array<double, kBlock> noise = makeNoise();
    double morph = 0.0;
    for (auto _ : state)
    {
        double y = 0.0;
        for (int i = 0; i < kBlock; ++i)
            y += filter.process(noise[static_cast<size_t>(i)] * 0.1, 0.5, morph);
        morph = morph < 1.0 ? morph + 0.001 : 0.0; // keep the blend moving
        benchmark::DoNotOptimize(y);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(warpedLatticeFilterProcess)->ArgNames({"order", "interval"})->ArgsProduct({{1, 8, 30}, {1, 8}});

void tableLfoNext(benchmark::State& state)
{
    TableLfo lfo(44100.0f);
    lfo.setFrequency(5.0f);
    for (auto _ : state)
    {
        float sum = 0.0f;
        for (int i = 0; i < kBlock; ++i)
            sum += lfo.next();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kBlock);
}
BENCHMARK(tableLfoNext);
} // namespace
