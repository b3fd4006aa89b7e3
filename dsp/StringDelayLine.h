// A string's memory: circular delay with four-point Lagrange interpolation, plus the seeded pluck burst.
#pragma once

#include <vector>

class StringDelayLine
{
public:
    static constexpr int kMaxSize = 1 << 24;         // keeps 2 x size and every index inside an int
    static constexpr float kMaxDelay = 16777216.0f;  // 2^24: every float delay this large is already whole
    // The burst enters the output with the mean of the oldest tap's weight over a tap window, -1/24,
    // so its loudness does not depend on where the delay falls between two samples.
    static constexpr float kBurstWeight = -0.041666668f;

    // A size below 1 is taken as 1, above kMaxSize as kMaxSize.
    explicit StringDelayLine(int size);

    // Silences the string; a burst still draining keeps draining.
    void clear();

    // Delay in samples behind the sample written in the same tick. NaN and negative delays count as 0;
    // a delay count of size or more is limited to size - 1.
    void setDelay(float delay);

    // Builds a burst of 2 x delay count samples from the seed and starts playing it; call after setDelay.
    void pluck(int seed, float brightness);

    float tick(float input)
    {
        float* buffer = fDelayBuffer.data();
        buffer[fWriteIndex] = input;

        int i1 = fReadIndex + 1;
        if (i1 >= fSize)
            i1 -= fSize;
        int i2 = i1 + 1;
        if (i2 >= fSize)
            i2 -= fSize;
        int i3 = i2 + 1;
        if (i3 >= fSize)
            i3 -= fSize;

        float output = fW0 * buffer[i3] + fW1 * buffer[i2] + fW2 * buffer[i1] + fW3 * buffer[fReadIndex];
        if (fBurstRemaining > 0)
        {
            output = output + kBurstWeight * fExcitation[fBurstPosition];
            ++fBurstPosition;
            --fBurstRemaining;
        }
        fLastOutput = output;

        if (++fWriteIndex >= fSize)
            fWriteIndex -= fSize;
        if (++fReadIndex >= fSize)
            fReadIndex -= fSize;
        return output;
    }

    float lastOutput() const { return fLastOutput; }

    int getSize() const { return fSize; }
    int getDelayCount() const { return fDelayCount; }
    float getFraction() const { return fFraction; }
    int getWriteIndex() const { return fWriteIndex; }
    int getReadIndex() const { return fReadIndex; }
    int getBurstRemaining() const { return fBurstRemaining; }
    // Sample i (0 .. 2 x size - 1) of the latest burst; 0 outside.
    float getExcitation(int i) const;

private:
    friend struct StringLanes; // runs the tick of eight lines side by side

    std::vector<float> fDelayBuffer;
    std::vector<float> fExcitation; // 2 x size: a burst covers up to 2 x (size - 1) samples
    int fSize;
    int fWriteIndex;
    int fReadIndex = 0;
    int fDelayCount = 0;
    float fFraction = 0.0f;
    float fPosition = 0.0f; // interpolation point from the newest tap, in (1, 2]
    float fW0 = 0.0f;       // newest tap
    float fW1 = 0.0f;
    float fW2 = 0.0f;
    float fW3 = 0.0f;       // oldest tap
    int fBurstPosition = 0;
    int fBurstRemaining = 0;
    float fLastOutput = 0.0f;
};
