#pragma once
// Reading a file the program was pointed at (a recording, a course file, an INI file): only a
// regular file is read. A FIFO, a device or a directory is refused before anything waits on it,
// and a file larger than the memory the system can give is refused before it is read.
#include <cstdint>
#include <string>

namespace qvtk {

enum class ReadFailure { kNone, kNotFound, kNotRegular, kPermissionDenied, kTooLarge, kReadError };

// The reason as a user reads it: "not found", "not a regular file", "permission denied",
// "too large for memory", "read error"; empty for kNone.
const char* ReadFailureText(ReadFailure failure);

// Opens path for reading when it is a regular file whose size fits in memory; the descriptor
// (to be closed by the caller) or -1 with the reason.
int OpenRegularFile(const std::string& path, uint64_t& size, ReadFailure& failure);

// The whole file as text; false (out empty) with the reason when it cannot be read.
bool ReadWholeTextFile(const std::string& path, std::string& out, ReadFailure* failure = nullptr);

// Bytes of memory the system can still give without swapping (what a load may use).
uint64_t AvailableMemoryBytes();
// Lets tests pretend the machine has this much free memory; 0 asks the system again.
void SetAvailableMemoryForTesting(uint64_t bytes);

} // namespace qvtk
