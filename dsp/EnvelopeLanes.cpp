// Moving envelopes and followers into their lanes and back.
#include "dsp/EnvelopeLanes.h"

void AdsrLanes::load(int lane, const AdsrEnvelope& envelope)
{
    stage[lane] = envelope.fStage;
    level[lane] = envelope.fLevel;
    sustain[lane] = envelope.fSustainLevel;
    attackStep[lane] = envelope.fAttackStep;
    decayStep[lane] = envelope.fDecayStep;
    releaseStep[lane] = envelope.fReleaseStep;
}

void AdsrLanes::store(int lane, AdsrEnvelope& envelope) const
{
    envelope.fStage = stage[lane];
    envelope.fLevel = level[lane];
}

void FollowerLanes::load(int lane, const EnvelopeFollower& follower)
{
    level[lane] = follower.fLevel;
    attack[lane] = follower.fAttackCoef;
    release[lane] = follower.fReleaseCoef;
}

void FollowerLanes::store(int lane, EnvelopeFollower& follower) const
{
    follower.fLevel = level[lane];
}
