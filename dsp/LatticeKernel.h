// The sample step of the lattice bank, written once over an eight-lane vector type V.
//
// Each lane performs exactly the operations of WarpedLatticeFilter::process, in the same order and
// never fused, so it gives the same bits. Where a lane has fewer sections than the longest active lane,
// or is not due for an update, its results are selected away rather than added as zeros: -0 + +0 is +0,
// and a lane that has run away to infinity or NaN must keep its own values too.
//
// A sample on which every active lane has the same order and reads the same state array (as the voices'
// filters have while they play together) runs the uniform form: no per-section masks, no per-lane choice
// of state array, and, when every lane is active or due, no masks at all.
//
// Only the kernel files include this header, each with its own V from an anonymous namespace, so every
// instantiation is local to a file compiled for its own instruction set.
//
// V supplies, for eight lanes: Pack (doubles) and Mask (lanes); load, store, broadcast; add, sub, mul,
// div, neg; lanes (mask from bits), section (lanes whose order exceeds a section), both (a and b),
// butNot (a and not b); select (m ? ifSet : ifClear), addWhere (m ? a + b : kept), storeWhere (writes
// the lanes of m; old is what the memory holds, for paths without masked stores); kFuseUpdate (whether
// the coefficient update shares its pass over the sections with the output chain); kOwnLanes (the lanes
// it holds: all eight, or half of them for paths that run the bank in halves).
#pragma once

#include <type_traits>

#include "dsp/LatticeLanes.h"

template <class V, bool kUpdate, bool kUniform>
struct LatticeForward
{
    using Pack = typename V::Pack;
    using Mask = typename V::Mask;

    // Coefficient update (for the due lanes) and the state part of the output, in one pass over the
    // sections where V fuses them: the update's loop-gain chain and the output chain do not depend on
    // each other, so the CPU runs them side by side. Returns M; updates the warp and loop terms of the
    // due lanes.
    static Pack run(LatticeLanes& lanes, const LatticeStep& step, Pack lambda, const double* morphIn,
                    Pack& warp, Pack& loop)
    {
        const Pack zero = V::broadcast(0.0);
        const Pack one = V::broadcast(1.0);
        const Mask second = V::lanes(lanes.readSecond);
        // the uniform form reads one array for all lanes
        const double (*read)[LatticeLanes::kLanes] = (lanes.readSecond & step.active) != 0 ? lanes.state2
                                                                                          : lanes.state1;
        const auto state = [&](int i) -> Pack {
            if constexpr (kUniform)
                return V::load(read[i]);
            else
                return V::select(second, V::load(lanes.state1[i]), V::load(lanes.state2[i]));
        };
        const bool allDue = (step.due & V::kOwnLanes) == V::kOwnLanes;
        Mask due{};
        Pack morph = zero;
        Pack gain = zero;
        const Pack negLambda = V::neg(lambda);
        // loop-gain chain: D, E, S of the update
        Pack d = one;
        Pack e = negLambda;
        Pack sum = zero;
        if constexpr (kUpdate)
        {
            due = V::lanes(step.due);
            morph = V::load(morphIn);
            gain = V::load(lanes.gain);
            warp = V::select(due, warp, V::sub(one, V::mul(lambda, lambda)));
            V::store(lanes.warpTerm, warp);
        }

        // The coefficient of section i in use this sample; for due lanes also one step of the S chain.
        auto coefficient = [&](int i) -> Pack {
            if constexpr (kUpdate)
            {
                const Pack a = V::load(lanes.setA[i]);
                const Pack b = V::load(lanes.setB[i]);
                const Pack fresh = V::mul(V::add(a, V::mul(V::sub(b, a), morph)), gain);
                Pack k = fresh;
                if (kUniform && allDue)
                    V::store(lanes.k[i], fresh);
                else
                {
                    const Pack old = V::load(lanes.k[i]);
                    k = kUniform ? V::select(due, old, fresh) : V::select(V::both(due, V::section(lanes, i)), old, fresh);
                    V::store(lanes.k[i], k);
                }
                // Lanes past their order or not due run the chain on values nobody reads; S is selected.
                const Pack x = V::sub(e, V::mul(fresh, d));
                const Pack h = V::mul(fresh, e);
                if constexpr (kUniform)
                    sum = V::add(sum, h);
                else
                    sum = V::addWhere(V::section(lanes, i), sum, sum, h);
                d = V::sub(d, h);
                e = V::mul(negLambda, x);
                return k;
            }
            else
                return V::load(lanes.k[i]);
        };

        // With few registers (AVX2's sixteen) the fused pass would spill values of both chains; the
        // update then runs on its own first.
        if constexpr (kUpdate && !V::kFuseUpdate)
        {
            coefficient(0); // as in the fused pass: section 0 even for lanes not yet given an order
            for (int i = 1; i < step.sections; ++i)
                coefficient(i);
        }
        auto inUse = [&](int i) -> Pack {
            if constexpr (kUpdate && V::kFuseUpdate)
                return coefficient(i);
            else
                return V::load(lanes.k[i]);
        };

        const Pack s0 = state(0);
        Pack kPrev = inUse(0);
        Pack a = V::mul(warp, s0);
        Pack m = V::mul(kPrev, a);
        Pack b = V::mul(V::neg(kPrev), a);
        Pack z = zero;
        for (int i = 1; i < step.sections; ++i)
        {
            const Pack k = inUse(i);
            const Pack s = state(i);
            const Pack aNew = V::add(V::mul(warp, s), V::mul(lambda, V::sub(V::mul(kPrev, z), a)));
            const Pack ka = V::mul(k, aNew);
            // a, b and z of lanes past their order are never read again; only M must keep its value
            if constexpr (kUniform)
                m = V::add(m, ka);
            else
                m = V::addWhere(V::section(lanes, i), m, m, ka);
            z = b;
            b = V::sub(b, ka);
            a = aNew;
            kPrev = k;
        }

        if constexpr (kUpdate)
        {
            loop = V::select(due, loop, V::div(one, V::sub(one, sum)));
            V::store(lanes.loopTerm, loop);
        }
        return m;
    }
};

// The next sample's coefficient update for the lanes of V due then (uniform form), on a pass of its own:
// k takes the next sample's coefficients and kBefore keeps the present ones; the next loop terms go to
// aheadLoopTerm.
template <class V>
struct LatticeUpdateAhead
{
    using Pack = typename V::Pack;
    using Mask = typename V::Mask;

    static void run(LatticeLanes& lanes, const LatticeStep& step, const double* nextLambdaIn, const double* nextMorphIn)
    {
        const Pack zero = V::broadcast(0.0);
        const Pack one = V::broadcast(1.0);
        const Mask due = V::lanes(step.dueNext);
        const bool allDue = (step.dueNext & V::kOwnLanes) == V::kOwnLanes;
        const Pack negLambda = V::neg(V::load(nextLambdaIn));
        const Pack morph = V::load(nextMorphIn);
        const Pack gain = V::load(lanes.gain);
        Pack d = one;
        Pack e = negLambda;
        Pack sum = zero;
        for (int i = 0; i < step.sections; ++i)
        {
            const Pack old = V::load(lanes.k[i]);
            const Pack a = V::load(lanes.setA[i]);
            const Pack b = V::load(lanes.setB[i]);
            const Pack fresh = V::mul(V::add(a, V::mul(V::sub(b, a), morph)), gain);
            V::store(lanes.kBefore[i], old);
            V::store(lanes.k[i], allDue ? fresh : V::select(due, old, fresh));
            const Pack x = V::sub(e, V::mul(fresh, d));
            const Pack h = V::mul(fresh, e);
            sum = V::add(sum, h);
            d = V::sub(d, h);
            e = V::mul(negLambda, x);
        }
        V::store(lanes.aheadLoopTerm, V::div(one, V::sub(one, sum)));
    }
};

// The state pass of this sample (uniform form), and with it the next sample's state part of the output
// for the active lanes: the next forward chain runs one section behind this sample's state chain, which
// hands it each new state as it is made, so the two chains overlap. With kUpdated the next sample's
// update was just made by LatticeUpdateAhead; otherwise it runs here too, as a third chain.
template <class V, bool kUpdated>
struct LatticeAhead
{
    using Pack = typename V::Pack;
    using Mask = typename V::Mask;

    static void run(LatticeLanes& lanes, const LatticeStep& step, Pack lambda, Pack y, const double* nextLambdaIn,
                    const double* nextMorphIn)
    {
        const Pack zero = V::broadcast(0.0);
        const Pack one = V::broadcast(1.0);
        const Mask active = V::lanes(step.active);
        const bool allActive = (step.active & V::kOwnLanes) == V::kOwnLanes;
        const bool readsSecond = (lanes.readSecond & step.active) != 0;
        const double (*read)[LatticeLanes::kLanes] = readsSecond ? lanes.state2 : lanes.state1;
        double (*write)[LatticeLanes::kLanes] = readsSecond ? lanes.state1 : lanes.state2;

        // The next sample's update, for the lanes due then.
        const Mask due = V::lanes(step.dueNext);
        const bool anyDue = (step.dueNext & V::kOwnLanes) != 0;
        const bool allDue = (step.dueNext & V::kOwnLanes) == V::kOwnLanes;
        const Pack nextLambda = V::load(nextLambdaIn);
        const Pack negLambda = V::neg(nextLambda);
        const Pack morph = V::load(nextMorphIn);
        const Pack gain = V::load(lanes.gain);
        Pack warp = V::load(lanes.warpTerm);
        if (anyDue)
            warp = V::select(due, warp, V::sub(one, V::mul(nextLambda, nextLambda)));
        Pack d = one;
        Pack e = negLambda;
        Pack sum = zero;
        // k of section i for the next sample; the present one is returned in old.
        const auto update = [&](int i, Pack& old) -> Pack {
            if constexpr (kUpdated)
            {
                const Pack next = V::load(lanes.k[i]);
                old = anyDue ? V::select(due, next, V::load(lanes.kBefore[i])) : next;
                return next;
            }
            else
            {
                old = V::load(lanes.k[i]);
                if (!anyDue)
                    return old;
                const Pack a = V::load(lanes.setA[i]);
                const Pack b = V::load(lanes.setB[i]);
                const Pack fresh = V::mul(V::add(a, V::mul(V::sub(b, a), morph)), gain);
                const Pack k = allDue ? fresh : V::select(due, old, fresh);
                V::store(lanes.kBefore[i], old);
                V::store(lanes.k[i], k);
                const Pack x = V::sub(e, V::mul(fresh, d));
                const Pack h = V::mul(fresh, e);
                sum = V::add(sum, h);
                d = V::sub(d, h);
                e = V::mul(negLambda, x);
                return k;
            }
        };

        Pack kOldPrev;
        Pack kNextPrev = update(0, kOldPrev);
        // this sample's state chain
        Pack sPrev = V::load(read[0]);
        Pack u = V::add(V::mul(lambda, sPrev), y);
        Pack w = y;
        // the next sample's forward chain: its state 0 is the one never written
        Pack a = V::mul(warp, V::load(write[0]));
        Pack m = V::mul(kNextPrev, a);
        Pack b = V::mul(V::neg(kNextPrev), a);
        Pack z = zero;
        for (int i = 1; i < step.sections; ++i)
        {
            const Pack s = V::load(read[i]);
            const Pack v = V::sub(sPrev, V::mul(lambda, u));
            const Pack r = V::add(V::mul(lambda, s), v);
            const Pack t = V::sub(r, V::mul(kOldPrev, w));
            if (allActive)
                V::store(write[i], t);
            else
                V::storeWhere(write[i], active, V::load(write[i]), t);
            w = V::sub(w, V::mul(kOldPrev, v));
            u = t;
            sPrev = s;

            Pack kOld;
            const Pack k = update(i, kOld);
            const Pack aNew = V::add(V::mul(warp, t), V::mul(nextLambda, V::sub(V::mul(kNextPrev, z), a)));
            const Pack ka = V::mul(k, aNew);
            m = V::add(m, ka);
            z = b;
            b = V::sub(b, ka);
            a = aNew;
            kNextPrev = k;
            kOldPrev = kOld;
        }

        Pack loop = V::load(lanes.loopTerm);
        if (anyDue)
            loop = V::select(due, loop, kUpdated ? V::load(lanes.aheadLoopTerm) : V::div(one, V::sub(one, sum)));
        V::store(lanes.aheadM, m);
        V::store(lanes.aheadWarpTerm, warp);
        V::store(lanes.aheadLoopTerm, loop);
    }
};

// NoUpdateAhead: a prepared sample makes the next one's update inside its state pass.
struct NoUpdateAhead
{
};

// The output part of one sample: the coefficient update of the due lanes and the forward pass (or what
// the previous sample prepared for this one), then y, written to yOut and lastOutput of the active lanes.
template <class V, bool kUniform>
void latticeOutputIn(LatticeLanes& lanes, const LatticeStep& step, const double* xIn, const double* lambdaIn,
                     const double* morphIn, double* yOut)
{
    using Pack = typename V::Pack;
    using Mask = typename V::Mask;

    const Pack lambda = V::load(lambdaIn);
    Pack warp = V::load(lanes.warpTerm);
    Pack loop = V::load(lanes.loopTerm);
    Pack m;
    if (kUniform && step.ahead)
    {
        // prepared on the previous sample: the due lanes' coefficients are in k already
        const Mask due = V::lanes(step.due);
        warp = V::select(due, warp, V::load(lanes.aheadWarpTerm));
        loop = V::select(due, loop, V::load(lanes.aheadLoopTerm));
        V::store(lanes.warpTerm, warp);
        V::store(lanes.loopTerm, loop);
        m = V::load(lanes.aheadM);
    }
    else
        m = (step.due & V::kOwnLanes) != 0 ? LatticeForward<V, true, kUniform>::run(lanes, step, lambda, morphIn, warp, loop)
                                           : LatticeForward<V, false, kUniform>::run(lanes, step, lambda, morphIn, warp, loop);
    const Pack y = V::mul(loop, V::add(V::load(xIn), m));
    const Mask active = V::lanes(step.active);
    V::storeWhere(lanes.lastOutput, active, V::load(lanes.lastOutput), y);
    V::storeWhere(yOut, active, V::load(yOut), y);
}

// The state part of the sample whose output was made: new states from y (the active lanes' last output),
// written into the array each lane does not read; state 0 is never written. On a uniform sample given
// the next warps and morphs it also prepares the next sample. UpdateAhead, if not NoUpdateAhead, has
// run(lanes, step, nextLambda, nextMorph) making the next sample's update on a pass of its own.
template <class V, bool kUniform, class UpdateAhead>
void latticeStatesIn(LatticeLanes& lanes, const LatticeStep& step, const double* lambdaIn, const double* nextLambdaIn,
                     const double* nextMorphIn)
{
    using Pack = typename V::Pack;
    using Mask = typename V::Mask;

    const Pack lambda = V::load(lambdaIn);
    const Pack y = V::load(lanes.lastOutput);
    if (kUniform && nextLambdaIn != nullptr)
    {
        if constexpr (std::is_same_v<UpdateAhead, NoUpdateAhead>)
            LatticeAhead<V, false>::run(lanes, step, lambda, y, nextLambdaIn, nextMorphIn);
        else
        {
            UpdateAhead::run(lanes, step, nextLambdaIn, nextMorphIn);
            LatticeAhead<V, true>::run(lanes, step, lambda, y, nextLambdaIn, nextMorphIn);
        }
        return;
    }

    const Mask active = V::lanes(step.active);
    const Mask second = V::lanes(lanes.readSecond);
    const Mask writeFirst = V::both(active, second);
    const Mask writeSecond = V::butNot(active, second);
    const bool allActive = (step.active & V::kOwnLanes) == V::kOwnLanes;
    const bool readsSecond = (lanes.readSecond & step.active) != 0;
    double (*read)[LatticeLanes::kLanes] = readsSecond ? lanes.state2 : lanes.state1;
    double (*write)[LatticeLanes::kLanes] = readsSecond ? lanes.state1 : lanes.state2;
    Pack sPrev = kUniform ? V::load(read[0]) : V::select(second, V::load(lanes.state1[0]), V::load(lanes.state2[0]));
    Pack u = V::add(V::mul(lambda, sPrev), y);
    Pack w = y;
    for (int i = 1; i < step.sections; ++i)
    {
        Pack s;
        Pack t;
        const Pack kPrev = V::load(lanes.k[i - 1]);
        if constexpr (kUniform)
        {
            s = V::load(read[i]);
            const Pack v = V::sub(sPrev, V::mul(lambda, u));
            const Pack r = V::add(V::mul(lambda, s), v);
            t = V::sub(r, V::mul(kPrev, w));
            if (allActive)
                V::store(write[i], t);
            else
                V::storeWhere(write[i], active, V::load(write[i]), t);
            w = V::sub(w, V::mul(kPrev, v));
        }
        else
        {
            const Pack one = V::load(lanes.state1[i]);
            const Pack two = V::load(lanes.state2[i]);
            s = V::select(second, one, two);
            const Pack v = V::sub(sPrev, V::mul(lambda, u));
            const Pack r = V::add(V::mul(lambda, s), v);
            t = V::sub(r, V::mul(kPrev, w));
            const Mask inOrder = V::section(lanes, i);
            V::storeWhere(lanes.state1[i], V::both(inOrder, writeFirst), one, t);
            V::storeWhere(lanes.state2[i], V::both(inOrder, writeSecond), two, t);
            w = V::sub(w, V::mul(kPrev, v));
        }
        u = t;
        sPrev = s;
    }
}

template <class V>
void latticeOutput(LatticeLanes& lanes, const LatticeStep& step, const double* xIn, const double* lambdaIn,
                   const double* morphIn, double* yOut)
{
    if (step.uniform)
        latticeOutputIn<V, true>(lanes, step, xIn, lambdaIn, morphIn, yOut);
    else
        latticeOutputIn<V, false>(lanes, step, xIn, lambdaIn, morphIn, yOut);
}

template <class V, class UpdateAhead = NoUpdateAhead>
void latticeStates(LatticeLanes& lanes, const LatticeStep& step, const double* lambdaIn, const double* nextLambdaIn,
                   const double* nextMorphIn)
{
    if (step.uniform)
        latticeStatesIn<V, true, UpdateAhead>(lanes, step, lambdaIn, nextLambdaIn, nextMorphIn);
    else
        latticeStatesIn<V, false, UpdateAhead>(lanes, step, lambdaIn, nullptr, nullptr);
}
