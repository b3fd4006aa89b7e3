// A table of uniform noise values, filled once from the shared generator and read cyclically.
#pragma once

#include <vector>

class NoiseTable
{
public:
    // Continues the calling thread's generator sequence (no seeding). A count below 1 gives one silent value.
    explicit NoiseTable(int count);

    float next()
    {
        const float value = fValues[fReadIndex];
        if (++fReadIndex >= fCount)
            fReadIndex = 0;
        return value;
    }

    int getCount() const { return fCount; }
    int getReadIndex() const { return fReadIndex; }

private:
    friend struct NoiseLanes; // reads eight tables side by side

    int fReadIndex = 0;
    int fCount;
    std::vector<float> fValues;
};
