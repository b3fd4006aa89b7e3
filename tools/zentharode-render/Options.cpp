// Command-line options of zentharode-render.
#include "Options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {

int parseInt(const std::string& option, const std::string& text, int low, int high)
{
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end)
        throw OptionError(option + " needs a whole number, not \"" + text + "\"");
    if (value < low || value > high)
        throw OptionError(option + " must be between " + std::to_string(low) + " and " + std::to_string(high)
                          + ", not " + text);
    return value;
}

double parseSeconds(const std::string& option, const std::string& text, double high)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value))
        throw OptionError(option + " needs a number of seconds, not \"" + text + "\"");
    if (value < 0.0 || value > high)
        throw OptionError(option + " must be between 0 and " + std::to_string(static_cast<int>(high))
                          + " seconds, not " + text);
    return value;
}

} // namespace

RenderOptions parseOptions(const std::vector<std::string>& args)
{
    RenderOptions options;
    // Help is shown whatever else the command line holds.
    for (const std::string& arg : args) {
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        }
    }
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (!options.midiPath.empty())
                throw OptionError("only one MIDI file can be rendered at a time (got \"" + options.midiPath
                                  + "\" and \"" + arg + "\")");
            options.midiPath = arg;
            continue;
        }

        // --name value or --name=value
        std::string value;
        bool hasValue = false;
        if (const size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg = arg.substr(0, equals);
            hasValue = true;
        }
        const auto takeValue = [&]() {
            if (hasValue)
                return value;
            if (i + 1 >= args.size())
                throw OptionError(arg + " needs a value");
            return args[++i];
        };

        if (arg == "--program")
            options.program = parseInt(arg, takeValue(), kMinProgram, kMaxProgram);
        else if (arg == "--rate")
            options.sampleRate = parseInt(arg, takeValue(), kMinSampleRate, kMaxSampleRate);
        else if (arg == "--block")
            options.blockSize = parseInt(arg, takeValue(), kMinBlockSize, kMaxBlockSize);
        else if (arg == "--tail")
            options.tailSeconds = parseSeconds(arg, takeValue(), kMaxTailSeconds);
        else if (arg == "--output" || arg == "-o")
            options.outputPath = takeValue();
        else if (arg == "--plugin")
            options.pluginPath = takeValue();
        else if (arg == "--demo")
            options.demoDir = takeValue();
        else
            throw OptionError("unknown option " + arg);
    }

    if (!options.demoDir.empty()) {
        if (!options.midiPath.empty())
            throw OptionError("--demo plays its own phrase: give no MIDI file with it");
        if (!options.outputPath.empty())
            throw OptionError("--demo writes one file per program into its folder: give no --output with it");
        return options;
    }
    if (options.midiPath.empty())
        throw OptionError("no MIDI file given");
    if (options.outputPath.empty())
        options.outputPath = defaultOutputPath(options.midiPath);
    return options;
}

std::string defaultOutputPath(const std::string& midiPath)
{
    const size_t slash = midiPath.find_last_of('/');
    std::string name = slash == std::string::npos ? midiPath : midiPath.substr(slash + 1);
    if (const size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    if (name.empty() || name == "." || name == "..")
        name = "render";
    return name + ".wav";
}

std::string usageText()
{
    return "usage: zentharode-render [options] FILE.mid\n"
           "       zentharode-render [options] --demo DIR\n"
           "\n"
           "Plays a Standard MIDI File through the Zentharode plug-in and writes the sound to a file.\n"
           "\n"
           "  --output PATH   file to write; .wav gives 32-bit float WAV, .flac 24-bit FLAC\n"
           "                  (default: the MIDI file's name with .wav, in the current folder)\n"
           "  --program N     program to play, 0..31 (default 0)\n"
           "  --rate HZ       sample rate, 8000..384000 (default 44100)\n"
           "  --block N       block size in samples, 1..65536 (default 512)\n"
           "  --tail SECONDS  time rendered after the last event, 0..3600 (default 3)\n"
           "  --plugin PATH   plug-in library to load (default: the zentharode.so of this build)\n"
           "  --demo DIR      play a built-in phrase on each of the eight factory programs and write\n"
           "                  one WAV per program into DIR, named after the program\n"
           "  -h, --help      show this text\n";
}
