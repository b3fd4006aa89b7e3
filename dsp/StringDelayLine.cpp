// Delay set-up and pluck burst of the string delay line.
#include "dsp/StringDelayLine.h"

#include <algorithm>
#include <cstddef>
#include <cmath>

#include "dsp/RandomSource.h"

namespace
{
constexpr float kMaxBrightness = 1.4f;

int limitSize(int size)
{
    return std::clamp(size, 1, StringDelayLine::kMaxSize);
}
} // namespace

StringDelayLine::StringDelayLine(int size)
    : fDelayBuffer(static_cast<std::size_t>(limitSize(size)), 0.0f)
    , fExcitation(2 * static_cast<std::size_t>(limitSize(size)), 0.0f)
    , fSize(limitSize(size))
    , fWriteIndex(fSize - 1)
{
}

void StringDelayLine::clear()
{
    std::fill(fDelayBuffer.begin(), fDelayBuffer.end(), 0.0f);
    fLastOutput = 0.0f;
}

float StringDelayLine::getExcitation(int i) const
{
    if (i < 0 || i >= static_cast<int>(fExcitation.size()))
        return 0.0f;
    return fExcitation[static_cast<std::size_t>(i)];
}

void StringDelayLine::setDelay(float delay)
{
    if (!(delay >= 0.0f)) // also NaN
        delay = 0.0f;
    else if (delay > kMaxDelay) // also infinity; any float delay this large has no fraction
        delay = kMaxDelay;

    // The four taps span the window [count - 3, count]; keeping d in (1, 2] places the interpolation
    // point between the two middle taps.
    const float c = std::ceil(delay);
    fDelayCount = static_cast<int>(c) + 1;
    fFraction = c - delay;
    fPosition = 2.0f - fFraction;

    const float d = fPosition;
    fW0 = (d - 1.0f) * (d - 2.0f) * (d - 3.0f) * -0.16666667f;
    fW1 = d * (d - 2.0f) * (d - 3.0f) * 0.5f;
    fW2 = d * (d - 1.0f) * (d - 3.0f) * -0.5f;
    fW3 = d * (d - 1.0f) * (d - 2.0f) * 0.16666667f;

    // Too long for the buffer: the weights stay those of the requested fraction.
    if (fDelayCount >= fSize)
    {
        fDelayCount = fSize - 1;
        fFraction = 0.0f;
    }

    fReadIndex = fWriteIndex - fDelayCount;
    if (fReadIndex < 0)
        fReadIndex += fSize;
}

void StringDelayLine::pluck(int seed, float brightness)
{
    RandomSource::seed(static_cast<uint32_t>(seed));

    const int n = fDelayCount;
    if (n < 1) // no delay set yet
    {
        fBurstRemaining = 0;
        fBurstPosition = 0;
        return;
    }
    const int length = 2 * n;
    float* excitation = fExcitation.data();

    // The low-pass below stays stable while k < 2, that is |brightness| < 1.4139; further out (or NaN)
    // it would fill the burst with infinities.
    if (!(std::fabs(brightness) <= kMaxBrightness))
        brightness = std::isnan(brightness) ? 0.0f : std::copysign(kMaxBrightness, brightness);
    const float k = brightness * brightness + 0.001f; // 0.0010000000475 as stored

    // Two passes of a one-pole low-pass over seeded noise; larger brightness keeps more highs.
    float s = 0.0f;
    for (int i = 0; i < n; ++i)
    {
        const float r = static_cast<float>(RandomSource::rand() % 10000) / 5000.0f - 1.0f;
        s = s + (r - s) * k;
        excitation[i] = s;
    }
    s = 0.0f;
    for (int i = 0; i < n; ++i)
    {
        s = s + (excitation[i] - s) * k;
        excitation[i] = s;
    }
    // The second half starts silent, so the burst depends only on seed, brightness and delay count.
    std::fill(excitation + n, excitation + length, 0.0f);

    fBurstRemaining = length;
    fBurstPosition = 0;

    float sum = 0.0f;
    for (int i = 0; i < length; ++i)
        sum += excitation[i];
    const float mean = sum / static_cast<float>(length);

    // The ramp rises from 0 to almost 2, so the mean is removed progressively over the burst.
    const float step = 1.0f / static_cast<float>(n);
    float ramp = 0.0f;
    float peak = 0.0f;
    for (int i = 0; i < length; ++i)
    {
        excitation[i] -= mean * ramp;
        ramp += step;
        if (std::fabs(excitation[i]) > peak)
            peak = std::fabs(excitation[i]);
    }

    const float g = peak > 0.0f ? 1.0f / peak : 0.0f; // an all-zero burst stays zero
    for (int i = 0; i < length; ++i)
        excitation[i] *= g;

    // The second half fades linearly from 1 towards 0.
    float f = 1.0f;
    for (int i = n; i < length; ++i)
    {
        excitation[i] *= f;
        f -= step;
    }
}
