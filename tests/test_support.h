#pragma once
// Shared by the tests: a clean program before each test, a program directory of its own and
// loading from bytes in memory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "analysis/load_pipeline.h"
#include "logger/program.h"
#include "data/derived_channels.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "tools/sim/course.h"
#include "tools/sim/ride.h"

namespace qvtk::test {

// A fresh temporary directory; the caller removes it.
inline std::string MakeTempDir() {
    char name[] = "/tmp/qvtk_test_XXXXXX";
    EXPECT_NE(mkdtemp(name), nullptr);
    return name;
}

// The whole file as bytes in a string (empty when it cannot be read).
inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every test starts from a program that has just started: empty slots, default settings, no
// recorded messages.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetProgram();
        SetMessageSink(nullptr);
    }
    void TearDown() override {
        FailAllocationsAfterBytesForTesting(0);
        ResetSession();
    }
};

// A clean program whose program directory (where the loaders look for their .ini files) is a
// fresh temporary directory of this test alone, removed at the end.
class TempProgramDirectory : public ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        g_session.programDirectory = dir_ = MakeTempDir();
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ProgramTest::TearDown();
    }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
        WriteFile(name, std::string(bytes.begin(), bytes.end()));
    }
    std::string dir_;
};

// A simulated ride on the course of its seed, made once per process for each set of options.
inline const sim::SimRide& SimulatedRide(uint32_t seed, int laps, int marksPerLap = 1) {
    static std::map<std::tuple<uint32_t, int, int>, sim::SimRide> rides;
    auto [at, fresh] = rides.try_emplace({seed, laps, marksPerLap});
    if (fresh) {
        sim::RideOptions options;
        options.seed = seed;
        options.laps = laps;
        options.marksPerLap = marksPerLap;
        at->second = sim::SimulateRide(sim::MakeCourse(seed), options);
    }
    return at->second;
}

// Writes bytes as the file `name` (which may hold folders) in a fresh directory of its own and
// returns its path.
inline std::string WriteTempFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = MakeTempDir() + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

// Opens bytes as the file `name` into a slot the way the program opens a file (read, reader,
// finishing steps, lap segments, File 1's display flags); returns the slot that was filled.
// The open flow refuses files of 511 bytes or less, so those go to the dispatcher directly:
// a reader must still cope with them.
inline FileSlot Load(FileSlot slot, const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.size() <= 511) {
        LoadLogFile(slot, name, bytes);
        return slot;
    }
    const std::string path = WriteTempFile(name, bytes);
    LoadFileIntoSlot(slot, path);
    std::filesystem::remove_all(path.substr(0, path.find('/', 5)));
    return slot;
}

// A present channel of a recording built in memory.
struct TestChannel {
    int column;
    ChannelCode code;
    const char* name = "";
    uint8_t kind = 1;
};

// Makes `slot` a loaded recording of `count` samples (and the spare entries a reader adds) with
// exactly the given channels present; every sample starts at 0.
inline Slot& MakeRecording(FileSlot slot, int32_t count, const std::vector<TestChannel>& list) {
    Slot& s = SlotOf(slot);
    for (uint32_t& f : s.channelFlags) f = 0;
    for (const TestChannel& c : list) {
        s.channelFlags[c.column] = kChannelPresent | kChannelShown;
        s.channels[c.column].code = c.code;
        s.channels[c.column].kind = c.kind;
        std::snprintf(s.channels[c.column].name, sizeof s.channels[c.column].name, "%s", c.name);
    }
    EXPECT_TRUE(AllocateSlotBuffers(slot, count + kSpareSamples));
    s.sampleCount = count;
    s.sampleRateFactor = 1.0f;
    s.file.fileKind = kFileFamily3;
    s.active = true;
    return s;
}

inline void Fill(FileSlot slot, int c, int32_t value) {
    for (int32_t i = 0; i < SlotOf(slot).sampleCount; ++i) SlotOf(slot).samples[c][i] = value;
}

// Sample i of a column (0 for a column without data or outside the recording).
inline int32_t At(int column, int32_t i, FileSlot slot = 0) {
    return SampleAt(slot, column, i);
}

inline bool Loaded(FileSlot slot) {
    return SlotOf(slot).file.fileKind != kFileNone;
}

// A closed slot: one sample, no laps, buffers of 16 samples.
inline void ExpectClosed(FileSlot slot) {
    const Slot& s = SlotOf(slot);
    EXPECT_EQ(s.file.fileKind, kFileNone);
    EXPECT_EQ(s.sampleCount, 1);
    EXPECT_EQ(s.laps.count, 1);
    EXPECT_EQ(s.laps.marks[0], 0);
    EXPECT_EQ(s.laps.marks[1], 0);
}

inline bool SawMessage(const std::string& caption, const std::string& text) {
    for (const Message& m : RecordedMessages())
        if (m.caption == caption && m.text == text) return true;
    return false;
}

// A file size limit makes writes fail, even for root.
struct FileSizeLimit {
    rlimit saved{};
    void (*handler)(int);
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved);
        handler = signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved);
        signal(SIGXFSZ, handler);
    }
};

// Big-endian byte writing for hand-built fixtures.
inline void PutU16(std::vector<uint8_t>& b, size_t at, unsigned v) {
    b.at(at) = uint8_t(v >> 8);
    b.at(at + 1) = uint8_t(v);
}
inline void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    PutU16(b, at, v >> 16);
    PutU16(b, at + 2, v & 0xFFFF);
}
inline void AppendU16(std::vector<uint8_t>& b, unsigned v) {
    b.push_back(uint8_t(v >> 8));
    b.push_back(uint8_t(v));
}
inline void AppendU32(std::vector<uint8_t>& b, uint32_t v) {
    AppendU16(b, v >> 16);
    AppendU16(b, v & 0xFFFF);
}

} // namespace qvtk::test
