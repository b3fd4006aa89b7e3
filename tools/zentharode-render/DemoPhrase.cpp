// The built-in demo phrase and the file names of the demo renders.
#include "DemoPhrase.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr double kSecondsPerBeat = 60.0 / 100.0;
constexpr int kBendCentre = 8192;
constexpr int kBendSteps = 8;
constexpr int kBendRise = 2048; // a quarter of the upward range
// A stored program name is 24 bytes; longer answers are cut to keep file names sane.
constexpr size_t kMaxStemName = 48;

class PhraseBuilder
{
public:
    void note(double beat, double lengthBeats, int key, int velocity)
    {
        add(beat, 0x90, key, velocity);
        add(beat + lengthBeats, 0x80, key, 0);
    }

    void chord(double beat, double lengthBeats, std::initializer_list<int> keys, int velocity)
    {
        for (int key : keys)
            note(beat, lengthBeats, key, velocity);
    }

    // A 14-bit bend, 0..16383 with 8192 at the centre.
    void bend(double beat, int value)
    {
        add(beat, 0xE0, value & 0x7F, (value >> 7) & 0x7F);
    }

    MidiSequence finish()
    {
        std::stable_sort(fSequence.events.begin(), fSequence.events.end(),
                         [](const MidiEvent& a, const MidiEvent& b) { return a.seconds < b.seconds; });
        fSequence.lengthSeconds = fSequence.events.empty() ? 0.0 : fSequence.events.back().seconds;
        return fSequence;
    }

private:
    void add(double beat, int status, int data1, int data2)
    {
        MidiEvent event;
        event.seconds = beat * kSecondsPerBeat;
        event.data = {static_cast<uint8_t>(status), static_cast<uint8_t>(data1), static_cast<uint8_t>(data2)};
        event.size = 3;
        fSequence.events.push_back(event);
    }

    MidiSequence fSequence;
};

} // namespace

MidiSequence demoPhrase()
{
    PhraseBuilder phrase;
    // Bar 1: C major under a rising line.
    phrase.chord(0.0, 4.0, {48, 55, 64}, 80);
    phrase.note(0.0, 1.0, 72, 110);
    phrase.note(1.0, 1.0, 74, 70);
    phrase.note(2.0, 1.5, 76, 95);
    phrase.note(3.5, 0.5, 79, 50);
    // Bar 2: A minor; the long note bends up a little and back.
    phrase.chord(4.0, 4.0, {45, 52, 60}, 75);
    phrase.note(4.0, 1.0, 77, 100);
    phrase.note(5.0, 1.0, 76, 60);
    phrase.note(6.0, 2.0, 74, 85);
    for (int i = 0; i <= kBendSteps; ++i) {
        const double fraction = static_cast<double>(i) / kBendSteps;
        phrase.bend(6.5 + 0.5 * fraction, kBendCentre + static_cast<int>(kBendRise * fraction));
        phrase.bend(7.0 + 0.5 * fraction, kBendCentre + static_cast<int>(kBendRise * (1.0 - fraction)));
    }
    // Bar 3: F major, soft to loud.
    phrase.chord(8.0, 4.0, {41, 53, 57}, 70);
    phrase.note(8.0, 0.5, 72, 40);
    phrase.note(8.5, 0.5, 69, 60);
    phrase.note(9.0, 1.0, 72, 80);
    phrase.note(10.0, 2.0, 77, 120);
    // Bar 4: G major, then a sustained C that rings into bar 5.
    phrase.chord(12.0, 2.0, {43, 50, 59}, 80);
    phrase.note(12.0, 1.0, 74, 90);
    phrase.note(13.0, 1.0, 71, 65);
    phrase.chord(14.0, 6.0, {48, 60, 67}, 90);
    return phrase.finish();
}

std::string demoFileStem(int index, const std::string& programName)
{
    std::string name;
    bool pendingDash = false;
    for (char raw : programName.substr(0, kMaxStemName)) {
        const unsigned char c = static_cast<unsigned char>(raw);
        if (std::isalnum(c) && c < 0x80) {
            if (pendingDash && !name.empty())
                name += '-';
            pendingDash = false;
            name += static_cast<char>(std::tolower(c));
        } else {
            pendingDash = true;
        }
    }
    if (name.empty())
        name = "program";
    return std::to_string(index) + "-" + name;
}
