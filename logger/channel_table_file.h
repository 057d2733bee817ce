#pragma once
// The channel table on disk: the descriptors a CAN logger's setup file and the head of every
// CAN logger recording carry from offset 512, and the rewrite of a recording's table.
#include <cstdint>
#include <string>

#include "data/channel_setting.h"

namespace qvtk {

constexpr size_t kChannelTableStart = 512;
constexpr size_t kCanHeaderBytes = 8192;

enum class TableLayout {
    kPacked,  // setup file: the enabled channels only, one after the other
    kInPlace, // a recording: every column keeps its descriptor, a disabled one with mode 0
};

// One descriptor (48 bytes, 112 with conversion 5) at `at`; returns its length.
size_t WriteChannelDescriptor(uint8_t* at, const ChannelSetting& c, bool enabled);

// The table into a header of kCanHeaderBytes from offset 512, zeros from its end on. False
// (over size) when the table would reach offset 8192; the descriptors that fit are written.
bool WriteChannelTableBlock(uint8_t* header, const ChannelSettingTable& table, TableLayout layout);

// The first column whose new descriptor would change the length of its items in the recorded
// stream (into or out of the GPS position functions), or -1.
int ColumnChangingItemLength(const uint8_t* header, const ChannelSettingTable& table);

// Writes `table` over the channel table of File 1's CAN logger recording (the whole file
// written anew, crash safe), then loads File 1 again. Shows what happened; on any failure the
// file is as it was.
bool OverwriteChannelTableInLogFile(const ChannelSettingTable& table);

// How File 1 is loaded again after a rewrite: the viewer puts its open flow here.
using ReloadFile1Fn = bool (*)(const std::string& path);
void SetReloadFile1(ReloadFile1Fn reload);

// File 1's header when File 1 is a CAN logger recording whose file can be read and written:
// "File read error. Not saved !" or "File type error. Not saved !" otherwise.
bool ReadFile1CanHeader(uint8_t (&header)[kCanHeaderBytes]);

} // namespace qvtk
