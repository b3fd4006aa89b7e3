// zentharode-jack-play: plays a Standard MIDI File into a JACK MIDI port and records JACK audio ports into a
// WAV or FLAC file, in freewheel mode.
#include "AudioWriter.h"
#include "MidiFile.h"
#include "PlayRecord.h"

#include <cstdlib>
#include <iostream>
#include <sstream>

namespace
{
int usage()
{
    std::cerr << "usage: zentharode-jack-play --to MIDI_PORT --record PORT[,PORT...] [--output FILE.wav]\n"
                 "                            [--tail SECONDS] [--realtime] [--name NAME] SONG.mid\n"
                 "Plays SONG.mid into MIDI_PORT and records the ports (frame-exact, in freewheel mode unless\n"
                 "--realtime) on the JACK server JACK_DEFAULT_SERVER names.\n";
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    PlayRecordOptions options;
    std::string output = "recording.wav";
    std::string song;
    for (int i = 1; i < argc; i++)
    {
        const std::string argument = argv[i];
        const bool hasValue = i + 1 < argc;
        if (argument == "--to" && hasValue)
            options.midiDestination = argv[++i];
        else if (argument == "--record" && hasValue)
        {
            std::stringstream ports(argv[++i]);
            std::string port;
            while (std::getline(ports, port, ','))
                options.recordSources.push_back(port);
        }
        else if (argument == "--output" && hasValue)
            output = argv[++i];
        else if (argument == "--tail" && hasValue)
            options.tailSeconds = std::atof(argv[++i]);
        else if (argument == "--name" && hasValue)
            options.clientName = argv[++i];
        else if (argument == "--realtime")
            options.freewheel = false;
        else if (!argument.empty() && argument[0] != '-' && song.empty())
            song = argument;
        else
            return usage();
    }
    if (song.empty() || options.recordSources.empty())
        return usage();
    try
    {
        const MidiSequence sequence = readMidiFile(song);
        Recording recording;
        std::string error;
        if (!playAndRecord(sequence, options, recording, error))
        {
            std::cerr << "zentharode-jack-play: " << error << "\n";
            return 1;
        }
        AudioWriter writer(output, static_cast<int>(recording.sampleRate), static_cast<int>(recording.channels.size()));
        std::vector<const float*> channels;
        for (const auto& channel : recording.channels)
            channels.push_back(channel.data());
        writer.write(channels.data(), static_cast<int>(recording.channels[0].size()));
        writer.close();
        std::cout << output << ": " << recording.channels[0].size() << " frames at " << recording.sampleRate << " Hz\n";
    }
    catch (const std::exception& e)
    {
        std::cerr << "zentharode-jack-play: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
