// All-pole lattice filter with frequency-warped unit delays, blending two coefficient sets (double precision).
#pragma once

#include <cstdint>
#include <vector>

class WarpedLatticeFilter
{
public:
    static constexpr int kDefaultUpdateInterval = 8;
    static constexpr float kRandomScale = 0.949999988f; // 0.95 as stored; widened to double where used

    // A capacity below 1 is taken as 1.
    explicit WarpedLatticeFilter(int capacity);

    // Sections in use, limited to 1..capacity; takes effect at the next process.
    void setOrder(int order);
    // Coefficient scale; takes effect at the next coefficient update.
    void setGain(double gain) { fGain = gain; }
    // Coefficients are recomputed every interval samples; below 1 means every sample.
    void setUpdateInterval(int interval);

    // Copies values[0 .. count - 1] into set A (which != 0) or set B (which == 0); the rest of the set
    // keeps what it held. count is limited to 0..capacity; a null values does nothing.
    void setCoefficientSet(const double* values, int count, int which);

    // Fills values[0 .. count - 1] with a set reproducible from the seed: each value is a product of two
    // uniform values in [-1, 1) scaled by 0.95, so small magnitudes dominate. count is limited to
    // 0..kBodyCoefficients (30), the size of every coefficient set; only values is written.
    static void randomCoefficients(double* values, int seed, int count);

    // Zeroes the section states and the last output; the sample counter keeps running.
    void clear();

    void updateCoefficients(double lambda, double gain, double morph)
    {
        fGain = gain;
        const int n = fOrder;
        for (int i = 0; i < n; ++i)
            fK[i] = (fSetA[i] + (fSetB[i] - fSetA[i]) * morph) * gain;
        fWarpTerm = 1.0 - lambda * lambda;

        // S is the share of the output that feeds back into itself through the delay-free warped paths;
        // dividing by 1 - S solves that loop exactly.
        double d = 1.0;
        double e = -lambda;
        double s = 0.0;
        for (int i = 0; i < n; ++i)
        {
            const double x = e - fK[i] * d;
            const double h = fK[i] * e;
            s = s + h;
            d = d - h;
            e = -lambda * x;
        }
        fLoopTerm = 1.0 / (1.0 - s);
    }

    double process(double x, double lambda, double morph)
    {
        if (fSampleCount % fUpdateInterval == 0)
            updateCoefficients(lambda, fGain, morph);

        // The two state arrays alternate instead of being copied.
        const double* s = fStateSelector == 0 ? fState1.data() : fState2.data();
        double* t = fStateSelector == 0 ? fState2.data() : fState1.data();
        const double* k = fK.data();
        const double p = fWarpTerm;
        const int n = fOrder;

        double a = p * s[0];
        double m = k[0] * a;
        double b = -k[0] * a;
        double z = 0.0;
        for (int i = 1; i < n; ++i)
        {
            const double aNew = p * s[i] + lambda * (k[i - 1] * z - a);
            m = m + k[i] * aNew;
            z = b;
            b = b - k[i] * aNew;
            a = aNew;
        }

        const double y = fLoopTerm * (x + m);

        // t[0] is never written: the first section keeps no memory of its own.
        double u = lambda * s[0] + y;
        double w = y;
        for (int i = 1; i < n; ++i)
        {
            const double v = s[i - 1] - lambda * u;
            const double r = lambda * s[i] + v;
            t[i] = r - k[i - 1] * w;
            w = w - k[i - 1] * v;
            u = t[i];
        }

        fStateSelector = 1 - fStateSelector;
        fLastOutput = y;
        ++fSampleCount; // unsigned: wraps instead of overflowing
        return y;
    }

    int getCapacity() const { return fCapacity; }
    int getOrder() const { return fOrder; }
    int getUpdateInterval() const { return static_cast<int>(fUpdateInterval); }
    double getGain() const { return fGain; }
    double getLastOutput() const { return fLastOutput; }
    uint32_t getSampleCount() const { return fSampleCount; }
    // Coefficient i in use (0 outside 0..capacity - 1).
    double getCoefficient(int i) const;

private:
    friend class LatticeBank; // takes a filter into one of its lanes and gives it back

    int fCapacity;
    int fOrder = 0;
    uint32_t fUpdateInterval = kDefaultUpdateInterval;
    uint32_t fSampleCount = 0;
    std::vector<double> fSetA;
    std::vector<double> fSetB;
    std::vector<double> fK;
    std::vector<double> fState1;
    std::vector<double> fState2;
    int fStateSelector = 0;
    double fGain = 1.0;
    double fWarpTerm = 0.0; // 1 - lambda^2 of the latest update
    double fLoopTerm = 0.0; // 1 / (1 - S) of the latest update
    double fLastOutput = 0.0;
};
