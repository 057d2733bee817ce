#pragma once
// What the harnesses share: a program reset to its start state, loading bytes as one file, and
// a folder of their own for the files a harness writes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"

namespace qvtk::fuzz {

// Stops the run with the input that broke a rule the program keeps.
#define QVTK_FUZZ_CHECK(condition)                                                                 \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);          \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Whatever a load left, every slot is a consistent recording or a closed slot (which keeps
// no buffers at all when memory ran short while it closed).
inline void CheckSlot(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    const bool closedWithoutBuffers =
        s.file.fileKind == kFileNone && s.capacity == 0 && s.sampleCount == 1;
    QVTK_FUZZ_CHECK(s.sampleCount >= 1 && (s.sampleCount <= s.capacity || closedWithoutBuffers));
    QVTK_FUZZ_CHECK(s.sampleCount <= kMaxSampleCount + 1);
    QVTK_FUZZ_CHECK(s.laps.count >= 1 && s.laps.count + 2 < kLapMarkEntries);
    for (int c = 0; c < kColumnCount; ++c) QVTK_FUZZ_CHECK(!IsPresent(s, c) || HasFullBuffer(s, c));
}

// Back to the start state with memory as the system gives it: a harness's allocation limit
// is for its load, and must not starve the next run's start.
inline void ResetWithoutLimit() {
    FailAllocationsAfterBytesForTesting(0);
    ResetProgram();
}

// Loads the bytes once into File 1 of a program that has just started.
inline void LoadOnce(const char* path, const uint8_t* data, size_t size) {
    static const bool started = (ResetProgram(), true); // later runs end in the start state
    (void)started;
    FileSlot slot = 0;
    LoadLogFile(slot, path, std::span<const uint8_t>(data, size));
    CheckSlot(slot);
    // Back to the start state: a run that frees what it allocated is not run a second time to
    // look for leaks.
    ResetWithoutLimit();
}

// A folder of this process for the files a harness writes, made on first use and removed at
// exit; in memory where the system has such a folder, since every save is synced to disk.
inline const std::string& HarnessFolder() {
    // Never destroyed: the removal at exit still needs the name.
    static const std::string* folder = [] {
        std::string name = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
        name += "/qvtk_fuzz_XXXXXX";
        if (!mkdtemp(name.data())) std::abort();
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(HarnessFolder(), ec);
        });
        return new std::string(name);
    }();
    return *folder;
}

// The harness's own fixtures, written as the program writes its files.
inline void WriteFixture(const std::string& path, std::string_view bytes) {
    if (!WriteWholeFile(path, bytes)) std::abort();
}

// Loads the bytes into File 1 and again into File 2 (which lines its columns up with File 1),
// checking every slot after each load. `prepare` runs before each load.
inline void LoadTwice(const char* path, const uint8_t* data, size_t size,
                      void (*prepare)() = nullptr) {
    ResetWithoutLimit();
    const std::span<const uint8_t> bytes(data, size);
    for (FileSlot asked : {0, 1}) {
        if (prepare) prepare();
        FileSlot slot = asked;
        LoadLogFile(slot, path, bytes);
        CheckSlot(slot);
    }
    ResetWithoutLimit(); // a run ends in the start state, as LoadOnce's do
}

} // namespace qvtk::fuzz
