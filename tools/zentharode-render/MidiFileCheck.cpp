// Structural check of a Standard MIDI File image: chunk bounds, track events, end-of-track markers.
#include "MidiFileCheck.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace {

constexpr size_t kChunkHeaderSize = 8;
constexpr uint32_t kHeaderDataSize = 6;
constexpr int kMaxQuantityBytes = 4;
// The reader counts track time in a signed 32-bit tick count.
constexpr int64_t kMaxTrackTicks = INT32_MAX;
const uint8_t kEndOfTrack[] = {0x00, 0xFF, 0x2F, 0x00};

uint32_t readBigEndian(const uint8_t* p, int count)
{
    uint32_t value = 0;
    for (int i = 0; i < count; ++i)
        value = (value << 8) | p[i];
    return value;
}

bool chunkIs(const uint8_t* p, std::string_view id)
{
    return std::string_view(reinterpret_cast<const char*>(p), 4) == id;
}

// resize and copy: GCC 12 misreads vector::insert of a byte range here as out of bounds
void appendBytes(std::vector<uint8_t>& out, const uint8_t* bytes, size_t count)
{
    const size_t start = out.size();
    out.resize(start + count);
    std::memcpy(out.data() + start, bytes, count);
}

void appendBigEndian32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

// Reads events of one track's data; stops after the end-of-track event.
class TrackScanner
{
public:
    TrackScanner(const uint8_t* data, size_t size, int trackNumber)
        : fData(data), fSize(size), fTrack(trackNumber)
    {
    }

    // Number of bytes up to and including the end-of-track event, or `size` when there is none.
    size_t scan()
    {
        while (fPos < fSize) {
            fTicks += readQuantity();
            if (fTicks > kMaxTrackTicks)
                fail("its events lie too far apart in time");
            if (readEvent())
                return fPos;
        }
        return fSize;
    }

    bool hasEndOfTrack() const { return fFoundEnd; }

private:
    [[noreturn]] void fail(const std::string& what) const
    {
        throw MidiFileError("malformed track " + std::to_string(fTrack) + ": " + what);
    }

    uint8_t next()
    {
        if (fPos >= fSize)
            fail("an event runs past the end of its track");
        return fData[fPos++];
    }

    // Variable-length quantity: 7 bits per byte, at most four bytes.
    uint32_t readQuantity()
    {
        uint32_t value = 0;
        for (int i = 0; i < kMaxQuantityBytes; ++i) {
            const uint8_t byte = next();
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0)
                return value;
        }
        fail("a variable-length number is longer than four bytes");
    }

    void skip(uint32_t count)
    {
        if (count > fSize - fPos)
            fail("an event runs past the end of its track");
        fPos += count;
    }

    // Returns true for the end-of-track event.
    bool readEvent()
    {
        uint8_t status = fData[fPos];
        if (status & 0x80)
            ++fPos;
        else if (fRunningStatus != 0)
            status = fRunningStatus;
        else
            fail("a data byte where a status byte was expected");

        if (status == 0xFF) {
            const uint8_t type = next();
            skip(readQuantity());
            fFoundEnd = type == 0x2F;
            return fFoundEnd;
        }
        if (status == 0xF0 || status == 0xF7) {
            skip(readQuantity());
            return false;
        }
        if (status > 0xF0)
            fail("a system message that a MIDI file cannot hold");

        fRunningStatus = status;
        const int dataBytes = (status & 0xE0) == 0xC0 ? 1 : 2; // program change and channel pressure
        for (int i = 0; i < dataBytes; ++i)
            if (next() & 0x80)
                fail("a status byte where a data byte was expected");
        return false;
    }

    const uint8_t* fData;
    size_t fSize;
    int fTrack;
    size_t fPos = 0;
    int64_t fTicks = 0;
    uint8_t fRunningStatus = 0;
    bool fFoundEnd = false;
};

} // namespace

std::vector<uint8_t> checkMidiImage(const std::vector<uint8_t>& bytes)
{
    const size_t size = bytes.size();
    const uint8_t* data = bytes.data();
    if (size == 0)
        throw MidiFileError("not a MIDI file (the file is empty)");
    if (size < 4 || !chunkIs(data, "MThd"))
        throw MidiFileError("not a MIDI file (no MThd header)");
    if (size < kChunkHeaderSize)
        throw MidiFileError("truncated file: the header is incomplete");
    const uint32_t headerSize = readBigEndian(data + 4, 4);
    if (headerSize < kHeaderDataSize)
        throw MidiFileError("not a MIDI file (header of " + std::to_string(headerSize) + " bytes)");
    if (headerSize > size - kChunkHeaderSize)
        throw MidiFileError("truncated file: the header is incomplete");

    const uint8_t* header = data + kChunkHeaderSize;
    const uint32_t format = readBigEndian(header, 2);
    const uint32_t trackCount = readBigEndian(header + 2, 2);
    const uint32_t division = readBigEndian(header + 4, 2);
    if (format > 2)
        throw MidiFileError("unknown MIDI file format " + std::to_string(format));
    if (trackCount == 0)
        throw MidiFileError("the file declares no tracks");
    if (division & 0x8000)
        throw MidiFileError("SMPTE time division is not supported (only ticks per quarter note)");
    if (division == 0)
        throw MidiFileError("the time division is 0 ticks per quarter note");

    std::vector<uint8_t> image;
    image.reserve(size + kChunkHeaderSize + trackCount * sizeof kEndOfTrack);
    appendBytes(image, data, 4);
    appendBigEndian32(image, kHeaderDataSize);
    appendBytes(image, header, kHeaderDataSize);

    size_t pos = kChunkHeaderSize + headerSize;
    uint32_t tracksFound = 0;
    while (tracksFound < trackCount) {
        if (size - pos < kChunkHeaderSize)
            throw MidiFileError("truncated file: " + std::to_string(tracksFound) + " of "
                                + std::to_string(trackCount) + " tracks present");
        const uint8_t* chunk = data + pos;
        const uint32_t chunkSize = readBigEndian(chunk + 4, 4);
        if (chunkSize > size - pos - kChunkHeaderSize)
            throw MidiFileError("truncated file: a chunk claims " + std::to_string(chunkSize)
                                + " bytes, only " + std::to_string(size - pos - kChunkHeaderSize)
                                + " remain");
        pos += kChunkHeaderSize + chunkSize;
        if (!chunkIs(chunk, "MTrk"))
            continue; // other chunk types may be skipped

        ++tracksFound;
        TrackScanner scanner(chunk + kChunkHeaderSize, chunkSize, static_cast<int>(tracksFound));
        const size_t used = scanner.scan();
        const size_t repairedSize = used + (scanner.hasEndOfTrack() ? 0 : sizeof kEndOfTrack);
        appendBytes(image, chunk, 4);
        appendBigEndian32(image, static_cast<uint32_t>(repairedSize));
        appendBytes(image, chunk + kChunkHeaderSize, used);
        if (!scanner.hasEndOfTrack())
            appendBytes(image, kEndOfTrack, sizeof kEndOfTrack);
    }
    // Anything after the declared tracks is ignored, as players do.
    return image;
}
