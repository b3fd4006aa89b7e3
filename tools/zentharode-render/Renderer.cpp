// The render loop: events of each block first, then the block, then its samples into the file.
#include "Renderer.h"

#include <algorithm>

int64_t renderLength(double songSeconds, double tailSeconds, double sampleRate)
{
    return frameAtSeconds(songSeconds, sampleRate) + frameAtSeconds(tailSeconds, sampleRate);
}

void renderEvents(PluginInstance& plugin, std::vector<ScheduledEvent> events, int64_t totalFrames,
                  AudioWriter& writer, const RenderProgress& progress)
{
    const int blockSize = plugin.settings().blockSize;
    EventScheduler scheduler(std::move(events));
    VstEventList list;
    std::vector<const float*> outputs(static_cast<size_t>(plugin.outputCount()));

    for (int64_t blockStart = 0; blockStart < totalFrames; blockStart += blockSize) {
        const auto blockEvents = scheduler.eventsInBlock(blockStart, blockSize);
        if (!blockEvents.empty()) {
            list.fill(blockEvents, blockStart);
            plugin.processEvents(list.record());
        }
        plugin.processBlock(blockSize);

        for (size_t c = 0; c < outputs.size(); ++c)
            outputs[c] = plugin.output(static_cast<int>(c));
        const int keep = static_cast<int>(std::min<int64_t>(blockSize, totalFrames - blockStart));
        writer.write(outputs.data(), keep);
        if (progress)
            progress(blockStart + keep, totalFrames);
    }
}
