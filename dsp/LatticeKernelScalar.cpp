// Lattice bank kernel in portable C++, the path for any CPU: most lanes interleaved in plain doubles, a few one by one.
#include <bit>
#include <cstdint>

#include "dsp/LatticeKernel.h"

namespace
{
constexpr int kLanes = LatticeLanes::kLanes;

// Eight lanes as plain doubles; a mask is one bit per lane. Selects copy the chosen value, so signed
// zeros and NaNs pass through unchanged.
struct ScalarOps
{
    struct Pack
    {
        double v[kLanes];
    };
    using Mask = uint32_t;
    static constexpr bool kFuseUpdate = true;
    static constexpr uint32_t kOwnLanes = LatticeLanes::kAllLanes; // the lanes this type holds

    static Pack load(const double* p)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = p[l];
        return r;
    }
    static void store(double* p, const Pack& a)
    {
        for (int l = 0; l < kLanes; ++l)
            p[l] = a.v[l];
    }
    static Pack broadcast(double x)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = x;
        return r;
    }
    static Pack add(const Pack& a, const Pack& b)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = a.v[l] + b.v[l];
        return r;
    }
    static Pack sub(const Pack& a, const Pack& b)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = a.v[l] - b.v[l];
        return r;
    }
    static Pack mul(const Pack& a, const Pack& b)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = a.v[l] * b.v[l];
        return r;
    }
    static Pack div(const Pack& a, const Pack& b)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = a.v[l] / b.v[l];
        return r;
    }
    static Pack neg(const Pack& a)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = -a.v[l];
        return r;
    }
    static Mask lanes(uint32_t bits) { return bits; }
    static Mask section(const LatticeLanes& lanes, int i) { return lanes.sectionLanes[i]; }
    static Mask both(Mask a, Mask b) { return a & b; }
    static Mask butNot(Mask a, Mask b) { return a & ~b; }
    static Pack select(Mask m, const Pack& ifClear, const Pack& ifSet)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = (m >> l & 1u) != 0 ? ifSet.v[l] : ifClear.v[l];
        return r;
    }
    static Pack addWhere(Mask m, const Pack& kept, const Pack& a, const Pack& b)
    {
        Pack r;
        for (int l = 0; l < kLanes; ++l)
            r.v[l] = (m >> l & 1u) != 0 ? a.v[l] + b.v[l] : kept.v[l];
        return r;
    }
    static void storeWhere(double* p, Mask m, const Pack&, const Pack& v)
    {
        for (int l = 0; l < kLanes; ++l)
            if ((m >> l & 1u) != 0)
                p[l] = v.v[l];
    }
};

// Below this many active lanes the lanes run one after the other, each as WarpedLatticeFilter::process
// runs: interleaving pays for all eight lanes' operations and only wins when most of them are in use.
constexpr int kInterleavedFrom = 6;

// One sample of one lane: the operations of WarpedLatticeFilter::process on the lane's column.
void processLane(LatticeLanes& lanes, int l, bool due, double x, double lambda, double morph, double& y)
{
    const int n = lanes.order[l];
    if (due)
    {
        const double gain = lanes.gain[l];
        for (int i = 0; i < n; ++i)
            lanes.k[i][l] = (lanes.setA[i][l] + (lanes.setB[i][l] - lanes.setA[i][l]) * morph) * gain;
        lanes.warpTerm[l] = 1.0 - lambda * lambda;
        double d = 1.0;
        double e = -lambda;
        double sum = 0.0;
        for (int i = 0; i < n; ++i)
        {
            const double v = e - lanes.k[i][l] * d;
            const double h = lanes.k[i][l] * e;
            sum = sum + h;
            d = d - h;
            e = -lambda * v;
        }
        lanes.loopTerm[l] = 1.0 / (1.0 - sum);
    }

    const bool second = (lanes.readSecond >> l & 1u) != 0;
    double (*s)[LatticeLanes::kLanes] = second ? lanes.state2 : lanes.state1;
    double (*t)[LatticeLanes::kLanes] = second ? lanes.state1 : lanes.state2;
    const double p = lanes.warpTerm[l];
    double a = p * s[0][l];
    double m = lanes.k[0][l] * a;
    double b = -lanes.k[0][l] * a;
    double z = 0.0;
    for (int i = 1; i < n; ++i)
    {
        const double aNew = p * s[i][l] + lambda * (lanes.k[i - 1][l] * z - a);
        m = m + lanes.k[i][l] * aNew;
        z = b;
        b = b - lanes.k[i][l] * aNew;
        a = aNew;
    }
    const double out = lanes.loopTerm[l] * (x + m);

    double u = lambda * s[0][l] + out;
    double w = out;
    for (int i = 1; i < n; ++i)
    {
        const double v = s[i - 1][l] - lambda * u;
        const double r = lambda * s[i][l] + v;
        t[i][l] = r - lanes.k[i - 1][l] * w;
        w = w - lanes.k[i - 1][l] * v;
        u = t[i][l];
    }
    lanes.lastOutput[l] = out;
    y = out;
}

void output(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda, const double* morph,
            double* y)
{
    if (std::popcount(step.active) >= kInterleavedFrom)
    {
        latticeOutput<ScalarOps>(lanes, step, x, lambda, morph, y);
        return;
    }
    for (int l = 0; l < kLanes; ++l)
        if ((step.active >> l & 1u) != 0)
            processLane(lanes, l, (step.due >> l & 1u) != 0, x[l], lambda[l], morph[l], y[l]);
}

// One lane at a time, the output part already made the states. The bank prepares nothing ahead here.
void states(LatticeLanes& lanes, const LatticeStep& step, const double* lambda, const double*, const double*)
{
    if (std::popcount(step.active) >= kInterleavedFrom)
        latticeStates<ScalarOps>(lanes, step, lambda, nullptr, nullptr);
}
} // namespace

const LatticeKernel kLatticeKernelScalar{output, states};
