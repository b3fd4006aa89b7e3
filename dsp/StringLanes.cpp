// Moving a string delay line's tick state into its lane and back.
#include "dsp/StringLanes.h"

void StringLanes::load(int lane, StringDelayLine& line)
{
    buffer[lane] = line.fDelayBuffer.data();
    excitation[lane] = line.fExcitation.data();
    size[lane] = line.fSize;
    writeIndex[lane] = line.fWriteIndex;
    readIndex[lane] = line.fReadIndex;
    delayCount[lane] = line.fDelayCount;
    fraction[lane] = line.fFraction;
    position[lane] = line.fPosition;
    w0[lane] = line.fW0;
    w1[lane] = line.fW1;
    w2[lane] = line.fW2;
    w3[lane] = line.fW3;
    burstPosition[lane] = line.fBurstPosition;
    burstRemaining[lane] = line.fBurstRemaining;
    lastOutput[lane] = line.fLastOutput;
}

void StringLanes::store(int lane, StringDelayLine& line) const
{
    line.fWriteIndex = writeIndex[lane];
    line.fReadIndex = readIndex[lane];
    line.fDelayCount = delayCount[lane];
    line.fFraction = fraction[lane];
    line.fPosition = position[lane];
    line.fW0 = w0[lane];
    line.fW1 = w1[lane];
    line.fW2 = w2[lane];
    line.fW3 = w3[lane];
    line.fBurstPosition = burstPosition[lane];
    line.fBurstRemaining = burstRemaining[lane];
    line.fLastOutput = lastOutput[lane];
}
