// Random body coefficients from the shared generator, reproducible from their seed.
#include "RandomBody.h"

#include "dsp/RandomSource.h"

namespace
{
constexpr double kCoefficientScale = 0.949999988f; // 0.95 as stored, keeps every section stable

// A draw mapped to -1..0.9998.
double signedDraw()
{
    return (RandomSource::rand() % 10000) / 5000.0 - 1.0;
}
} // namespace

void fillRandomBody(double* coefficients, uint32_t seed, int count)
{
    if (coefficients == nullptr)
        return;
    RandomSource::seed(seed);
    for (int i = 0; i < count; i++)
    {
        const double a = signedDraw();
        const double b = signedDraw();
        coefficients[i] = kCoefficientScale * a * b;
    }
}
