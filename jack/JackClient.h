// The standalone program's JACK side: the client, its MIDI input and stereo ports, the process callback
// that feeds the synthesizer, and the connections asked for on the command line.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

class StandaloneSynth;

class JackClient
{
public:
    // Null with the reason in error; never starts a server of its own.
    static std::unique_ptr<JackClient> open(const std::string& name, StandaloneSynth& synth, std::string& error);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    std::string name() const;
    float sampleRate() const;
    bool activate(std::string& error);
    // Stops the process callback; the synthesizer is no longer called afterwards.
    void deactivate();
    // Each "auto" stands for the server's physical ports. Answers a message per connection that failed.
    std::vector<std::string> connect(const std::vector<std::string>& midiSources,
                                     const std::vector<std::string>& audioSources,
                                     const std::vector<std::string>& audioDestinations);
    // The server shut down or threw the client out, with its reason.
    bool serverGone() const { return fGone.load(); }
    std::string goneReason() const;

private:
    JackClient(jack_client_t* client, StandaloneSynth& synth);
    static int process(jack_nframes_t frames, void* self);
    static void shutdown(jack_status_t code, const char* reason, void* self);
    std::vector<std::string> physicalPorts(const char* type, unsigned long flags) const;
    std::string portName(jack_port_t* port) const;
    void link(const std::string& from, const std::string& to, std::vector<std::string>& failures);

    jack_client_t* fClient = nullptr;
    StandaloneSynth& fSynth;
    jack_port_t* fMidiIn = nullptr;
    jack_port_t* fInputs[2]{};
    jack_port_t* fOutputs[2]{};
    bool fActive = false;
    std::atomic<bool> fGone{false};
    char fGoneReason[256]{};
};
