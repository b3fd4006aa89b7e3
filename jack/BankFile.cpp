// Reading and writing the standalone program's bank file.
#include "jack/BankFile.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the bank image holds little-endian values");

namespace
{
std::string systemReason()
{
    return std::strerror(errno);
}
} // namespace

bool readBankFile(const std::string& path, BankFile& contents, BankFileKind& kind, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
    {
        error = path + ": " + systemReason();
        return false;
    }
    // One byte more than the largest size, so that a longer file is seen as one.
    std::vector<char> bytes(static_cast<size_t>(kBankFileSize) + 1);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const size_t size = static_cast<size_t>(file.gcount());
    if (file.bad())
    {
        error = path + ": " + systemReason();
        return false;
    }
    if (size == static_cast<size_t>(kPresetChunkSize))
    {
        kind = BankFileKind::program;
        std::memcpy(static_cast<void*>(&contents.records[0]), bytes.data(), size);
        return true;
    }
    if (size != static_cast<size_t>(kBankChunkSize) && size != static_cast<size_t>(kBankFileSize))
    {
        error = path + ": not a bank or program file (" + std::to_string(size) + (size > static_cast<size_t>(kBankFileSize) ? " or more" : "")
                + " bytes; a bank has " + std::to_string(kBankChunkSize) + " or " + std::to_string(kBankFileSize)
                + ", a program " + std::to_string(kPresetChunkSize) + ")";
        return false;
    }
    kind = BankFileKind::bank;
    std::memcpy(static_cast<void*>(contents.records), bytes.data(), static_cast<size_t>(kBankChunkSize));
    contents.program = 0;
    if (size == static_cast<size_t>(kBankFileSize))
    {
        int32_t program = 0;
        std::memcpy(&program, bytes.data() + kBankChunkSize, sizeof program);
        if (!ProgramBank::isProgram(program))
        {
            error = path + ": program number " + std::to_string(program) + " is not 0..31";
            return false;
        }
        contents.program = program;
    }
    return true;
}

bool writeBankFile(const std::string& path, const BankFile& contents, std::string& error)
{
    const std::string temporary = path + ".new";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file)
        {
            error = temporary + ": " + systemReason();
            return false;
        }
        file.write(reinterpret_cast<const char*>(contents.records), kBankChunkSize);
        file.write(reinterpret_cast<const char*>(&contents.program), sizeof contents.program);
        file.close();
        if (!file)
        {
            error = temporary + ": " + systemReason();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
    {
        error = path + ": " + systemReason();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}
