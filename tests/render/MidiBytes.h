// Builds Standard MIDI File images byte by byte, so tests control every detail (also broken ones).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace midibytes {

using Bytes = std::vector<uint8_t>;

inline Bytes quantity(uint32_t value)
{
    Bytes out{static_cast<uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0)
        out.insert(out.begin(), static_cast<uint8_t>((value & 0x7F) | 0x80));
    return out;
}

inline void append(Bytes& out, const Bytes& more)
{
    out.insert(out.end(), more.begin(), more.end());
}

inline void append32(Bytes& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

inline Bytes header(int format, int tracks, int division)
{
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    for (int value : {format, tracks, division}) {
        out.push_back(static_cast<uint8_t>(value >> 8));
        out.push_back(static_cast<uint8_t>(value));
    }
    return out;
}

// Track data: events as (delta ticks, bytes), in order.
class Track
{
public:
    Track& event(uint32_t delta, const Bytes& bytes)
    {
        append(fData, quantity(delta));
        append(fData, bytes);
        return *this;
    }
    Track& tempo(uint32_t delta, uint32_t microsPerQuarter)
    {
        return event(delta, {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsPerQuarter >> 16),
                             static_cast<uint8_t>(microsPerQuarter >> 8), static_cast<uint8_t>(microsPerQuarter)});
    }
    Track& end(uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }

    // The MTrk chunk.
    Bytes chunk() const
    {
        Bytes out{'M', 'T', 'r', 'k'};
        append32(out, static_cast<uint32_t>(fData.size()));
        append(out, fData);
        return out;
    }

private:
    Bytes fData;
};

inline Bytes file(int format, int division, const std::vector<Track>& tracks)
{
    Bytes out = header(format, static_cast<int>(tracks.size()), division);
    for (const Track& track : tracks)
        append(out, track.chunk());
    return out;
}

inline void save(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

} // namespace midibytes
