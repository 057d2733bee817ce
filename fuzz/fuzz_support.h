#pragma once
// What every harness does: a program reset to its start state, loading bytes as one file.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "data/derived_channels.h"
#include "analysis/load_pipeline.h"
#include "analysis/program.h"
#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk::fuzz {

// Loads the bytes into File 1 and again into File 2 (which lines its columns up with File 1),
// then checks that every slot is consistent. `prepare` runs before each load.
inline void LoadTwice(const char* path, const uint8_t* data, size_t size,
                      void (*prepare)() = nullptr) {
    ResetProgram();
    std::span<const uint8_t> bytes(data, size);
    for (FileSlot asked : {0, 1}) {
        if (prepare) prepare();
        FileSlot slot = asked;
        LoadLogFile(slot, path, bytes);
        const Slot& s = SlotOf(slot);
        if (s.sampleCount < 1 || s.sampleCount > s.capacity || s.laps.count < 1 ||
            s.laps.count + 2 >= kLapMarkEntries)
            __builtin_trap();
        for (int c = 0; c < kColumnCount; ++c)
            if (IsPresent(s, c) && !HasFullBuffer(s, c)) __builtin_trap();
    }
}

} // namespace qvtk::fuzz
