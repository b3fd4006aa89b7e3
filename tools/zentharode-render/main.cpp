// zentharode-render: plays a MIDI file, or the built-in demo phrase, through the plug-in into a sound file.
#include "AudioWriter.h"
#include "DemoPhrase.h"
#include "EventScheduler.h"
#include "MidiFile.h"
#include "Options.h"
#include "PluginHost.h"
#include "Renderer.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>

namespace {

namespace fs = std::filesystem;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kFactoryPrograms = 8;
// Longer than any song; catches tempo maps and tick counts that would run for days.
constexpr double kMaxRenderSeconds = 4.0 * 3600.0;
// Renders shorter than this finish too fast for a progress line to help.
constexpr double kProgressMinSeconds = 20.0;

std::string pluginPathFor(const RenderOptions& options)
{
    if (!options.pluginPath.empty())
        return options.pluginPath;
    // The build puts the tool in <build>/tools/zentharode-render/ and the plug-in in <build>/.
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path beside = self.parent_path().parent_path().parent_path() / "zentharode.so";
        if (fs::exists(beside, error))
            return beside.string();
    }
    return ZENTHARODE_DEFAULT_PLUGIN;
}

// "\r rendering  42% ..." on a terminal, redrawn only when the percentage changes.
class ProgressLine
{
public:
    ProgressLine(std::string label, int64_t totalFrames, int sampleRate)
        : fLabel(std::move(label)),
          fEnabled(isatty(STDERR_FILENO) == 1
                   && static_cast<double>(totalFrames) / sampleRate >= kProgressMinSeconds)
    {
    }

    ~ProgressLine()
    {
        if (fShown)
            std::fprintf(stderr, "\r\033[K");
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(int64_t done, int64_t total)
    {
        if (!fEnabled || total <= 0)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == fPercent)
            return;
        fPercent = percent;
        fShown = true;
        std::fprintf(stderr, "\rrendering %s %3d%%", fLabel.c_str(), percent);
        std::fflush(stderr);
    }

private:
    std::string fLabel;
    bool fEnabled;
    bool fShown = false;
    int fPercent = -1;
};

int64_t checkedLength(double songSeconds, const RenderOptions& options)
{
    if (songSeconds + options.tailSeconds > kMaxRenderSeconds)
        throw std::runtime_error("the render would last " + std::to_string(static_cast<long long>(songSeconds))
                            + " s; at most " + std::to_string(static_cast<int>(kMaxRenderSeconds))
                            + " s can be rendered");
    return renderLength(songSeconds, options.tailSeconds, options.sampleRate);
}

// Renders `sequence` on one fresh plug-in instance into `outputPath`. A file left half-written by a
// failure is removed.
void renderToFile(const PluginLibrary& library, const MidiSequence& sequence, const RenderOptions& options,
                  int program, const std::string& outputPath, const std::string& label)
{
    std::vector<ScheduledEvent> events = scheduleEvents(sequence, options.sampleRate);
    // The render always reaches the last event's sample, so no event is left undelivered.
    const int64_t totalFrames =
        std::max(checkedLength(sequence.lengthSeconds, options), events.empty() ? 0 : events.back().frame + 1);
    HostSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    settings.program = program;
    PluginInstance plugin(library, settings);

    std::optional<AudioWriter> writer;
    try {
        writer.emplace(outputPath, options.sampleRate, plugin.outputCount(), totalFrames);
        ProgressLine progress(label, totalFrames, options.sampleRate);
        renderEvents(plugin, std::move(events), totalFrames, *writer,
                     [&](int64_t done, int64_t total) { progress.update(done, total); });
        writer->close();
    } catch (...) {
        if (writer) {
            writer.reset();
            std::error_code ignored;
            fs::remove(outputPath, ignored);
        }
        throw;
    }
    if (writer->nonFiniteSamples() > 0)
        std::cerr << "zentharode-render: warning: " << outputPath << ": " << writer->nonFiniteSamples()
                  << " samples were not finite and were written as 0\n";
}

void renderDemo(const PluginLibrary& library, const RenderOptions& options)
{
    std::error_code error;
    fs::create_directories(options.demoDir, error);
    if (error)
        throw AudioFileError(options.demoDir + ": cannot create the folder: " + error.message());

    HostSettings settings;
    settings.sampleRate = options.sampleRate;
    settings.blockSize = options.blockSize;
    std::vector<std::string> names;
    {
        PluginInstance probe(library, settings);
        for (int program = 0; program < kFactoryPrograms && program < probe.programCount(); ++program)
            names.push_back(probe.programName(program));
    }

    const MidiSequence phrase = demoPhrase();
    for (size_t program = 0; program < names.size(); ++program) {
        const int index = static_cast<int>(program);
        const std::string path = (fs::path(options.demoDir) / (demoFileStem(index, names[program]) + ".wav")).string();
        renderToFile(library, phrase, options, index, path, "\"" + names[program] + "\"");
        std::cout << path << "\n";
    }
}

} // namespace

int main(int argc, char** argv)
{
    RenderOptions options;
    try {
        options = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const OptionError& error) {
        std::cerr << "zentharode-render: " << error.what() << "\n(zentharode-render --help shows the options)\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << usageText();
        return 0;
    }

    try {
        if (!options.demoDir.empty()) {
            const PluginLibrary library(pluginPathFor(options));
            renderDemo(library, options);
            return 0;
        }
        // The output format is checked before anything is rendered.
        audioFormatForPath(options.outputPath);
        const MidiSequence sequence = readMidiFile(options.midiPath);
        const PluginLibrary library(pluginPathFor(options));
        renderToFile(library, sequence, options, options.program, options.outputPath, options.outputPath);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "zentharode-render: " << error.what() << "\n";
        return kExitFailure;
    }
}
