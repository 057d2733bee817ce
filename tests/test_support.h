#pragma once
// Shared by the tests: a clean program before each test and loading from bytes in memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "data/derived_channels.h"
#include "data/log_loader.h"
#include "data/program.h"
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

// Runs the dispatcher on bytes as if they were read from `path`; returns the filled slot.
inline FileSlot Load(FileSlot slot, const std::string& path, const std::vector<uint8_t>& bytes) {
    LoadLogFile(slot, path, bytes);
    return slot;
}

inline bool Loaded(FileSlot slot) { return SlotOf(slot).file.fileKind != kFileNone; }

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
