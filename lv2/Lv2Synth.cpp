// The LV2 plug-in instance: start-up as the VST 2.x build starts, control ports, MIDI, notify port and state.
#include "lv2/Lv2Synth.h"

#include "lv2/Lv2Ports.h"
#include "params/ParameterApplication.h"

#include <lv2/atom/util.h>
#include <lv2/midi/midi.h>

#include <bit>
#include <chrono>
#include <cstring>
#include <limits>
#include <thread>

static_assert(std::endian::native == std::endian::little, "the bank image holds little-endian floats");

namespace
{
// Room a controller move takes in the notify sequence: event header, object header and two properties.
constexpr uint32_t kMoveBytes = 96;
// How long save waits for run to finish writing the records before it copies them as they are.
constexpr auto kSnapshotPatience = std::chrono::milliseconds(500);

// The records are written by run while save may read them: every access to their values is atomic.
float loadValue(const float& value)
{
    return std::atomic_ref<const float>(value).load(std::memory_order_relaxed);
}

void storeValue(float& value, float v)
{
    std::atomic_ref<float>(value).store(v, std::memory_order_relaxed);
}

uint32_t bitsOf(float value)
{
    return std::bit_cast<uint32_t>(value);
}

int32_t frameOffset(int64_t frames)
{
    if (frames < 0)
        return 0;
    return frames > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                        : static_cast<int32_t>(frames);
}

} // namespace

Lv2Synth* Lv2Synth::create(double sampleRate, const LV2_Feature* const* features)
{
    auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(findFeature(features, LV2_URID__map)));
    if (map == nullptr || map->map == nullptr)
        return nullptr;
    try
    {
        return new Lv2Synth(sampleRate, map);
    }
    catch (...)
    {
        return nullptr;
    }
}

Lv2Synth::Lv2Synth(double sampleRate, LV2_URID_Map* map)
{
    fUris.midiEvent = map->map(map->handle, LV2_MIDI__MidiEvent);
    fUris.chunk = map->map(map->handle, LV2_ATOM__Chunk);
    fUris.integer = map->map(map->handle, LV2_ATOM__Int);
    fUris.real = map->map(map->handle, LV2_ATOM__Float);
    fUris.bank = map->map(map->handle, lv2uri::kStateBank);
    fUris.program = map->map(map->handle, lv2uri::kStateProgram);
    fUris.controllerMove = map->map(map->handle, lv2uri::kControllerMove);
    fUris.parameterIndex = map->map(map->handle, lv2uri::kParameterIndex);
    fUris.parameterValue = map->map(map->handle, lv2uri::kParameterValue);
    lv2_atom_forge_init(&fForge, map);

    // As the VST 2.x build starts: program 0 applied in the fixed order (its record then holds the values
    // as stored, the body types snapped), every voice silent, then the host's rate.
    fEngine.setControllerListener(this);
    fBank.loadFactoryPresets();
    SynthProgram& record = fBank.program(0);
    fEngine.applyProgram(record.fParams);
    for (int32_t i = 0; i < kNumParams; i++)
    {
        record.fParams[i] = storedParameterValue(i, record.fParams[i]);
        // The ports start at these values (the bundle's defaults): nothing to apply again.
        fSeenBits[i] = bitsOf(record.fParams[i]);
    }
    fEngine.suspend();
    fEngine.setSampleRate(static_cast<float>(sampleRate));
}

void Lv2Synth::connectPort(uint32_t port, void* data)
{
    if (lv2port::isParameter(port))
    {
        fControls[port] = static_cast<const float*>(data);
        return;
    }
    switch (port)
    {
    case lv2port::kMidiIn:
        fMidiIn = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case lv2port::kAudioInLeft:
        fInputs[0] = static_cast<const float*>(data);
        break;
    case lv2port::kAudioInRight:
        fInputs[1] = static_cast<const float*>(data);
        break;
    case lv2port::kAudioOutLeft:
        fOutputs[0] = static_cast<float*>(data);
        break;
    case lv2port::kAudioOutRight:
        fOutputs[1] = static_cast<float*>(data);
        break;
    case lv2port::kNotify:
        fNotify = static_cast<LV2_Atom_Sequence*>(data);
        break;
    default:
        break;
    }
}

void Lv2Synth::activate()
{
    fEngine.suspend();
}

void Lv2Synth::run(uint32_t frames)
{
    // The records change only between these two counts.
    fRecordSequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    applyControlPorts();
    beginNotify();
    deliverMidi();
    endNotify();
    fRecordSequence.fetch_add(1, std::memory_order_release);

    // Every event of the cycle is in before the cycle renders, as the VST 2.x build takes a block's events.
    fEngine.renderBlock(fInputs, fOutputs, frameOffset(frames), true);
}

void Lv2Synth::applyControlPorts()
{
    for (int32_t index : kProgramApplyOrder)
    {
        const float* port = fControls[index];
        if (port == nullptr)
            continue;
        const float value = *port;
        const uint32_t bits = bitsOf(value);
        if (bits == fSeenBits[index])
            continue;
        fSeenBits[index] = bits;
        fEngine.setParameter(index, value);
        storeRecordValue(index, storedParameterValue(index, value));
    }
}

void Lv2Synth::deliverMidi()
{
    if (fMidiIn == nullptr || fMidiIn->atom.size < sizeof(LV2_Atom_Sequence_Body))
        return;
    LV2_ATOM_SEQUENCE_FOREACH(fMidiIn, event)
    {
        if (event->body.type != fUris.midiEvent || event->body.size == 0)
            continue;
        const auto* bytes = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body));
        const uint32_t size = event->body.size;
        fEventFrame = event->time.frames;
        fEngine.midiEvent(frameOffset(event->time.frames), bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
    }
}

void Lv2Synth::beginNotify()
{
    fNotifyOpen = false;
    if (fNotify == nullptr)
        return;
    // The host says in the atom's size how much room the buffer has.
    const uint32_t capacity = fNotify->atom.size;
    lv2_atom_forge_set_buffer(&fForge, reinterpret_cast<uint8_t*>(fNotify), capacity);
    fNotifyOpen = lv2_atom_forge_sequence_head(&fForge, &fNotifyFrame, 0) != 0;
}

void Lv2Synth::endNotify()
{
    if (fNotifyOpen)
        lv2_atom_forge_pop(&fForge, &fNotifyFrame);
    fNotifyOpen = false;
}

void Lv2Synth::controllerMoved(int32_t index, float value)
{
    // The engine has applied the value; the edit buffer follows, and the UI is told.
    storeRecordValue(index, value);
    if (!fNotifyOpen || fForge.size - fForge.offset < kMoveBytes)
        return; // no notify buffer, or it is full: the UI misses this move
    lv2_atom_forge_frame_time(&fForge, fEventFrame);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&fForge, &object, 0, fUris.controllerMove);
    lv2_atom_forge_key(&fForge, fUris.parameterIndex);
    lv2_atom_forge_int(&fForge, index);
    lv2_atom_forge_key(&fForge, fUris.parameterValue);
    lv2_atom_forge_float(&fForge, value);
    lv2_atom_forge_pop(&fForge, &object);
}

void Lv2Synth::storeRecordValue(int32_t index, float value)
{
    storeValue(currentRecord().fParams[index], value);
}

LV2_State_Status Lv2Synth::save(LV2_State_Store_Function store, LV2_State_Handle handle)
{
    if (store == nullptr)
        return LV2_STATE_ERR_UNKNOWN;
    // One instant of the bank: copied again while run was writing the records meanwhile.
    const auto deadline = std::chrono::steady_clock::now() + kSnapshotPatience;
    for (;;)
    {
        const uint32_t before = fRecordSequence.load(std::memory_order_acquire);
        for (int32_t p = 0; p < kNumPrograms; p++)
        {
            const SynthProgram& record = fBank.program(p);
            for (int32_t i = 0; i < kNumParams; i++)
                fSavedBank[p].fParams[i] = loadValue(record.fParams[i]);
            // Names change only in restore, which never runs beside save.
            std::memcpy(fSavedBank[p].name, record.name, sizeof record.name);
        }
        fSavedProgram = fProgram.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        const uint32_t after = fRecordSequence.load(std::memory_order_relaxed);
        if ((before == after && (before & 1u) == 0) || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::yield();
    }
    const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    const LV2_State_Status bank = store(handle, fUris.bank, fSavedBank, sizeof fSavedBank, fUris.chunk, flags);
    const LV2_State_Status program =
        store(handle, fUris.program, &fSavedProgram, sizeof fSavedProgram, fUris.integer, flags);
    return bank != LV2_STATE_SUCCESS ? bank : program;
}

LV2_State_Status Lv2Synth::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle)
{
    if (retrieve == nullptr)
        return LV2_STATE_ERR_UNKNOWN;
    // What is missing keeps its value (a host may restore an empty state); what is malformed too, reported.
    LV2_State_Status status = LV2_STATE_SUCCESS;
    size_t size = 0;
    uint32_t type = 0;
    uint32_t flags = 0;
    if (const void* bank = retrieve(handle, fUris.bank, &size, &type, &flags))
    {
        if (type == fUris.chunk && size == static_cast<size_t>(kBankChunkSize))
            std::memcpy(static_cast<void*>(fBank.records()), bank, size);
        else
            status = LV2_STATE_ERR_BAD_TYPE;
    }
    if (const void* program = retrieve(handle, fUris.program, &size, &type, &flags))
    {
        int32_t number = -1;
        if (type == fUris.integer && size == sizeof number)
            std::memcpy(&number, program, sizeof number);
        if (ProgramBank::isProgram(number))
            fProgram.store(number, std::memory_order_relaxed);
        else
            status = LV2_STATE_ERR_BAD_TYPE;
    }
    // The engine keeps what the ports hold: the host restores their values beside this state.
    return status;
}
