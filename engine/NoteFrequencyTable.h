// Frequency in Hz of every MIDI note, shared by all voices of the process.
#pragma once

#include <array>

constexpr int kNoteTableSize = 128;

using NoteFrequencies = std::array<float, kNoteTableSize>;

// Computes the table: a semitone ratio applied in double precision from 6.875 Hz, three steps below note 0.
NoteFrequencies buildNoteFrequencyTable();

// The table, built on first use (the engine initialisation makes that first use).
const NoteFrequencies& noteFrequencyTable();
