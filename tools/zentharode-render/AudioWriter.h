// Writing the rendered audio: 32-bit float WAV or 24-bit FLAC, chosen by the file's extension.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class AudioFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class AudioFormat
{
    kWavFloat,
    kFlac24,
};

// The format for `path` by its extension (.wav or .flac, any case); throws AudioFileError otherwise.
AudioFormat audioFormatForPath(const std::string& path);

class AudioWriter
{
public:
    // Throws AudioFileError when the extension is unknown or the file cannot be created.
    // `expectedFrames` picks RF64 over WAV for a float file that would pass the 4 GiB limit of WAV.
    AudioWriter(const std::string& path, int sampleRate, int channels, int64_t expectedFrames = 0);
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Appends `frames` frames taken from one buffer per channel. NaN and infinite samples are written
    // as 0 and counted; FLAC clips at full scale.
    void write(const float* const* channels, int frames);

    // Finishes the file; throws AudioFileError when that fails.
    void close();

    int64_t framesWritten() const { return fFrames; }
    int64_t nonFiniteSamples() const { return fNonFinite; }

private:
    struct Impl;
    std::unique_ptr<Impl> fImpl;
    std::string fPath;
    int fChannels;
    std::vector<float> fInterleaved;
    int64_t fFrames = 0;
    int64_t fNonFinite = 0;
};
