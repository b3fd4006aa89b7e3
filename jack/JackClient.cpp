// The JACK client: ports, the process callback (MIDI of the cycle first, then the cycle rendered, as the
// VST 2.x build takes a block's events), server shutdown and connections.
#include "jack/JackClient.h"

#include "jack/StandaloneSynth.h"

#include <jack/midiport.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace
{
// libjack prints its own complaints (no server socket, ...) to stderr; the program says it once, plainly.
std::string gLastJackMessage;

void keepJackMessage(const char* message)
{
    gLastJackMessage = message != nullptr ? message : "";
}

constexpr const char* kPortNames[] = {"in_l", "in_r", "out_l", "out_r"};
} // namespace

std::unique_ptr<JackClient> JackClient::open(const std::string& name, StandaloneSynth& synth, std::string& error)
{
    jack_set_error_function(keepJackMessage);
    jack_set_info_function(keepJackMessage);
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    if (client == nullptr)
    {
        if ((status & JackServerFailed) != 0)
            error = "no JACK server is running (start one, for example with jackd or qjackctl; PipeWire's JACK "
                    "works too), or JACK_DEFAULT_SERVER names one that does not run";
        else if ((status & JackNameNotUnique) != 0)
            error = "the JACK client name \"" + name + "\" is taken";
        else
            error = "the JACK server refused the client (status 0x" + std::to_string(static_cast<unsigned>(status))
                    + (gLastJackMessage.empty() ? "" : ": " + gLastJackMessage) + ")";
        return nullptr;
    }
    std::unique_ptr<JackClient> self(new JackClient(client, synth));
    self->fMidiIn = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    for (int c = 0; c < 2; c++)
    {
        self->fInputs[c] = jack_port_register(client, kPortNames[c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        self->fOutputs[c] =
            jack_port_register(client, kPortNames[2 + c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput | JackPortIsTerminal, 0);
    }
    if (self->fMidiIn == nullptr || self->fInputs[0] == nullptr || self->fInputs[1] == nullptr
        || self->fOutputs[0] == nullptr || self->fOutputs[1] == nullptr)
    {
        error = "the JACK server refused our ports";
        return nullptr;
    }
    jack_set_process_callback(client, process, self.get());
    jack_on_info_shutdown(client, shutdown, self.get());
    return self;
}

JackClient::JackClient(jack_client_t* client, StandaloneSynth& synth) : fClient(client), fSynth(synth)
{
}

JackClient::~JackClient()
{
    deactivate();
    jack_client_close(fClient);
}

std::string JackClient::name() const
{
    return jack_get_client_name(fClient);
}

float JackClient::sampleRate() const
{
    return static_cast<float>(jack_get_sample_rate(fClient));
}

bool JackClient::activate(std::string& error)
{
    if (jack_activate(fClient) != 0)
    {
        error = "the JACK server did not start the client";
        return false;
    }
    fActive = true;
    return true;
}

void JackClient::deactivate()
{
    // After a shutdown the server is gone: nothing to ask of it.
    if (fActive && !fGone.load())
        jack_deactivate(fClient);
    fActive = false;
}

int JackClient::process(jack_nframes_t frames, void* arg)
{
    auto* self = static_cast<JackClient*>(arg);
    if (frames > static_cast<jack_nframes_t>(std::numeric_limits<int32_t>::max()))
        return 0;
    void* midi = jack_port_get_buffer(self->fMidiIn, frames);
    const uint32_t count = jack_midi_get_event_count(midi);
    for (uint32_t i = 0; i < count; i++)
    {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, midi, i) == 0)
            self->fSynth.midiEvent(static_cast<int32_t>(event.time), event.buffer, event.size);
    }
    const float* inputs[2];
    float* outputs[2];
    for (int c = 0; c < 2; c++)
    {
        inputs[c] = static_cast<const float*>(jack_port_get_buffer(self->fInputs[c], frames));
        outputs[c] = static_cast<float*>(jack_port_get_buffer(self->fOutputs[c], frames));
    }
    self->fSynth.render(inputs, outputs, static_cast<int32_t>(frames));
    return 0;
}

void JackClient::shutdown(jack_status_t, const char* reason, void* arg)
{
    // On a thread of libjack's: only the flag and a copy of the reason.
    auto* self = static_cast<JackClient*>(arg);
    std::snprintf(self->fGoneReason, sizeof self->fGoneReason, "%s", reason != nullptr ? reason : "");
    self->fGone.store(true);
}

std::string JackClient::goneReason() const
{
    return fGoneReason;
}

std::string JackClient::portName(jack_port_t* port) const
{
    return jack_port_name(port);
}

std::vector<std::string> JackClient::physicalPorts(const char* type, unsigned long flags) const
{
    std::vector<std::string> names;
    const char** ports = jack_get_ports(fClient, nullptr, type, JackPortIsPhysical | flags);
    if (ports == nullptr)
        return names;
    for (const char** p = ports; *p != nullptr; p++)
        names.emplace_back(*p);
    jack_free(ports);
    return names;
}

void JackClient::link(const std::string& from, const std::string& to, std::vector<std::string>& failures)
{
    const int result = jack_connect(fClient, from.c_str(), to.c_str());
    if (result != 0 && result != EEXIST)
        failures.push_back("cannot connect " + from + " to " + to);
}

std::vector<std::string> JackClient::connect(const std::vector<std::string>& midiSources,
                                             const std::vector<std::string>& audioSources,
                                             const std::vector<std::string>& audioDestinations)
{
    std::vector<std::string> failures;
    for (const std::string& source : midiSources)
    {
        if (source == "auto")
        {
            const std::vector<std::string> physical = physicalPorts(JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
            if (physical.empty())
                failures.push_back("the server has no physical MIDI input to connect");
            for (const std::string& port : physical)
                link(port, portName(fMidiIn), failures);
        }
        else
        {
            link(source, portName(fMidiIn), failures);
        }
    }
    // One name serves both channels; "auto" takes the first two physical ports.
    auto pair = [&](const std::vector<std::string>& names, unsigned long physicalFlags) {
        std::vector<std::string> ports = names;
        if (names.size() == 1 && names[0] == "auto")
        {
            ports = physicalPorts(JACK_DEFAULT_AUDIO_TYPE, physicalFlags);
            if (ports.empty())
                failures.push_back("the server has no physical audio ports to connect");
            if (ports.size() > 2)
                ports.resize(2);
        }
        if (ports.size() == 1)
            ports.push_back(ports[0]);
        return ports;
    };
    const std::vector<std::string> sources = pair(audioSources, JackPortIsOutput);
    for (size_t c = 0; c < sources.size() && c < 2; c++)
        link(sources[c], portName(fInputs[c]), failures);
    const std::vector<std::string> destinations = pair(audioDestinations, JackPortIsInput);
    for (size_t c = 0; c < destinations.size() && c < 2; c++)
        link(portName(fOutputs[c]), destinations[c], failures);
    return failures;
}
