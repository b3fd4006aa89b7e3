// Reading the standalone program's command line.
#include "jack/Options.h"

#include "params/Parameters.h"

#include <cstdlib>
#include <sstream>

namespace
{
// "a,b" as two port names; empty names are refused.
bool splitPorts(const std::string& value, size_t most, std::vector<std::string>& ports, std::string& error)
{
    std::vector<std::string> parts;
    std::stringstream stream(value);
    std::string part;
    while (std::getline(stream, part, ','))
        parts.push_back(part);
    if (!value.empty() && value.back() == ',')
        parts.emplace_back();
    if (parts.empty() || parts.size() > most)
    {
        error = "expected at most " + std::to_string(most) + " port names separated by a comma: " + value;
        return false;
    }
    for (const std::string& p : parts)
    {
        if (p.empty())
        {
            error = "empty port name in: " + value;
            return false;
        }
    }
    ports = parts;
    return true;
}
} // namespace

bool parseOptions(const std::vector<std::string>& arguments, StandaloneOptions& options, std::string& error)
{
    for (size_t i = 0; i < arguments.size(); i++)
    {
        const std::string& argument = arguments[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= arguments.size())
            {
                error = argument + " needs a value";
                return false;
            }
            out = arguments[++i];
            return true;
        };
        std::string v;
        if (argument == "--help" || argument == "-h")
        {
            options.help = true;
        }
        else if (argument == "--no-gui")
        {
            options.gui = false;
        }
        else if (argument == "--name")
        {
            if (!value(v))
                return false;
            if (v.empty())
            {
                error = "--name needs a client name";
                return false;
            }
            options.clientName = v;
        }
        else if (argument == "--connect-midi")
        {
            if (!value(v))
                return false;
            if (v.empty())
            {
                error = "--connect-midi needs a port name";
                return false;
            }
            options.midiSources.push_back(v);
        }
        else if (argument == "--connect-in")
        {
            if (!value(v) || !splitPorts(v, 2, options.audioSources, error))
                return false;
        }
        else if (argument == "--connect-out")
        {
            if (!value(v) || !splitPorts(v, 2, options.audioDestinations, error))
                return false;
        }
        else if (argument == "--bank")
        {
            if (!value(v))
                return false;
            if (v.empty())
            {
                error = "--bank needs a file name";
                return false;
            }
            options.bankPath = v;
        }
        else if (argument == "--program")
        {
            if (!value(v))
                return false;
            char* end = nullptr;
            const long number = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || end == nullptr || *end != '\0' || number < 0 || number >= kNumPrograms)
            {
                error = "--program takes a number from 0 to " + std::to_string(kNumPrograms - 1) + ": " + v;
                return false;
            }
            options.program = static_cast<int>(number);
        }
        else
        {
            error = "unknown option: " + argument;
            return false;
        }
    }
    return true;
}

std::string usageText()
{
    return "usage: zentharode-jack [options]\n"
           "The Zentharode synthesizer as a JACK client, with its editor in a window of its own.\n"
           "\n"
           "  --name NAME            JACK client name (zentharode)\n"
           "  --connect-midi PORT    connect a MIDI output port to ours (repeatable; auto: every physical one)\n"
           "  --connect-in L[,R]     connect audio output ports to our inputs in_l, in_r (auto: physical)\n"
           "  --connect-out L[,R]    connect our outputs out_l, out_r to audio input ports (auto: physical)\n"
           "  --bank FILE            load the program bank from FILE when it exists, write it back at the end\n"
           "  --program N            start with program N, 0..31\n"
           "  --no-gui               no editor window\n"
           "  --help                 this text\n"
           "\n"
           "MIDI program changes 0..31 select programs. Ctrl-C, SIGTERM or closing the window ends the program.\n";
}
