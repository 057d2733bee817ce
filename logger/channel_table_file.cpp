#include "logger/channel_table_file.h"

#include <unistd.h>

#include <cstring>
#include <fstream>

#include "analysis/load_pipeline.h"
#include "data/session.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"

namespace qvtk {

namespace {

bool ReloadThroughLoader(const std::string& path) {
    FileSlot slot = 0;
    return LoadFileIntoSlot(slot, path);
}

ReloadFile1Fn g_reloadFile1 = ReloadThroughLoader;

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, v >> 16);
    PutU16(p + 2, v & 0xFFFF);
}

void PutText(uint8_t* p, const char* text) {
    for (size_t i = 0; i < 8 && text[i]; ++i) p[i] = uint8_t(text[i]);
}

size_t DescriptorLength(const ChannelSetting& c) {
    return (c.conversion & 7) == 5 ? 112 : 48;
}

// The function byte: file-named channels (256 and up) are stored as 0.
uint8_t FunctionByte(int function) {
    return function >= 256 ? 0 : uint8_t(function);
}

} // namespace

size_t WriteChannelDescriptor(uint8_t* p, const ChannelSetting& c, bool enabled) {
    const size_t length = DescriptorLength(c);
    std::memset(p, 0, length);
    p[0] = enabled ? c.mode : 0;
    p[1] = FunctionByte(c.function);
    p[2] = uint8_t(c.sampleTime);
    p[3] = c.canPort & 1;
    PutU32(p + 4, c.canId);
    PutU16(p + 8, c.dataMask);
    p[10] = c.bitDepth & 3;
    p[11] = c.bitShift & 63;
    p[12] = uint8_t((c.extendId & 1) | (c.extraFlag & 1) << 1 | (c.lock & 1) << 2);
    p[14] = uint8_t((c.decimals & 3) | (c.signedRaw & 1) << 2);
    p[15] = c.conversion & 7;
    PutText(p + 16, c.name);
    PutText(p + 24, c.unit);
    switch (c.conversion & 7) {
    case 1:
        PutU32(p + 32, uint32_t(c.a1));
        PutU32(p + 36, uint32_t(c.a2));
        break;
    case 2:
    case 3:
        PutU32(p + 32, uint32_t(c.a1));
        PutU32(p + 36, uint32_t(c.a2));
        PutU32(p + 40, uint32_t(c.b));
        break;
    case 5:
        for (size_t k = 0; k < kChannelTablePoints; ++k) {
            PutU32(p + 32 + 4 * k, uint32_t(c.tableX[k]));
            PutU32(p + 72 + 4 * k, uint32_t(c.tableY[k]));
        }
        break;
    default: // no calculation
        PutU32(p + 32, 1);
        PutU32(p + 36, 1);
        break;
    }
    return length;
}

bool WriteChannelTableBlock(uint8_t* header, const ChannelSettingTable& table, TableLayout layout) {
    size_t at = kChannelTableStart;
    bool fits = true;
    // Built aside first: what does not fit never reaches the header.
    uint8_t descriptor[112];
    for (const ChannelSetting& c : table) {
        const bool enabled = c.mode != kModeDisable;
        if (!enabled && layout == TableLayout::kPacked) continue;
        const size_t length = WriteChannelDescriptor(descriptor, c, enabled);
        if (at + length >= kCanHeaderBytes) {
            fits = false;
            break;
        }
        std::memcpy(header + at, descriptor, length);
        at += length;
    }
    // Whatever a longer table left behind would be read as descriptors.
    std::memset(header + at, 0, kCanHeaderBytes - at);
    return fits;
}

int ColumnChangingItemLength(const uint8_t* header, const ChannelSettingTable& table) {
    const Bytes old(header, kCanHeaderBytes);
    size_t at = kChannelTableStart, length = 0;
    for (int column = 0; column < kChannelSettings; ++column) {
        ChannelSetting before;
        const bool known = DecodeChannelSetting(old, at, before, length);
        const int after = FunctionByte(table[size_t(column)].function);
        if (HasLongItems(known ? before.function : 0) != HasLongItems(after)) return column;
        if (!known) break; // the reader stops there too: no item addresses these columns
        at += length;
    }
    return -1;
}

void SetReloadFile1(ReloadFile1Fn reload) {
    g_reloadFile1 = reload ? reload : ReloadThroughLoader;
}

bool ReadFile1CanHeader(uint8_t (&header)[kCanHeaderBytes]) {
    const std::string& path = SlotOf(0).file.filePath;
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in || access(path.c_str(), R_OK | W_OK) != 0) {
        ShowMessage("File read error. Not saved !", "Error !");
        return false;
    }
    std::memset(header, 0, kCanHeaderBytes);
    in.read(reinterpret_cast<char*>(header), kCanHeaderBytes);
    const bool whole = size_t(in.gcount()) == kCanHeaderBytes;
    if (header[0] != '4' || SlotOf(0).file.fileKind != kFileFamily4 || !whole) {
        ShowMessage("File type error. Not saved !", "Error !");
        return false;
    }
    return true;
}

bool OverwriteChannelTableInLogFile(const ChannelSettingTable& table) {
    uint8_t header[kCanHeaderBytes];
    if (!ReadFile1CanHeader(header)) return false;
    const int column = ColumnChangingItemLength(header, table);
    if (column >= 0) {
        // The recorded items of that column would be read with the wrong length.
        ShowMessage("CH" + std::to_string(column) +
                        " GPS function can not be changed in a recorded file. Not saved !",
                    "Error !");
        return false;
    }
    WriteChannelTableBlock(header, table, TableLayout::kInPlace);
    const std::string path = SlotOf(0).file.filePath;
    if (!ReplaceFileBytes(path, 0,
                          std::string_view(reinterpret_cast<const char*>(header), sizeof header))) {
        ShowMessage("File write error. Not saved !", "Error !");
        return false;
    }
    ShowMessage("File saved !", "Save");
    g_reloadFile1(path);
    return true;
}

} // namespace qvtk
