// Family-3 loads beside each other: conversion tables follow each file's own header, and a load
// that runs out of address space says so and leaves the program able to load again.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <malloc.h>

#include <fstream>
#include <tuple>

#include "tests/data/family3_fixture.h"

namespace qvtk::test {
namespace {

enum { kNe, kTps, kVfw, kVrw, kFr, kRr, kLaf1, kLaf2, kVb, kAux1 };

class Family3TablesTest : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        g_settings.SmoothingSTD = 0;
    }
};

// What sample 1 holds in the columns a calibration reaches.
std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t> Values(const Family3File& f) {
    Load(0, "ride.qvd", f.bytes());
    return {At(kNe, 1), At(kTps, 1), At(kFr, 1), At(kRr, 1), At(kAux1, 1)};
}

TEST_F(Family3TablesTest, ASecondRecordingOfTheSameVersionKeepsItsOwnCalibration) {
    const Family3Sample sample{
        .pulses = 3000, .throttle = 120, .front = 600, .rear = 700, .aux1 = 150, .vb = 200};
    auto file = [&](int pulses, int open, int frontZero, int rearZero, int auxGain) {
        Family3File f(2);
        f.Set(16, uint8_t(pulses)).Throttle(20, open).Sensor(0, 1, frontZero, -1500);
        f.Sensor(1, 1, rearZero, 1200).InputType(2, 2).InputGainOffset(2, auxGain, 0);
        return f.Append(sample);
    };
    const auto base = Values(file(2, 220, 400, 200, 100));
    // One header value changed at a time: only its column may change, and it must.
    const Family3File changed[] = {file(4, 220, 400, 200, 100), file(2, 120, 400, 200, 100),
                                   file(2, 220, 300, 200, 100), file(2, 220, 400, 100, 100),
                                   file(2, 220, 400, 200, 300)};
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const auto other = Values(changed[k]);
        const int32_t a[5] = {std::get<0>(base), std::get<1>(base), std::get<2>(base),
                              std::get<3>(base), std::get<4>(base)};
        const int32_t b[5] = {std::get<0>(other), std::get<1>(other), std::get<2>(other),
                              std::get<3>(other), std::get<4>(other)};
        for (int c = 0; c < 5; ++c) EXPECT_EQ(a[c] != b[c], c == k) << "value " << c;
        EXPECT_EQ(Values(file(2, 220, 400, 200, 100)), base); // and back again
    }
}

#if defined(__SANITIZE_ADDRESS__)
#define QVTK_NO_ADDRESS_LIMIT 1 // the sanitizer reserves far more address space than any limit
#endif

// The process's address space in bytes.
size_t AddressSpace() {
    std::ifstream statm("/proc/self/statm");
    size_t pages = 0;
    statm >> pages;
    return pages * size_t(sysconf(_SC_PAGESIZE));
}

// Loads `path` in a child process whose address space may grow only by `room` bytes, then
// again without the limit; the child's exit status: 1 loaded anyway, 2 no memory message, 4 slot
// not closed, 8 no load afterwards, 16 an exception escaped.
int LoadWithLittleMemory(const std::string& path, size_t room, int32_t samples) {
    const pid_t child = fork();
    if (child == 0) { // alone in the child: no other thread takes memory meanwhile
        // Larger blocks mapped on their own, not taken from what the heap has free.
        mallopt(M_MMAP_THRESHOLD, 64 << 10);
        malloc_trim(0);
        rlimit saved{};
        getrlimit(RLIMIT_AS, &saved);
        rlimit tight = saved;
        tight.rlim_cur = AddressSpace() + room;
        setrlimit(RLIMIT_AS, &tight);
        try {
            FileSlot slot = 0;
            const bool refused = !LoadFileIntoSlot(slot, path);
            const bool said =
                SawMessage("Memory Error!!", "Memory Ensure Error.(Data Main buffers)");
            const bool closed = SlotOf(0).file.fileKind == kFileNone;
            setrlimit(RLIMIT_AS, &saved);
            const bool again = LoadFileIntoSlot(slot, path) && SlotOf(0).sampleCount == samples + 1;
            _exit((refused ? 0 : 1) | (said ? 0 : 2) | (closed ? 0 : 4) | (again ? 0 : 8));
        } catch (...) {
            _exit(16); // the failure escaped the load
        }
    }
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    if (!WIFEXITED(status)) return 128 + WTERMSIG(status); // the load ended the program
    return WEXITSTATUS(status);
}

TEST_F(Family3TablesTest, ALoadThatRunsOutOfMemorySaysSoAndTheNextLoadWorks) {
#ifdef QVTK_NO_ADDRESS_LIMIT
    GTEST_SKIP() << "no address space limit under the address sanitizer";
#endif
    // Version 4 with calibrations no other load has used: its 65 536-entry conversion tables
    // are new. A long file runs out in its sample tables, a short one in its conversion tables.
    // Reading a file maps it with up to a huge page (2 MiB) of slack.
    struct Case {
        int32_t samples;
        size_t room; // beyond the file's own size
    } const cases[] = {{100000, 5 << 19}, {5000, 1 << 20}};
    int gain = 5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        Family3File f(4);
        f.Throttle(31, 77, ++gain).Sensor(0, 1, 333, 900).InputType(3, 2);
        f.InputGainOffset(3, 77, gain);
        f.Append({.pulses = 1000, .throttle = 3000, .vb = 40000}, c.samples);
        const std::string path = WriteTempFile("big.qvd", f.bytes());
        EXPECT_EQ(LoadWithLittleMemory(path, f.bytes().size() + c.room, c.samples), 0);
        std::filesystem::remove_all(std::filesystem::path(path).parent_path());
    }
}

} // namespace
} // namespace qvtk::test
