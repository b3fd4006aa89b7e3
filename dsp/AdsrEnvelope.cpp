// Step computation of the linear ADSR envelope.
#include "dsp/AdsrEnvelope.h"

AdsrEnvelope::AdsrEnvelope(int sampleRate)
    : fSampleRate(static_cast<float>(sampleRate))
{
}

void AdsrEnvelope::setSettings(const AdsrSettings& settings)
{
    fAttackTime = settings.attack;
    fDecayTime = settings.decay;
    fSustainLevel = settings.sustain;
    fReleaseTime = settings.release;
    computeSteps();
}

void AdsrEnvelope::setSustain(float sustain)
{
    fSustainLevel = sustain;
    fLevel = sustain;
    computeSteps();
}

void AdsrEnvelope::computeSteps()
{
    // The "+ 1" keeps a zero time finite: the segment then takes one sample. The release step is
    // scaled by the sustain level, so a release from the sustain level lasts exactly its time.
    fAttackStep = 1.0f / (fAttackTime * fSampleRate + 1.0f);
    fDecayStep = (1.0f - fSustainLevel) / (fDecayTime * fSampleRate + 1.0f);
    fReleaseStep = fSustainLevel / (fReleaseTime * fSampleRate + 1.0f);
}
