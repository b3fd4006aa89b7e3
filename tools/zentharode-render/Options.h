// Command-line options of zentharode-render.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

class OptionError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

constexpr int kMinProgram = 0;
constexpr int kMaxProgram = 31;
constexpr int kMinSampleRate = 8000;
constexpr int kMaxSampleRate = 384000;
constexpr int kMinBlockSize = 1;
constexpr int kMaxBlockSize = 65536;
constexpr double kMaxTailSeconds = 3600.0;

struct RenderOptions
{
    std::string midiPath;   // positional
    std::string outputPath; // default: the MIDI file's name with .wav, in the current folder
    std::string pluginPath; // default: chosen by main
    std::string demoDir;    // --demo: render the built-in phrase on the factory programs into this folder
    int program = 0;
    int sampleRate = 44100;
    int blockSize = 512;
    double tailSeconds = 3.0;
    bool help = false;
};

// Parses the arguments after the program name. Throws OptionError naming the bad option.
RenderOptions parseOptions(const std::vector<std::string>& args);

// The output path used when --output is not given: "dir/song.mid" gives "song.wav".
std::string defaultOutputPath(const std::string& midiPath);

std::string usageText();
