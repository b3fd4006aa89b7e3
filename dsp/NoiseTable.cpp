// Filling of the noise table.
#include "dsp/NoiseTable.h"

#include <cstddef>

#include "dsp/RandomSource.h"

NoiseTable::NoiseTable(int count)
    : fCount(count > 0 ? count : 1)
    , fValues(static_cast<std::size_t>(fCount), 0.0f)
{
    // Values in [-1, 9999/5000 - 1].
    for (int i = 0; i < count; ++i)
        fValues[i] = static_cast<float>(RandomSource::rand() % 10000) / 5000.0f - 1.0f;
}
