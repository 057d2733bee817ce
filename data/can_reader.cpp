#include "data/can_reader.h"

#include <cstdio>
#include <vector>

#include "data/fixed_channels.h"
#include "data/lap_marker.h"
#include "data/read_outcome.h"

namespace qvtk {

namespace {

constexpr size_t kFrameBytes = 16;
constexpr uint32_t kIdentifierLimit = 597; // identifiers from here on get no column

struct Frame {
    uint32_t stamp, id;
    uint16_t a, b;
    uint8_t c;
};

Frame FrameAt(Bytes bytes, size_t k) {
    const size_t at = k * kFrameBytes;
    return {U32At(bytes, at), U32At(bytes, at + 4), U16At(bytes, at + 8), U16At(bytes, at + 10),
            ByteAt(bytes, at + 12)};
}

// First pass: a column for each identifier, in the order they first appear.
void AssignColumns(Slot& s, Bytes bytes, size_t frames) {
    std::vector<bool> seen(kIdentifierLimit, false);
    int next = 0;
    for (size_t k = 0; k < frames && next < kColumnCount; ++k) {
        const uint32_t id = U32At(bytes, k * kFrameBytes + 4);
        if (id >= kIdentifierLimit || seen[id]) continue;
        seen[id] = true;
        ChannelInfo& info = s.channels[next];
        std::snprintf(info.name, sizeof info.name, "%X", unsigned(id));
        info.canId = id;
        info.kind = 1;
        s.channelFlags[next] = kChannelPresent | kChannelShown;
        ++next;
    }
}

// Writes a value into a column only when that column was given a full buffer: a file with
// fewer than six identifiers has fewer columns than the frames address.
void Put(Slot& s, int column, int32_t i, int32_t value) {
    if (HasFullBuffer(s, column)) s.samples[column][i] = value;
}

} // namespace

ReadOutcome ReadCanFile(FileSlot, Bytes bytes, std::string_view) {
    const FileSlot slot = 0;
    Slot& s = SlotOf(slot);
    const size_t frames = bytes.size() / kFrameBytes;
    s.active = true;
    s.file.fileKind = kFileCan;
    s.file.logVersion = 0;
    s.sampleRateFactor = 1.0f;
    s.header = LogHeader();
    ClearChannelTable(slot);
    AssignColumns(s, bytes, frames);
    if (frames > size_t(INT32_MAX) - 64 || !AllocateSlotBuffers(slot, int32_t(frames) + 32)) {
        CloseSlot(slot);
        return {};
    }
    const int32_t count = int32_t(frames) + 16;
    s.sampleCount = count;
    for (size_t k = 0; k < frames; ++k) {
        const Frame f = FrameAt(bytes, k);
        const uint32_t sample = f.stamp / 10;
        if (sample >= uint32_t(count)) continue;
        const int32_t i = int32_t(sample);
        switch (f.id) {
        case 517:
            Put(s, 2, i, f.a * 1000);
            Put(s, 3, i, f.b * 1000);
            break;
        case 521:
            Put(s, 0, i, f.a * 1000);
            Put(s, 5, i, (f.c % 4) * 1000);
            break;
        case 533:
            Put(s, 1, i, f.a * 1000);
            break;
        case 574:
            Put(s, 4, i, (f.a / 256) * 1000);
            break;
        default:
            break;
        }
    }
    BeginLapMarks(s); // frames carry no lap marker
    DistanceRun none;
    FinishLapMarks(s, none);
    return {.decoded = true, .truncated = bytes.size() % kFrameBytes != 0};
}

} // namespace qvtk
