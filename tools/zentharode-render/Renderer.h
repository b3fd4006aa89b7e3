// The render loop: events of each block first, then the block, then its samples into the file.
#pragma once

#include "AudioWriter.h"
#include "EventScheduler.h"
#include "PluginHost.h"

#include <cstdint>
#include <functional>
#include <vector>

// Called after each block with the frames done so far and the total.
using RenderProgress = std::function<void(int64_t done, int64_t total)>;

// The number of frames to render: the song's length plus the tail, both rounded to samples.
int64_t renderLength(double songSeconds, double tailSeconds, double sampleRate);

// Plays `events` through `plugin` in blocks of its block size and writes the first `totalFrames`
// frames to `writer`. Every block has the full block size (the last one is cut in the file only).
void renderEvents(PluginInstance& plugin, std::vector<ScheduledEvent> events, int64_t totalFrames,
                  AudioWriter& writer, const RenderProgress& progress = {});
