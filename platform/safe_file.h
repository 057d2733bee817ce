#pragma once
// The one way this program writes a file a user keeps (settings, layouts, sector and setup
// files, exports, pictures, rewritten recordings): a temporary file in the target's folder,
// every write, the flush and the close checked, then renamed over the target. A failure
// removes the temporary file and leaves the target byte for byte as it was.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qvtk {

// Why the last write of this thread failed ("permission denied", "no space left on device",
// ...), or empty after a success.
const std::string& LastWriteFailure();
// Sets that reason for a write refused before the safe path ran (the old file unreadable).
void NoteWriteFailure(const std::string& why);

// Writes bytes as the whole content of path. A symbolic link is written through to its
// target; a target the user may not write (read-only) is left alone and refused. The new file
// keeps the permissions of the one it replaces.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

// A file written piece by piece (exports of hundreds of megabytes) with the same guarantees.
// Nothing reaches the target until CommitSafeFile succeeds; a writer that is destroyed or
// abandoned before that leaves no trace.
struct SafeFile {
    std::string target; // the file replaced at commit (a link's target)
    std::string temp;   // the temporary file beside it
    std::FILE* file = nullptr;
    bool failed = false;
    std::string failure;

    SafeFile() = default;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile();
};

bool BeginSafeFile(SafeFile& f, const std::string& path);
// False once any write failed; later writes do nothing.
bool WriteSafeFile(SafeFile& f, std::string_view bytes);
// Flush, sync, close and rename; false (target untouched) when anything failed.
bool CommitSafeFile(SafeFile& f);
void AbandonSafeFile(SafeFile& f);

// Replaces `bytes.size()` bytes at `offset` of an existing file (a recording's header): the
// whole file is written anew through the safe path, then the range is read back and compared.
// False, with the file as it was before, when the range lies outside the file or any step
// fails; false also when the bytes read back differ.
bool ReplaceFileBytes(const std::string& path, uint64_t offset, std::string_view bytes);

// Removes temporary files of ours ("NAME.tmp-XXXXXX") in the folder that are older than
// `minAgeSeconds`: what a write cut short by a killed program left behind. Returns how many.
int RemoveStaleTempFiles(const std::string& folder, int minAgeSeconds = 10);

} // namespace qvtk
