// Writing float WAV and 24-bit FLAC files.
#include "AudioWriter.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace {

std::string workPath(const std::string& name)
{
    std::filesystem::create_directories(TEST_WORK_DIR);
    return std::string(TEST_WORK_DIR) + "/" + name;
}

struct ReadBack
{
    SF_INFO info{};
    std::vector<float> samples; // interleaved
};

ReadBack readBack(const std::string& path)
{
    ReadBack result;
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &result.info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    if (file == nullptr)
        return result;
    result.samples.resize(static_cast<size_t>(result.info.frames * result.info.channels));
    sf_readf_float(file, result.samples.data(), result.info.frames);
    sf_close(file);
    return result;
}

TEST(AudioWriter, FormatFollowsTheExtension)
{
    EXPECT_EQ(audioFormatForPath("a.wav"), AudioFormat::kWavFloat);
    EXPECT_EQ(audioFormatForPath("dir.x/A.WAV"), AudioFormat::kWavFloat);
    EXPECT_EQ(audioFormatForPath("a.Flac"), AudioFormat::kFlac24);
    EXPECT_THROW(audioFormatForPath("a.mp3"), AudioFileError);
    EXPECT_THROW(audioFormatForPath("wav"), AudioFileError);
    EXPECT_THROW(audioFormatForPath("dir.wav/file"), AudioFileError);
}

TEST(AudioWriter, FloatWavKeepsSamplesExactly)
{
    const std::string path = workPath("exact.wav");
    const float left[] = {0.0f, 0.25f, -1.5f, 1e-30f};
    const float right[] = {1.0f, -0.125f, 2.0f, -3e-8f};
    const float* channels[] = {left, right};
    {
        AudioWriter writer(path, 48000, 2);
        writer.write(channels, 3);
        writer.write(channels, 0);
        const float* tail[] = {left + 3, right + 3};
        writer.write(tail, 1);
        EXPECT_EQ(writer.framesWritten(), 4);
        writer.close();
    }
    const ReadBack back = readBack(path);
    EXPECT_EQ(back.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(back.info.samplerate, 48000);
    EXPECT_EQ(back.info.channels, 2);
    ASSERT_EQ(back.info.frames, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(back.samples[static_cast<size_t>(2 * i)], left[i]);
        EXPECT_EQ(back.samples[static_cast<size_t>(2 * i + 1)], right[i]);
    }
}

TEST(AudioWriter, FlacIs24BitAndClipsInsteadOfWrapping)
{
    const std::string path = workPath("clip.flac");
    const float left[] = {1.5f, -1.5f, 0.5f};
    const float right[] = {0.0f, 0.25f, -0.75f};
    const float* channels[] = {left, right};
    {
        AudioWriter writer(path, 44100, 2);
        writer.write(channels, 3);
        writer.close();
    }
    const ReadBack back = readBack(path);
    EXPECT_EQ(back.info.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    ASSERT_EQ(back.info.frames, 3);
    const float step = 1.0f / 8388608.0f;
    EXPECT_NEAR(back.samples[0], 1.0f, 2 * step);
    EXPECT_NEAR(back.samples[2], -1.0f, 2 * step);
    EXPECT_NEAR(back.samples[3], 0.25f, step);
    EXPECT_NEAR(back.samples[4], 0.5f, step);
    EXPECT_NEAR(back.samples[5], -0.75f, step);
}

TEST(AudioWriter, NonFiniteSamplesBecomeSilenceAndAreCounted)
{
    const std::string path = workPath("nonfinite.wav");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float left[] = {nan, 0.5f};
    const float right[] = {-inf, inf};
    const float* channels[] = {left, right};
    AudioWriter writer(path, 44100, 2);
    writer.write(channels, 2);
    writer.close();
    EXPECT_EQ(writer.nonFiniteSamples(), 3);
    const ReadBack back = readBack(path);
    ASSERT_EQ(back.samples.size(), 4u);
    EXPECT_EQ(back.samples[0], 0.0f);
    EXPECT_EQ(back.samples[1], 0.0f);
    EXPECT_EQ(back.samples[2], 0.5f);
    EXPECT_EQ(back.samples[3], 0.0f);
}

TEST(AudioWriter, FloatFilesBeyondFourGigabytesBecomeRf64)
{
    const std::string path = workPath("long.wav");
    const float left[] = {0.5f};
    const float* channels[] = {left, left};
    {
        AudioWriter writer(path, 48000, 2, int64_t{600} << 20); // 4.7 GiB announced, one frame written
        writer.write(channels, 1);
        writer.close();
    }
    const ReadBack back = readBack(path);
    EXPECT_EQ(back.info.format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
    EXPECT_EQ(back.info.frames, 1);
}

TEST(AudioWriter, UnwritablePlaceIsAnError)
{
    EXPECT_THROW(AudioWriter("/nonexistent/dir/out.wav", 44100, 2), AudioFileError);
    EXPECT_THROW(AudioWriter(workPath("out.ogg"), 44100, 2), AudioFileError);
}

} // namespace
