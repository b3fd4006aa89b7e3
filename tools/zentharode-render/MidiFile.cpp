// Reading a Standard MIDI File: the image is checked first, then libsmf parses it and applies the tempo map.
#include "MidiFile.h"

#include <smf.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <memory>

namespace {

// libsmf reports problems through the GLib log; they are collected here and turned into an error.
struct LogCapture
{
    LogCapture()
        : fHandler(g_log_set_handler("libsmf",
                                     static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL
                                                                 | G_LOG_FLAG_RECURSION),
                                     &LogCapture::collect, this))
    {
    }
    ~LogCapture() { g_log_remove_handler("libsmf", fHandler); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    static void collect(const gchar*, GLogLevelFlags level, const gchar* message, gpointer self)
    {
        auto* capture = static_cast<LogCapture*>(self);
        if ((level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL)) && capture->fFirstError.empty())
            capture->fFirstError = message != nullptr ? message : "unknown error";
    }

    guint fHandler;
    std::string fFirstError;
};

// Far beyond any real song; keeps a device or a wrong path from being read for ever.
constexpr size_t kMaxFileBytes = size_t{64} << 20;

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};

struct SmfDeleter
{
    void operator()(smf_t* smf) const { smf_delete(smf); }
};

bool isChannelMessage(const smf_event_t* event)
{
    if (event->midi_buffer == nullptr || event->midi_buffer_length < 2 || event->midi_buffer_length > 3)
        return false;
    const uint8_t status = event->midi_buffer[0];
    return status >= 0x80 && status < 0xF0;
}

} // namespace

MidiSequence parseMidiImage(const std::vector<uint8_t>& bytes)
{
    const std::vector<uint8_t> image = checkMidiImage(bytes);
    if (image.size() > static_cast<size_t>(INT32_MAX))
        throw MidiFileError("the file is too large");

    LogCapture log;
    std::unique_ptr<smf_t, SmfDeleter> smf(smf_load_from_memory(image.data(), static_cast<int>(image.size())));
    if (!smf || !log.fFirstError.empty())
        throw MidiFileError("unreadable MIDI data: "
                            + (log.fFirstError.empty() ? std::string("parser failed") : log.fFirstError));

    MidiSequence sequence;
    double previous = 0.0;
    while (smf_event_t* event = smf_get_next_event(smf.get())) {
        const double seconds = event->time_seconds;
        if (!std::isfinite(seconds) || seconds < previous)
            throw MidiFileError("unreadable MIDI data: event times out of order");
        previous = seconds;
        sequence.lengthSeconds = seconds;
        if (!isChannelMessage(event))
            continue;
        MidiEvent out;
        out.seconds = seconds;
        out.size = event->midi_buffer_length;
        for (int i = 0; i < out.size; ++i)
            out.data[static_cast<size_t>(i)] = event->midi_buffer[i];
        sequence.events.push_back(out);
    }
    if (!log.fFirstError.empty())
        throw MidiFileError("unreadable MIDI data: " + log.fFirstError);
    return sequence;
}

MidiSequence readMidiFile(const std::string& path)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw MidiFileError(path + ": cannot open: " + std::strerror(errno));
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
        if (bytes.size() > kMaxFileBytes)
            throw MidiFileError(path + ": too large for a MIDI file");
    }
    if (std::ferror(file.get()))
        throw MidiFileError(path + ": cannot read: " + std::strerror(errno));
    try {
        return parseMidiImage(bytes);
    } catch (const MidiFileError& error) {
        throw MidiFileError(path + ": " + error.what());
    }
}
