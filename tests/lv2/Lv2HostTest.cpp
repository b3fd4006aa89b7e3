// The LV2 bundle as a lilv host finds it by URI: its ports, presets and state against the VST 2.x library's
// parameters, programs and bank, and random sessions rendered through both, compared bit for bit.
#include "TestHosts.h"

#define ALLOCATION_COUNTER_DEFINE
#include "AllocationCounter.h"

#include "lv2/PortTable.h"
#include "params/ProgramBank.h"

#include <gtest/gtest.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <bit>
#include <map>
#include <random>

using namespace testhost;

namespace
{
constexpr float kRate = 48000.0f;
constexpr int kFactoryPrograms = 8;
constexpr int kBlocksPerSession = 120;

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

bool sameBits(float a, float b)
{
    return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

class Lv2Bundle : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_NE(host.plugin(), nullptr) << "no plug-in " << lv2uri::kPlugin << " in " << ZENTHARODE_LV2_BUNDLES; }

    const LilvPort* port(uint32_t index) const { return lilv_plugin_get_port_by_index(host.plugin(), index); }
    bool portIs(uint32_t index, const char* classUri) const
    {
        LilvNode* node = host.uri(classUri);
        const bool is = lilv_port_is_a(host.plugin(), port(index), node);
        lilv_node_free(node);
        return is;
    }
    bool portSupports(uint32_t index, const char* typeUri) const
    {
        LilvNode* node = host.uri(typeUri);
        const bool supports = lilv_port_supports_event(host.plugin(), port(index), node);
        lilv_node_free(node);
        return supports;
    }
    std::string symbol(uint32_t index) const { return lilv_node_as_string(lilv_port_get_symbol(host.plugin(), port(index))); }

    LilvHost host;
    UridMap urids;
    VstLibrary vst;
    // The engine draws the voices' noise tables from its thread's generator, which runs on from instance to
    // instance within a library. An instance of each, held for the whole test, keeps the LV2 library loaded
    // as the VST 2.x library stays, so that both generators run through the same history.
    Lv2Instance keepLv2{host, urids, kRate};
    VstInstance keepVst{vst, kRate};
};

// What the plug-in stores through a state interface, by key.
struct StoredState
{
    std::map<LV2_URID, std::vector<uint8_t>> values;
    std::map<LV2_URID, LV2_URID> types;

    static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                  uint32_t)
    {
        auto* self = static_cast<StoredState*>(handle);
        const auto* bytes = static_cast<const uint8_t*>(value);
        self->values[key].assign(bytes, bytes + size);
        self->types[key] = type;
        return LV2_STATE_SUCCESS;
    }
    static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags)
    {
        auto* self = static_cast<StoredState*>(handle);
        auto found = self->values.find(key);
        if (found == self->values.end())
            return nullptr;
        *size = found->second.size();
        *type = self->types[key];
        *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
        return found->second.data();
    }
};

StoredState saveState(Lv2Instance& instance)
{
    StoredState state;
    const LV2_State_Interface* iface = instance.state();
    if (iface != nullptr)
    {
        EXPECT_EQ(iface->save(lilv_instance_get_handle(instance.instance()), StoredState::store, &state, 0, nullptr),
                  LV2_STATE_SUCCESS);
    }
    return state;
}

std::vector<uint8_t> vstBank(VstInstance& vst)
{
    void* data = nullptr;
    const intptr_t size = vst.dispatch(effGetChunk, 0, 0, &data);
    const auto* bytes = static_cast<const uint8_t*>(data);
    return size > 0 && bytes != nullptr ? std::vector<uint8_t>(bytes, bytes + size) : std::vector<uint8_t>{};
}
} // namespace

TEST_F(Lv2Bundle, PortsAreTheParameterTableWithTheVstLibrarysStartValues)
{
    ASSERT_EQ(lilv_plugin_get_num_ports(host.plugin()), lv2port::kNumPorts);
    LilvNode* type = host.uri(LILV_NS_RDF "type");
    LilvNode* instrument = host.uri(LV2_CORE__InstrumentPlugin);
    EXPECT_TRUE(lilv_world_ask(host.world(), lilv_plugin_get_uri(host.plugin()), type, instrument));
    lilv_node_free(instrument);
    lilv_node_free(type);

    VstInstance fresh(vst, kRate);
    ASSERT_TRUE(fresh.valid());
    const std::vector<ParameterPort> table = parameterPorts();
    for (uint32_t i = 0; i < static_cast<uint32_t>(kNumParams); i++)
    {
        SCOPED_TRACE("port " + std::to_string(i));
        EXPECT_TRUE(portIs(i, LV2_CORE__ControlPort) && portIs(i, LV2_CORE__InputPort));
        EXPECT_EQ(symbol(i), table[i].symbol);
        LilvNode* name = lilv_port_get_name(host.plugin(), port(i));
        // The VST 2.x name, without its padding (the quantizer's name depends on its value: both are given).
        const std::string vstName = trimmed(fresh.text(effGetParamName, static_cast<int32_t>(i)));
        EXPECT_NE(std::string(lilv_node_as_string(name)).find(vstName), std::string::npos) << vstName;
        lilv_node_free(name);

        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(host.plugin(), port(i), &def, &min, &max);
        ASSERT_TRUE(def != nullptr && min != nullptr && max != nullptr);
        EXPECT_EQ(lilv_node_as_float(min), 0.0f);
        EXPECT_EQ(lilv_node_as_float(max), 1.0f);
        // The default is the value the VST 2.x build holds right after start, to the bit.
        EXPECT_TRUE(sameBits(lilv_node_as_float(def), fresh.getParameter(static_cast<int32_t>(i))))
            << lilv_node_as_float(def) << " vs " << fresh.getParameter(static_cast<int32_t>(i));
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);
    }

    EXPECT_TRUE(portIs(lv2port::kMidiIn, LV2_ATOM__AtomPort) && portIs(lv2port::kMidiIn, LV2_CORE__InputPort));
    EXPECT_TRUE(portSupports(lv2port::kMidiIn, LV2_MIDI__MidiEvent));
    EXPECT_EQ(symbol(lv2port::kMidiIn), "midi_in");
    for (uint32_t audio : {lv2port::kAudioInLeft, lv2port::kAudioInRight})
        EXPECT_TRUE(portIs(audio, LV2_CORE__AudioPort) && portIs(audio, LV2_CORE__InputPort));
    for (uint32_t audio : {lv2port::kAudioOutLeft, lv2port::kAudioOutRight})
        EXPECT_TRUE(portIs(audio, LV2_CORE__AudioPort) && portIs(audio, LV2_CORE__OutputPort));
    EXPECT_TRUE(portIs(lv2port::kNotify, LV2_ATOM__AtomPort) && portIs(lv2port::kNotify, LV2_CORE__OutputPort));

    // One UI, an X11 one, in the bundle.
    LilvUIs* uis = lilv_plugin_get_uis(host.plugin());
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    LilvNode* x11 = host.uri("http://lv2plug.in/ns/extensions/ui#X11UI");
    EXPECT_TRUE(lilv_ui_is_a(ui, x11));
    EXPECT_STREQ(lilv_node_as_uri(lilv_ui_get_uri(ui)), lv2uri::kUi);
    lilv_node_free(x11);
    lilv_uis_free(uis);
}

TEST_F(Lv2Bundle, ScalePointsNameWhatTheVstLibraryShows)
{
    VstInstance vstSynth(vst, kRate);
    ASSERT_TRUE(vstSynth.valid());
    for (int32_t index : {kBodyType1, kBodyType2, kPolarity2, kFilterTopology, kQuality})
    {
        LilvScalePoints* points = lilv_port_get_scale_points(host.plugin(), port(static_cast<uint32_t>(index)));
        ASSERT_NE(points, nullptr) << index;
        const unsigned expected = index == kFilterTopology ? 3u : (index == kPolarity2 || index == kQuality ? 2u : 12u);
        EXPECT_EQ(lilv_scale_points_size(points), expected) << index;
        LILV_FOREACH(scale_points, i, points)
        {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            const float value = lilv_node_as_float(lilv_scale_point_get_value(point));
            const std::string label = lilv_node_as_string(lilv_scale_point_get_label(point));
            vstSynth.setParameter(index, value);
            // A point's value is kept as it is (the body types' points are their snapped values).
            EXPECT_TRUE(sameBits(vstSynth.getParameter(index), value)) << label;
            if (index != kFilterTopology && index != kQuality)
            {
                EXPECT_EQ(vstSynth.text(effGetParamDisplay, index), label);
            }
        }
        lilv_scale_points_free(points);
    }
}

TEST_F(Lv2Bundle, PresetsAreTheFactoryProgramsAndSoundLikeThem)
{
    LilvNode* presetClass = host.uri(LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(host.plugin(), presetClass);
    lilv_node_free(presetClass);
    ASSERT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(kFactoryPrograms));
    const LV2_URID floatType = urids.map(LV2_ATOM__Float);
    int seen = 0;
    LILV_FOREACH(nodes, i, presets)
    {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        const std::string uri = lilv_node_as_uri(preset);
        const int program = std::stoi(uri.substr(std::string(lv2uri::kPresetPrefix).size()));
        SCOPED_TRACE(uri);
        lilv_world_load_resource(host.world(), preset);
        LilvState* state = lilv_state_new_from_world(host.world(), urids.lv2Map(), preset);
        ASSERT_NE(state, nullptr);

        VstInstance vstSynth(vst, kRate);
        ASSERT_TRUE(vstSynth.valid());
        vstSynth.dispatch(effSetProgram, 0, program);
        EXPECT_EQ(lilv_state_get_label(state), vstSynth.text(effGetProgramName, 0));

        Lv2Instance lv2Synth(host, urids, kRate);
        ASSERT_TRUE(lv2Synth.valid());
        struct Values
        {
            std::map<std::string, float> bySymbol;
            LV2_URID floatType;
        } values{{}, floatType};
        lilv_state_emit_port_values(
            state,
            [](const char* portSymbol, void* user, const void* value, uint32_t size, uint32_t type) {
                auto* v = static_cast<Values*>(user);
                if (size == sizeof(float) && type == v->floatType)
                    std::memcpy(&v->bySymbol[portSymbol], value, sizeof(float));
            },
            &values);
        lilv_state_free(state);
        EXPECT_EQ(values.bySymbol.size(), static_cast<size_t>(kNumParams));
        for (int32_t p = 0; p < kNumParams; p++)
        {
            auto found = values.bySymbol.find(symbol(static_cast<uint32_t>(p)));
            ASSERT_NE(found, values.bySymbol.end()) << p;
            EXPECT_TRUE(sameBits(found->second, vstSynth.getParameter(p))) << p << ": " << found->second;
            lv2Synth.control(p) = found->second;
        }

        // A chord and a bend played through both: the preset sounds exactly as the program.
        const uint8_t chord[][3] = {{0x90, 48, 100}, {0x90, 55, 80}, {0x91, 64, 120}, {0xE0, 0, 80}};
        for (int block = 0; block < 24; block++)
        {
            if (block == 1)
                for (const auto& message : chord)
                {
                    lv2Synth.midi().add(17, message, 3);
                    vstSynth.addMidi(17, message, 3);
                }
            lv2Synth.run(512);
            vstSynth.run(512);
            for (int channel = 0; channel < 2; channel++)
                ASSERT_EQ(std::memcmp(lv2Synth.output(channel), vstSynth.output(channel), 512 * sizeof(float)), 0)
                    << "block " << block << " channel " << channel;
        }
        seen |= 1 << program;
    }
    EXPECT_EQ(seen, (1 << kFactoryPrograms) - 1);
    lilv_nodes_free(presets);
}

// A seeded session of parameter changes, MIDI at random frames and audio input, in blocks of random sizes.
struct Session
{
    struct Change
    {
        int32_t index;
        float value;
    };
    struct Block
    {
        uint32_t frames = 0;
        std::vector<Change> changes;
        std::vector<std::pair<int32_t, std::array<uint8_t, 3>>> midi; // in frame order
        bool noise = false;
    };
    std::vector<Block> blocks;
};

Session makeSession(uint32_t seed, const std::array<float, kNumParams>& start)
{
    std::mt19937 dice(seed);
    auto upTo = [&](int n) { return static_cast<int>(dice() % static_cast<uint32_t>(n)); };
    std::array<float, kNumParams> current = start;
    Session session;
    const uint8_t controllers[] = {1, 105, 106, 107, 126, 7, 64};
    for (int b = 0; b < kBlocksPerSession; b++)
    {
        Session::Block block;
        block.frames = static_cast<uint32_t>(1 + upTo(upTo(4) == 0 ? 4096 : 700));
        if (upTo(4) == 0)
        {
            for (int c = 1 + upTo(3); c > 0; c--)
            {
                const int32_t index = upTo(kNumParams);
                float value = static_cast<float>(dice() >> 8) / 16777216.0f;
                // A host writes a port that changed; the VST 2.x build applies every write, so a write of the
                // value already held (which redraws a random body) is left out of the session.
                if (value == current[static_cast<size_t>(index)])
                    continue;
                current[static_cast<size_t>(index)] = value;
                block.changes.push_back({index, value});
            }
        }
        for (int m = upTo(5); m > 0; m--)
        {
            std::array<uint8_t, 3> bytes{};
            const uint8_t channel = static_cast<uint8_t>(upTo(16));
            const int kind = upTo(10);
            if (kind < 5)
                bytes = {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(30 + upTo(70)),
                         static_cast<uint8_t>(upTo(8) == 0 ? 0 : 1 + upTo(127))};
            else if (kind < 7)
                bytes = {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(30 + upTo(70)), 64};
            else if (kind < 8)
                bytes = {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(upTo(128)),
                         static_cast<uint8_t>(upTo(128))};
            else if (kind < 9)
                bytes = {static_cast<uint8_t>(0xB0 | channel), controllers[upTo(std::size(controllers))],
                         static_cast<uint8_t>(upTo(128))};
            else
                bytes = {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(upTo(128)), 0};
            block.midi.push_back({upTo(static_cast<int>(block.frames)), bytes});
        }
        std::stable_sort(block.midi.begin(), block.midi.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        block.noise = upTo(5) == 0;
        session.blocks.push_back(block);
    }
    return session;
}

TEST_F(Lv2Bundle, RandomSessionsRenderTheVstLibrarysSamplesAndTellTheUiOfControllerMoves)
{
    const LV2_URID objectType = urids.map(LV2_ATOM__Object);
    const LV2_URID moveType = urids.map(lv2uri::kControllerMove);
    const LV2_URID indexKey = urids.map(lv2uri::kParameterIndex);
    const LV2_URID valueKey = urids.map(lv2uri::kParameterValue);
    const LV2_URID intType = urids.map(LV2_ATOM__Int);
    const LV2_URID floatType = urids.map(LV2_ATOM__Float);
    const std::map<int, int32_t> mapped = {{1, kFilterSustain}, {105, kLeakageCutoff}, {106, kResonance}, {107, kWarp}};

    for (uint32_t seed = 1; seed <= 6; seed++)
    {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const float rate = seed % 2 == 0 ? 44100.0f : kRate;
        Lv2Instance lv2Synth(host, urids, rate);
        VstInstance vstSynth(vst, rate);
        ASSERT_TRUE(lv2Synth.valid() && vstSynth.valid());
        std::array<float, kNumParams> start{};
        for (int32_t p = 0; p < kNumParams; p++)
            start[static_cast<size_t>(p)] = lv2Synth.control(p);
        const Session session = makeSession(seed, start);

        uint32_t noise = seed;
        int moves = 0;
        for (size_t b = 0; b < session.blocks.size(); b++)
        {
            const Session::Block& block = session.blocks[b];
            for (const Session::Change& change : block.changes)
            {
                lv2Synth.control(change.index) = change.value;
                vstSynth.setParameter(change.index, change.value);
            }
            std::vector<std::pair<int64_t, std::pair<int32_t, float>>> expectedMoves;
            for (const auto& [frame, bytes] : block.midi)
            {
                const uint32_t size = (bytes[0] & 0xF0) == 0xC0 ? 2 : 3;
                lv2Synth.midi().add(frame, bytes.data(), size);
                vstSynth.addMidi(frame, bytes.data(), size);
                auto found = mapped.find(bytes[1]);
                if ((bytes[0] & 0xF0) == 0xB0 && found != mapped.end())
                    expectedMoves.push_back({frame, {found->second, static_cast<float>(bytes[2]) / 127.0f}});
            }
            for (uint32_t i = 0; i < block.frames; i++)
                for (int channel = 0; channel < 2; channel++)
                {
                    noise = noise * 1664525u + 1013904223u;
                    const float v = block.noise ? (static_cast<float>(noise >> 9) / 8388608.0f - 1.0f) * 0.05f : 0.0f;
                    lv2Synth.input(channel)[i] = v;
                    vstSynth.input(channel)[i] = v;
                }
            lv2Synth.run(block.frames);
            vstSynth.run(static_cast<int32_t>(block.frames));
            for (int channel = 0; channel < 2; channel++)
                ASSERT_EQ(std::memcmp(lv2Synth.output(channel), vstSynth.output(channel), block.frames * sizeof(float)), 0)
                    << "block " << b << " of " << block.frames << " frames, channel " << channel;

            // Each mapped controller is on the notify port at its frame, with the parameter and its value.
            size_t next = 0;
            LV2_ATOM_SEQUENCE_FOREACH(lv2Synth.notify(), event)
            {
                ASSERT_LT(next, expectedMoves.size());
                const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
                ASSERT_EQ(object->atom.type, objectType);
                ASSERT_EQ(object->body.otype, moveType);
                const LV2_Atom* index = nullptr;
                const LV2_Atom* value = nullptr;
                lv2_atom_object_get(object, indexKey, &index, valueKey, &value, 0);
                ASSERT_TRUE(index != nullptr && value != nullptr && index->type == intType && value->type == floatType);
                EXPECT_EQ(event->time.frames, expectedMoves[next].first);
                EXPECT_EQ(reinterpret_cast<const LV2_Atom_Int*>(index)->body, expectedMoves[next].second.first);
                EXPECT_EQ(reinterpret_cast<const LV2_Atom_Float*>(value)->body, expectedMoves[next].second.second);
                next++;
                moves++;
            }
            EXPECT_EQ(next, expectedMoves.size()) << "block " << b;
        }
        EXPECT_GT(moves, 0);

        // The bank the state saves is the VST 2.x library's bank after the same session, to the byte: the
        // edits and the controller moves are in the current program's record.
        StoredState saved = saveState(lv2Synth);
        EXPECT_EQ(saved.values[urids.map(lv2uri::kStateBank)], vstBank(vstSynth));
    }
}

TEST_F(Lv2Bundle, RunAllocatesNothingWhateverTheCycleBrings)
{
    Lv2Instance synth(host, urids, kRate);
    ASSERT_TRUE(synth.valid());
    std::array<float, kNumParams> start{};
    for (int32_t p = 0; p < kNumParams; p++)
        start[static_cast<size_t>(p)] = synth.control(p);
    const Session session = makeSession(11, start);
    long allocations = 0;
    int moves = 0;
    for (const Session::Block& block : session.blocks)
    {
        for (const Session::Change& change : block.changes)
            synth.control(change.index) = change.value;
        for (const auto& [frame, bytes] : block.midi)
        {
            synth.midi().add(frame, bytes.data(), 3);
            moves += (bytes[0] & 0xF0) == 0xB0 ? 1 : 0;
        }
        // The host's side of the cycle (emptying its buffers) allocates nothing either.
        allocations::Counter counter;
        synth.run(block.frames);
        allocations += counter.count();
    }
    EXPECT_GT(moves, 0);
    EXPECT_EQ(allocations, 0);
}

TEST_F(Lv2Bundle, StateCarriesTheBankTheProgramAndTheNamesThroughLilv)
{
    const LV2_URID bankKey = urids.map(lv2uri::kStateBank);
    const LV2_URID programKey = urids.map(lv2uri::kStateProgram);
    const LV2_URID chunkType = urids.map(LV2_ATOM__Chunk);
    const LV2_URID intType = urids.map(LV2_ATOM__Int);

    // A fresh instance saves the bank the VST 2.x library hands out, and program 0.
    Lv2Instance first(host, urids, kRate);
    ASSERT_TRUE(first.valid());
    ASSERT_NE(first.state(), nullptr);
    VstInstance vstSynth(vst, kRate);
    StoredState fresh = saveState(first);
    EXPECT_EQ(fresh.values[bankKey], vstBank(vstSynth));
    EXPECT_EQ(fresh.types[bankKey], chunkType);
    EXPECT_EQ(fresh.types[programKey], intType);
    ASSERT_EQ(fresh.values[programKey].size(), 4u);
    EXPECT_EQ(fresh.values[programKey], std::vector<uint8_t>(4, 0));

    // A bank of its own: renamed programs, other values, program 5 current.
    ProgramBank bank;
    bank.loadFactoryPresets();
    for (int32_t p = 0; p < kNumPrograms; p++)
    {
        bank.setName(p, ("program number " + std::to_string(p) + " with a long name").c_str());
        for (int32_t i = 0; i < kNumParams; i++)
            bank.program(p).fParams[i] = static_cast<float>((p * 37 + i * 11) % 101) / 100.0f;
    }
    StoredState crafted;
    const auto* image = reinterpret_cast<const uint8_t*>(bank.records());
    crafted.values[bankKey].assign(image, image + kBankChunkSize);
    crafted.types[bankKey] = chunkType;
    const int32_t five = 5;
    crafted.values[programKey].assign(reinterpret_cast<const uint8_t*>(&five), reinterpret_cast<const uint8_t*>(&five) + 4);
    crafted.types[programKey] = intType;
    LV2_Handle handle = lilv_instance_get_handle(first.instance());
    ASSERT_EQ(first.state()->restore(handle, StoredState::retrieve, &crafted, 0, nullptr), LV2_STATE_SUCCESS);
    first.run(64);
    EXPECT_EQ(saveState(first).values, crafted.values);

    // Through lilv: snapshot with the port values, Turtle text, parsed again, restored into a new instance.
    first.control(kWarp) = 0.25f;
    first.run(64);
    struct Ports
    {
        Lv2Instance* instance;
        const LilvPlugin* plugin;
        LV2_URID floatType;
    } ports{&first, host.plugin(), urids.map(LV2_ATOM__Float)};
    auto portValue = [](const char* portSymbol, void* user, uint32_t* size, uint32_t* type) -> const void* {
        auto* p = static_cast<Ports*>(user);
        for (uint32_t i = 0; i < static_cast<uint32_t>(kNumParams); i++)
        {
            const LilvPort* port = lilv_plugin_get_port_by_index(p->plugin, i);
            if (std::strcmp(lilv_node_as_string(lilv_port_get_symbol(p->plugin, port)), portSymbol) == 0)
            {
                *size = sizeof(float);
                *type = p->floatType;
                return &p->instance->control(static_cast<int32_t>(i));
            }
        }
        return nullptr;
    };
    LilvState* snapshot = lilv_state_new_from_instance(host.plugin(), first.instance(), urids.lv2Map(), nullptr,
                                                       nullptr, nullptr, nullptr, portValue, &ports,
                                                       LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, nullptr);
    ASSERT_NE(snapshot, nullptr);
    char* text = lilv_state_to_string(host.world(), urids.lv2Map(), urids.lv2Unmap(), snapshot,
                                      "urn:zentharode:test-state", nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find(lv2uri::kStateBank), std::string::npos);

    LilvState* parsed = lilv_state_new_from_string(host.world(), urids.lv2Map(), text);
    ASSERT_NE(parsed, nullptr);

    Lv2Instance second(host, urids, kRate);
    ASSERT_TRUE(second.valid());
    // lilv writes port values with eight decimals: they come back within that, and a host that keeps them
    // exactly gets the same plug-in back.
    auto setPort = [](const char* portSymbol, void* user, const void* value, uint32_t size, uint32_t) {
        auto* p = static_cast<Ports*>(user);
        for (uint32_t i = 0; i < static_cast<uint32_t>(kNumParams); i++)
        {
            const LilvPort* port = lilv_plugin_get_port_by_index(p->plugin, i);
            if (size == sizeof(float) && std::strcmp(lilv_node_as_string(lilv_port_get_symbol(p->plugin, port)), portSymbol) == 0)
                std::memcpy(&p->instance->control(static_cast<int32_t>(i)), value, sizeof(float));
        }
    };
    Ports secondPorts{&second, host.plugin(), ports.floatType};
    lilv_state_restore(parsed, second.instance(), setPort, &secondPorts, 0, nullptr);
    for (int32_t i = 0; i < kNumParams; i++)
    {
        EXPECT_NEAR(second.control(i), first.control(i), 1e-8) << i;
        second.control(i) = first.control(i);
    }
    second.run(64);
    EXPECT_EQ(saveState(second).values, saveState(first).values);
    EXPECT_EQ(second.control(kWarp), 0.25f);
    lilv_free(text);
    lilv_state_free(parsed);
    lilv_state_free(snapshot);

    // Malformed values are refused and change nothing; an empty state changes nothing either.
    StoredState before = saveState(second);
    StoredState broken = crafted;
    broken.values[bankKey].resize(kBankChunkSize - 1);
    const int32_t outOfRange = kNumPrograms;
    broken.values[programKey].assign(reinterpret_cast<const uint8_t*>(&outOfRange),
                                     reinterpret_cast<const uint8_t*>(&outOfRange) + 4);
    LV2_Handle secondHandle = lilv_instance_get_handle(second.instance());
    EXPECT_NE(second.state()->restore(secondHandle, StoredState::retrieve, &broken, 0, nullptr), LV2_STATE_SUCCESS);
    StoredState empty;
    EXPECT_EQ(second.state()->restore(secondHandle, StoredState::retrieve, &empty, 0, nullptr), LV2_STATE_SUCCESS);
    EXPECT_EQ(saveState(second).values, before.values);
}

TEST_F(Lv2Bundle, WithoutAUridMapThereIsNoInstance)
{
    const LV2_Feature* const none[] = {nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(host.plugin(), kRate, none);
    EXPECT_EQ(instance, nullptr);
    if (instance != nullptr)
        lilv_instance_free(instance);
}
