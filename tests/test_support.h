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
#include <string>
#include <vector>

#include "data/derived_channels.h"
#include "analysis/load_pipeline.h"
#include "analysis/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk::test {

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
        char name[] = "/tmp/qvtk_test_XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        g_session.programDirectory = dir_ = name;
    }
    void TearDown() override {
        std::filesystem::remove_all(dir_);
        ProgramTest::TearDown();
    }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
    }
    std::string dir_;
};

// A file size limit makes writes fail, even for root: a disk that fills up.
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

// Runs the dispatcher on bytes as if they were read from `path`; returns the filled slot.
inline FileSlot Load(FileSlot slot, const std::string& path, const std::vector<uint8_t>& bytes) {
    LoadLogFile(slot, path, bytes);
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
