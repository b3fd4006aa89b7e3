// Linear attack-decay-sustain-release envelope, one float level per sample.
#pragma once

struct AdsrSettings
{
    float attack;  // seconds
    float decay;   // seconds
    float sustain; // level held in the sustain stage, normally 0..1
    float release; // seconds
};

class AdsrEnvelope
{
public:
    enum Stage : int
    {
        kAttack = 0,
        kDecay = 1,
        kSustain = 2,
        kRelease = 3,
        kIdle = 4,
    };

    explicit AdsrEnvelope(int sampleRate);

    float tick()
    {
        switch (fStage)
        {
        case kAttack:
            fLevel += fAttackStep;
            if (fLevel >= 1.0f)
            {
                fLevel = 1.0f;
                fStage = kDecay;
            }
            break;
        case kDecay:
            fLevel -= fDecayStep;
            if (fLevel <= fSustainLevel)
            {
                fLevel = fSustainLevel;
                fStage = kSustain;
            }
            break;
        case kRelease:
            fLevel -= fReleaseStep;
            if (fLevel <= 0.0f)
            {
                fLevel = 0.0f;
                fStage = kIdle;
            }
            break;
        default: // sustain and idle hold their level
            break;
        }
        return fLevel;
    }

    // Always restarts from 0, also while still sounding.
    void trigger()
    {
        fStage = kAttack;
        fLevel = 0.0f;
    }

    void release() { fStage = kRelease; }

    void setSettings(const AdsrSettings& settings);

    // Moves the level to the new sustain at once, whatever the stage; the stage itself stays.
    void setSustain(float sustain);

    AdsrSettings getSettings() const { return {fAttackTime, fDecayTime, fSustainLevel, fReleaseTime}; }
    int getStage() const { return fStage; }
    float getLevel() const { return fLevel; }

    // Only stored: the steps follow at the next setSettings or setSustain.
    void setSampleRate(float sampleRate) { fSampleRate = sampleRate; }
    float getSampleRate() const { return fSampleRate; }

private:
    friend struct AdsrLanes; // runs eight envelopes side by side

    void computeSteps();

    float fSampleRate;
    int fStage = kIdle;
    float fAttackTime = 0.0f;
    float fDecayTime = 0.0f;
    float fSustainLevel = 0.0f;
    float fReleaseTime = 0.0f;
    float fAttackStep = 0.0f;
    float fDecayStep = 0.0f;
    float fReleaseStep = 0.0f;
    float fLevel = 0.0f;
};
