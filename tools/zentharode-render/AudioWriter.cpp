// Writing the rendered audio through libsndfile.
#include "AudioWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <cmath>

struct AudioWriter::Impl
{
    SNDFILE* file = nullptr;
};

namespace {

// WAV sizes are 32-bit; leave room for the header chunks.
constexpr double kWavDataLimit = 4294967295.0 - 65536.0;

std::string lowerExtension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

} // namespace

AudioFormat audioFormatForPath(const std::string& path)
{
    const std::string extension = lowerExtension(path);
    if (extension == ".wav")
        return AudioFormat::kWavFloat;
    if (extension == ".flac")
        return AudioFormat::kFlac24;
    throw AudioFileError(path + ": unknown output format (the name must end in .wav or .flac)");
}

AudioWriter::AudioWriter(const std::string& path, int sampleRate, int channels, int64_t expectedFrames)
    : fImpl(std::make_unique<Impl>()), fPath(path), fChannels(channels)
{
    const AudioFormat format = audioFormatForPath(path);
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = channels;
    const bool needsRf64 = static_cast<double>(expectedFrames) * channels * sizeof(float) > kWavDataLimit;
    const int container = needsRf64 ? SF_FORMAT_RF64 : SF_FORMAT_WAV;
    info.format = format == AudioFormat::kWavFloat ? (container | SF_FORMAT_FLOAT) : (SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    if (!sf_format_check(&info))
        throw AudioFileError(path + ": cannot write " + std::to_string(channels) + " channels at "
                             + std::to_string(sampleRate) + " Hz in this format");
    fImpl->file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (fImpl->file == nullptr)
        throw AudioFileError(path + ": cannot create: " + sf_strerror(nullptr));
    if (format == AudioFormat::kFlac24)
        sf_command(fImpl->file, SFC_SET_CLIPPING, nullptr, SF_TRUE); // else values past 1 wrap round
}

AudioWriter::~AudioWriter()
{
    if (fImpl->file != nullptr)
        sf_close(fImpl->file);
}

void AudioWriter::write(const float* const* channels, int frames)
{
    if (fImpl->file == nullptr || frames <= 0)
        return;
    fInterleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(fChannels));
    size_t k = 0;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < fChannels; ++c) {
            float sample = channels[c][i];
            if (!std::isfinite(sample)) {
                sample = 0.0f;
                ++fNonFinite;
            }
            fInterleaved[k++] = sample;
        }
    }
    const sf_count_t written = sf_writef_float(fImpl->file, fInterleaved.data(), frames);
    if (written != frames)
        throw AudioFileError(fPath + ": write failed: " + sf_strerror(fImpl->file));
    fFrames += written;
}

void AudioWriter::close()
{
    if (fImpl->file == nullptr)
        return;
    SNDFILE* file = fImpl->file;
    fImpl->file = nullptr;
    if (sf_close(file) != 0)
        throw AudioFileError(fPath + ": cannot finish the file");
}
