// Lattice bank kernel in portable C++: the path for any CPU, eight lanes interleaved in plain doubles.
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
} // namespace

void latticeKernelScalar(LatticeLanes& lanes, const LatticeStep& step, const double* x, const double* lambda,
                         const double* morph, double* y)
{
    latticeStep<ScalarOps>(lanes, step, x, lambda, morph, y);
}
