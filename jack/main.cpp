// zentharode-jack: the synthesizer as a standalone JACK client with its editor in a window of its own.
#include "jack/BankFile.h"
#include "jack/EditorWindow.h"
#include "jack/JackClient.h"
#include "jack/Options.h"
#include "jack/StandaloneSynth.h"

#include "editor/SynthEditor.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <thread>

namespace
{
constexpr auto kIdlePeriod = std::chrono::milliseconds(15); // the editor's idle rate, about 60 Hz

volatile std::sig_atomic_t gStopSignal = 0;

void stop(int signal)
{
    gStopSignal = signal;
}

void installSignalHandlers()
{
    struct sigaction action{};
    action.sa_handler = stop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void say(const std::string& text)
{
    std::cerr << "zentharode-jack: " << text << std::endl;
}

std::string title(const StandaloneSynth& synth, const std::string& clientName)
{
    char name[kProgramNameSize] = {};
    const int32_t program = synth.currentProgram();
    synth.programName(program, name);
    return "Zentharode (" + clientName + ") - " + std::to_string(program) + ": " + name;
}

// Loads the bank file when it exists; false (after saying why) when it exists but cannot be read.
bool loadBank(StandaloneSynth& synth, const StandaloneOptions& options, int32_t& program)
{
    program = options.program >= 0 ? options.program : 0;
    if (options.bankPath.empty())
        return true;
    std::error_code code;
    if (!std::filesystem::exists(options.bankPath, code))
    {
        say("bank file " + options.bankPath + " does not exist yet: it is written when the program ends");
        return true;
    }
    BankFile contents;
    BankFileKind kind{};
    std::string error;
    if (!readBankFile(options.bankPath, contents, kind, error))
    {
        say(error);
        return false;
    }
    if (kind == BankFileKind::program)
    {
        // One program: it goes into the program the run starts with.
        SynthProgram records[kNumPrograms];
        synth.copyBank(records);
        records[program] = contents.records[0];
        synth.replaceBank(records);
        return true;
    }
    synth.replaceBank(contents.records);
    if (options.program < 0)
        program = contents.program;
    return true;
}

bool saveBank(const StandaloneSynth& synth, const std::string& path)
{
    BankFile contents;
    synth.copyBank(contents.records);
    contents.program = synth.currentProgram();
    std::string error;
    if (!writeBankFile(path, contents, error))
    {
        say("cannot save the bank: " + error);
        return false;
    }
    say("bank saved to " + path);
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    StandaloneOptions options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
    {
        say(error + " (see --help)");
        return 2;
    }
    if (options.help)
    {
        std::cout << usageText();
        return 0;
    }

    StandaloneSynth synth;
    int32_t program = 0;
    if (!loadBank(synth, options, program))
        return 2;
    synth.selectProgram(program);

    installSignalHandlers();
    std::unique_ptr<JackClient> client = JackClient::open(options.clientName, synth, error);
    if (client == nullptr)
    {
        say(error);
        return 1;
    }
    synth.setSampleRate(client->sampleRate());

    std::unique_ptr<EditorWindow> window;
    if (options.gui)
    {
        window = EditorWindow::open(synth, title(synth, client->name()), error);
        if (window == nullptr)
            say("no editor window: " + error + "; playing on without it (--no-gui says so quietly)");
        else
            synth.setEditor(&window->editor());
    }

    if (!client->activate(error))
    {
        say(error);
        return 1;
    }
    for (const std::string& failure : client->connect(options.midiSources, options.audioSources, options.audioDestinations))
        say(failure);
    say("running as JACK client \"" + client->name() + "\" at " + std::to_string(static_cast<int>(client->sampleRate()))
        + " Hz with program " + std::to_string(synth.currentProgram()) + "; Ctrl-C ends it");

    int status = 0;
    while (gStopSignal == 0)
    {
        if (client->serverGone())
        {
            say("the JACK server stopped: " + client->goneReason());
            status = 1;
            break;
        }
        const int32_t requested = synth.takeRequestedProgram();
        if (requested >= 0 && requested != synth.currentProgram())
        {
            synth.selectProgram(requested);
            if (window != nullptr)
                window->setTitle(title(synth, client->name()));
        }
        if (window != nullptr && !window->idle())
            break;
        std::this_thread::sleep_for(kIdlePeriod);
    }
    if (gStopSignal != 0)
        say(gStopSignal == SIGINT ? "interrupted, stopping" : "terminated, stopping");

    // The audio thread stops before the window it reports to goes.
    client->deactivate();
    synth.setEditor(nullptr);
    if (window != nullptr)
    {
        window.reset();
        EditorWindow::releaseSharedCaches();
    }
    client.reset();
    if (!options.bankPath.empty() && !saveBank(synth, options.bankPath))
        status = 1;
    return status;
}
