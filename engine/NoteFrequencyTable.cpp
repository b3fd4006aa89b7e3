// The note-frequency table: equal temperament anchored so that note 69 is 440 Hz.
#include "NoteFrequencyTable.h"

#include <cstddef>

namespace
{
constexpr double kBaseFrequency = 6.875;       // note -3, an A four octaves below 110 Hz
constexpr double kSemitone = 1.059463094359;   // 2^(1/12) as the table has always used it
constexpr int kStepsBelowNoteZero = 3;
} // namespace

NoteFrequencies buildNoteFrequencyTable()
{
    NoteFrequencies table{};
    double v = kBaseFrequency;
    for (int i = 0; i < kStepsBelowNoteZero; i++)
        v *= kSemitone;
    for (int i = 0; i < kNoteTableSize; i++)
    {
        table[static_cast<std::size_t>(i)] = static_cast<float>(v);
        v *= kSemitone;
    }
    return table;
}

const NoteFrequencies& noteFrequencyTable()
{
    // A function-local static is built exactly once even when two plug-ins start on two threads.
    static const NoteFrequencies table = buildNoteFrequencyTable();
    return table;
}
