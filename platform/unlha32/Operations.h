#pragma once
// The archive operations behind the command letters.

#include <cstdint>
#include <string>

#include "platform/unlha32/CommandLine.h"

namespace corvane::lha {

// a, u, f: add or replace members. d: delete members. Both rebuild the archive beside the old one and
// rename it into place only when complete.
int UpdateArchive(const TCommand& command, std::string& report);
int DeleteMembers(const TCommand& command, std::string& report);
// x, e: extract into the base directory (default: the current directory). t: check every CRC.
int ExtractMembers(const TCommand& command, std::string& report);
int TestArchive(const TCommand& command, std::string& report);
// l, v: a listing table.
int ListArchive(const TCommand& command, std::string& report);
// One member into memory (see UnlhaExtractMem).
int ExtractToMemory(const TCommand& command, uint8_t* buffer, uint32_t bufferSize, uint64_t* fileTime,
                    uint32_t* attributes, uint32_t* writeSize);

// Runs the command's letter.
int RunCommand(const TCommand& command, std::string& report);

}  // namespace corvane::lha
