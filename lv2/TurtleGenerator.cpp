// Writes the bundle's Turtle files from the code's own tables: manifest.ttl, zentharode.ttl (plug-in, ports
// and UI) and presets.ttl (the factory programs). Run by the build: zentharode-lv2-turtle BUNDLE_DIR.
#include "lv2/Lv2Ports.h"
#include "lv2/PortTable.h"

#include "params/ParameterApplication.h"
#include "params/ProgramBank.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>

namespace
{
constexpr int kFactoryPrograms = 8;
constexpr int kMaxDecimals = 12;

const char* const kPrefixes = "@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix midi:  <http://lv2plug.in/ns/ext/midi#> .\n"
                              "@prefix pset:  <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

// The shortest plain decimal that reads back as exactly this float (hosts read it as a double first).
std::string decimal(float value)
{
    char text[64];
    for (int decimals = 1; decimals <= kMaxDecimals; decimals++)
    {
        std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
        if (static_cast<float>(std::strtod(text, nullptr)) == value)
            return text;
    }
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
    return text;
}

// A Turtle string literal: quotes and backslashes escaped.
std::string literal(const std::string& text)
{
    std::string out = "\"";
    for (char c : text)
    {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string uri(const std::string& text)
{
    return "<" + text + ">";
}

std::string presetUri(int program)
{
    return uri(std::string(lv2uri::kPresetPrefix) + std::to_string(program));
}

void writeParameterPort(std::ostream& out, uint32_t index, const ParameterPort& port)
{
    out << "    lv2:port [\n"
        << "        a lv2:InputPort , lv2:ControlPort ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << literal(port.symbol) << " ;\n"
        << "        lv2:name " << literal(port.name) << " ;\n"
        << "        lv2:default " << decimal(port.defaultValue) << " ;\n"
        << "        lv2:minimum 0.0 ;\n"
        << "        lv2:maximum 1.0";
    if (port.enumeration)
        out << " ;\n        lv2:portProperty lv2:enumeration";
    for (const ScalePoint& point : port.scalePoints)
        out << " ;\n        lv2:scalePoint [ rdfs:label " << literal(point.label) << " ; rdf:value "
            << decimal(point.value) << " ]";
    out << "\n    ] ;\n";
}

void writeOtherPort(std::ostream& out, uint32_t index, const char* classes, const char* symbol, const char* name,
                    const char* extra = "")
{
    out << "    lv2:port [\n"
        << "        a " << classes << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << literal(symbol) << " ;\n"
        << "        lv2:name " << literal(name) << extra << "\n"
        << "    ] ;\n";
}

std::string pluginTurtle(const std::vector<ParameterPort>& ports)
{
    std::ostringstream out;
    out << kPrefixes;
    out << uri(lv2uri::kPlugin) << "\n"
        << "    a lv2:InstrumentPlugin , lv2:Plugin , doap:Project ;\n"
        << "    doap:name \"Zentharode\" ;\n"
        << "    doap:maintainer [ foaf:name \"Zentharode Instruments\" ] ;\n"
        << "    rdfs:comment \"An eight-voice plucked-string synthesizer: two coupled string loops per voice, a "
           "warped lattice body filter, LFOs and envelopes. The audio input is fed into the strings.\" ;\n"
        << "    lv2:minorVersion 0 ;\n"
        << "    lv2:microVersion 0 ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:extensionData state:interface ;\n";
    for (uint32_t i = 0; i < ports.size(); i++)
        writeParameterPort(out, i, ports[i]);
    const char* const sequence = " ;\n        atom:bufferType atom:Sequence ;\n        atom:supports ";
    writeOtherPort(out, lv2port::kMidiIn, "lv2:InputPort , atom:AtomPort", "midi_in", "MIDI In",
                   (std::string(sequence) + "midi:MidiEvent").c_str());
    writeOtherPort(out, lv2port::kAudioInLeft, "lv2:InputPort , lv2:AudioPort", "in_l", "In L");
    writeOtherPort(out, lv2port::kAudioInRight, "lv2:InputPort , lv2:AudioPort", "in_r", "In R");
    writeOtherPort(out, lv2port::kAudioOutLeft, "lv2:OutputPort , lv2:AudioPort", "out_l", "Out L");
    writeOtherPort(out, lv2port::kAudioOutRight, "lv2:OutputPort , lv2:AudioPort", "out_r", "Out R");
    writeOtherPort(out, lv2port::kNotify, "lv2:OutputPort , atom:AtomPort", "notify", "Notify",
                   (std::string(sequence) + "atom:Object").c_str());
    out << "    ui:ui " << uri(lv2uri::kUi) << " .\n\n";

    out << uri(lv2uri::kUi) << "\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:binary <" << lv2uri::kUiBinary << "> ;\n"
        << "    lv2:requiredFeature ui:parent , urid:map , ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:resize , ui:noUserResize , ui:touch ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    ui:portNotification [\n"
        << "        ui:plugin " << uri(lv2uri::kPlugin) << " ;\n"
        << "        lv2:symbol \"notify\" ;\n"
        << "        ui:protocol atom:eventTransfer\n"
        << "    ] .\n";
    return out.str();
}

std::string presetsTurtle(const std::vector<ParameterPort>& ports)
{
    ProgramBank bank;
    bank.loadFactoryPresets();
    std::ostringstream out;
    out << kPrefixes;
    for (int p = 0; p < kFactoryPrograms; p++)
    {
        char name[kProgramNameSize] = {};
        bank.getName(p, name);
        out << presetUri(p) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri(lv2uri::kPlugin) << " ;\n"
            << "    rdfs:label " << literal(name);
        // The values as the plug-in keeps them once the program is applied (body types snapped).
        for (int32_t i = 0; i < kNumParams; i++)
            out << " ;\n    lv2:port [ lv2:symbol " << literal(ports[static_cast<size_t>(i)].symbol) << " ; pset:value "
                << decimal(storedParameterValue(i, bank.program(p).fParams[i])) << " ]";
        out << " .\n\n";
    }
    return out.str();
}

std::string manifestTurtle()
{
    std::ostringstream out;
    out << kPrefixes;
    out << uri(lv2uri::kPlugin) << "\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << lv2uri::kDspBinary << "> ;\n"
        << "    rdfs:seeAlso <zentharode.ttl> .\n\n";
    out << uri(lv2uri::kUi) << "\n"
        << "    a ui:X11UI ;\n"
        << "    lv2:binary <" << lv2uri::kUiBinary << "> ;\n"
        << "    rdfs:seeAlso <zentharode.ttl> .\n\n";
    for (int p = 0; p < kFactoryPrograms; p++)
        out << presetUri(p) << "\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo " << uri(lv2uri::kPlugin) << " ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n\n";
    return out.str();
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
    {
        std::cerr << "zentharode-lv2-turtle: cannot write " << path << "\n";
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: zentharode-lv2-turtle BUNDLE_DIR\n";
        return 2;
    }
    const std::vector<ParameterPort> ports = parameterPorts();
    // A clash would leave a host unable to tell two parameters apart.
    std::set<std::string> symbols;
    for (const ParameterPort& port : ports)
    {
        if (port.symbol.empty() || !symbols.insert(port.symbol).second)
        {
            std::cerr << "zentharode-lv2-turtle: port symbol \"" << port.symbol << "\" is empty or not unique\n";
            return 1;
        }
    }
    const std::string dir = argv[1];
    const bool written = writeFile(dir + "/manifest.ttl", manifestTurtle())
                         && writeFile(dir + "/zentharode.ttl", pluginTurtle(ports))
                         && writeFile(dir + "/presets.ttl", presetsTurtle(ports));
    return written ? 0 : 1;
}
