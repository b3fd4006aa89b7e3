// The player and recorder clients: the player counts the cycles it has played, the recorder files each
// cycle's audio under the player's count, so that both agree on frame numbers whatever ran before.
#include "PlayRecord.h"

#include "EventScheduler.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <thread>

namespace
{
struct Session
{
    jack_client_t* player = nullptr;
    jack_client_t* recorder = nullptr;
    jack_port_t* midiOut = nullptr;
    std::vector<jack_port_t*> inputs;

    std::vector<ScheduledEvent> events;
    size_t nextEvent = 0;
    uint32_t blockSize = 0;
    int64_t totalFrames = 0;
    std::vector<std::vector<float>> channels;

    std::atomic<bool> playing{false};
    // Cycles the player has played; the recorder runs after it in the same cycle.
    std::atomic<int64_t> playedCycles{0};
    int64_t recordedCycles = 0;
    std::atomic<bool> done{false};
    std::atomic<bool> broken{false}; // a cycle of another size, or a cycle the recorder missed

    ~Session()
    {
        // Deactivated first, so that neither callback runs while the other client goes.
        for (jack_client_t* client : {player, recorder})
            if (client != nullptr)
                jack_deactivate(client);
        for (jack_client_t* client : {player, recorder})
            if (client != nullptr)
                jack_client_close(client);
    }
};

int playCycle(jack_nframes_t frames, void* arg)
{
    auto* s = static_cast<Session*>(arg);
    void* buffer = jack_port_get_buffer(s->midiOut, frames);
    jack_midi_clear_buffer(buffer);
    if (!s->playing.load(std::memory_order_acquire))
        return 0;
    if (frames != s->blockSize)
        s->broken.store(true);
    const int64_t cycle = s->playedCycles.load(std::memory_order_relaxed);
    const int64_t start = cycle * static_cast<int64_t>(s->blockSize);
    const int64_t end = start + frames;
    while (s->nextEvent < s->events.size() && s->events[s->nextEvent].frame < end)
    {
        const ScheduledEvent& event = s->events[s->nextEvent++];
        const int64_t offset = event.frame < start ? 0 : event.frame - start;
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(offset), event.data.data(),
                              static_cast<size_t>(event.size));
    }
    s->playedCycles.store(cycle + 1, std::memory_order_release);
    return 0;
}

int recordCycle(jack_nframes_t frames, void* arg)
{
    auto* s = static_cast<Session*>(arg);
    const int64_t played = s->playedCycles.load(std::memory_order_acquire);
    if (played == s->recordedCycles || s->done.load())
        return 0; // the player has not started, or did not run in this cycle
    if (played != s->recordedCycles + 1 || frames != s->blockSize)
        s->broken.store(true);
    const int64_t start = (played - 1) * static_cast<int64_t>(s->blockSize);
    for (size_t c = 0; c < s->inputs.size(); c++)
    {
        const auto* in = static_cast<const float*>(jack_port_get_buffer(s->inputs[c], frames));
        for (jack_nframes_t i = 0; i < frames && start + i < s->totalFrames; i++)
            s->channels[c][static_cast<size_t>(start + i)] = in[i];
    }
    s->recordedCycles = played;
    if (start + frames >= s->totalFrames)
        s->done.store(true);
    return 0;
}

jack_client_t* openClient(const std::string& name, std::string& error)
{
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client == nullptr)
        error = (status & JackServerFailed) != 0 ? "no JACK server is running"
                                                  : "cannot open the JACK client " + name;
    return client;
}
} // namespace

bool playAndRecord(const MidiSequence& sequence, const PlayRecordOptions& options, Recording& recording,
                   std::string& error)
{
    if (options.recordSources.empty())
    {
        error = "nothing to record";
        return false;
    }
    auto s = std::make_unique<Session>();
    s->player = openClient(options.clientName + "-player", error);
    if (s->player == nullptr)
        return false;
    s->recorder = openClient(options.clientName + "-recorder", error);
    if (s->recorder == nullptr)
        return false;

    const double rate = jack_get_sample_rate(s->player);
    s->blockSize = jack_get_buffer_size(s->player);
    s->events = scheduleEvents(sequence, rate);
    s->totalFrames = static_cast<int64_t>(std::ceil((sequence.lengthSeconds + options.tailSeconds) * rate));
    s->channels.assign(options.recordSources.size(), std::vector<float>(static_cast<size_t>(s->totalFrames), 0.0f));

    s->midiOut = jack_port_register(s->player, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    for (size_t c = 0; c < options.recordSources.size(); c++)
        s->inputs.push_back(jack_port_register(s->recorder, ("in_" + std::to_string(c + 1)).c_str(),
                                               JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
    if (s->midiOut == nullptr || std::find(s->inputs.begin(), s->inputs.end(), static_cast<jack_port_t*>(nullptr)) != s->inputs.end())
    {
        error = "the JACK server refused the ports";
        return false;
    }
    jack_set_process_callback(s->player, playCycle, s.get());
    jack_set_process_callback(s->recorder, recordCycle, s.get());
    if (jack_activate(s->player) != 0 || jack_activate(s->recorder) != 0)
    {
        error = "the JACK server did not start the clients";
        return false;
    }
    if (!options.midiDestination.empty()
        && jack_connect(s->player, jack_port_name(s->midiOut), options.midiDestination.c_str()) != 0)
    {
        error = "cannot connect to " + options.midiDestination;
        return false;
    }
    for (size_t c = 0; c < options.recordSources.size(); c++)
    {
        if (jack_connect(s->recorder, options.recordSources[c].c_str(), jack_port_name(s->inputs[c])) != 0)
        {
            error = "cannot connect " + options.recordSources[c];
            return false;
        }
    }

    if (options.freewheel)
        jack_set_freewheel(s->player, 1);
    s->playing.store(true, std::memory_order_release);
    const auto deadline = std::chrono::steady_clock::now() + options.timeout;
    while (!s->done.load() && !s->broken.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (options.freewheel)
        jack_set_freewheel(s->player, 0);
    s->playing.store(false);

    if (s->broken.load())
    {
        error = "the cycles changed size or the recorder missed one";
        return false;
    }
    if (!s->done.load())
    {
        error = "the recording did not finish in time";
        return false;
    }
    recording.sampleRate = rate;
    recording.blockSize = s->blockSize;
    recording.channels = std::move(s->channels);
    return true;
}
