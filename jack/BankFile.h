// The standalone program's bank file: the 5632-byte bank image (the 32 records back to back, as the VST 2.x
// build hands its bank to hosts) followed by the current program's number; a bare bank image or a single
// 176-byte program image is read as well.
#pragma once

#include "params/ProgramBank.h"

#include <cstdint>
#include <string>

constexpr int32_t kBankFileSize = kBankChunkSize + 4; // the program number, 32-bit little-endian

struct BankFile
{
    SynthProgram records[kNumPrograms]{};
    int32_t program = 0;
};

enum class BankFileKind
{
    bank,    // all 32 records (and maybe the program number)
    program, // one record, for the current program
};

// Reads a file into contents (a program image fills records[0]); false with the reason in error.
bool readBankFile(const std::string& path, BankFile& contents, BankFileKind& kind, std::string& error);
// Writes the bank and the program number, replacing the file only once all is written.
bool writeBankFile(const std::string& path, const BankFile& contents, std::string& error);
