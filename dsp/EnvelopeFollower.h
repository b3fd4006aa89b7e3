// Peak follower: one-pole rise towards a louder input, exponential fall, never below a small floor.
#pragma once

#include <cmath>

class EnvelopeFollower
{
public:
    static constexpr float kFloor = 9.9999998e-14f;       // 1e-13 as stored; owners divide by the level
    static constexpr float kDefaultRelease = 0.99989998f; // 0.9999 as stored

    EnvelopeFollower() = default;

    void setAttack(float coefficient) { fAttackCoef = coefficient; }
    void setRelease(float coefficient) { fReleaseCoef = coefficient; }

    float process(float x)
    {
        const float m = std::fabs(x);
        if (m > fLevel)
            fLevel = m + (fLevel - m) * fAttackCoef; // coefficient 0 jumps to m at once
        else
            fLevel = fLevel * fReleaseCoef;
        if (fLevel < kFloor)
            fLevel = kFloor;
        return fLevel;
    }

    float getLevel() const { return fLevel; }

    // The floor applies again from the next process.
    void reset() { fLevel = 0.0f; }

private:
    friend struct FollowerLanes; // runs eight followers side by side

    float fLevel = 0.0f;
    float fAttackCoef = 0.0f;
    float fReleaseCoef = kDefaultRelease;
};
