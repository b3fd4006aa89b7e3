// Set-up of the warped lattice filter: arrays, settings, coefficient sets and random sets.
#include "dsp/WarpedLatticeFilter.h"

#include <algorithm>
#include <cstddef>

#include "dsp/BodyTable.h"
#include "dsp/RandomSource.h"

WarpedLatticeFilter::WarpedLatticeFilter(int capacity)
    : fCapacity(std::max(capacity, 1))
    , fSetA(static_cast<std::size_t>(fCapacity), 0.0)
    , fSetB(static_cast<std::size_t>(fCapacity), 0.0)
    , fK(static_cast<std::size_t>(fCapacity), 0.0)
    , fState1(static_cast<std::size_t>(fCapacity), 0.0)
    , fState2(static_cast<std::size_t>(fCapacity), 0.0)
{
}

void WarpedLatticeFilter::setOrder(int order)
{
    fOrder = std::clamp(order, 1, fCapacity);
}

void WarpedLatticeFilter::setUpdateInterval(int interval)
{
    // One store: another thread may change the interval while samples are processed.
    fUpdateInterval = static_cast<uint32_t>(std::max(interval, 1));
}

void WarpedLatticeFilter::setCoefficientSet(const double* values, int count, int which)
{
    if (values == nullptr)
        return;
    std::vector<double>& set = which != 0 ? fSetA : fSetB;
    const int n = std::clamp(count, 0, fCapacity);
    std::copy(values, values + n, set.begin());
}

void WarpedLatticeFilter::randomCoefficients(double* values, int seed, int count)
{
    if (values == nullptr)
        return;
    RandomSource::seed(static_cast<uint32_t>(seed));
    const double scale = static_cast<double>(kRandomScale);
    const int n = std::clamp(count, 0, kBodyCoefficients);
    for (int i = 0; i < n; ++i)
    {
        const double r1 = static_cast<double>(RandomSource::rand() % 10000) / 5000.0 - 1.0;
        const double r2 = static_cast<double>(RandomSource::rand() % 10000) / 5000.0 - 1.0;
        values[i] = scale * r1 * r2;
    }
}

void WarpedLatticeFilter::clear()
{
    std::fill(fState1.begin(), fState1.end(), 0.0);
    std::fill(fState2.begin(), fState2.end(), 0.0);
    fLastOutput = 0.0;
}

double WarpedLatticeFilter::getCoefficient(int i) const
{
    if (i < 0 || i >= fCapacity)
        return 0.0;
    return fK[static_cast<std::size_t>(i)];
}
