// The standalone program's command line.
#pragma once

#include <string>
#include <vector>

struct StandaloneOptions
{
    std::string clientName = "zentharode";
    bool gui = true;
    // Ports to connect to ours; "auto" stands for the server's physical ports.
    std::vector<std::string> midiSources;
    std::vector<std::string> audioSources;      // in_l, in_r
    std::vector<std::string> audioDestinations; // out_l, out_r
    std::string bankPath; // loaded at start when it exists, written back at the end
    int program = -1;     // -1: the bank file's program, else program 0
    bool help = false;
};

// False with the reason in error for anything it cannot take.
bool parseOptions(const std::vector<std::string>& arguments, StandaloneOptions& options, std::string& error);

// The text --help prints.
std::string usageText();
