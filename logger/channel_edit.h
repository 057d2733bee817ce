#pragma once
// How a channel of the CAN logger is edited, as plain data: the working copy the channel
// dialogs edit, every rule of their fields (CAN ID, bit shift, data mask, the bit grid and
// "Set", the function lists, zero offset adjustment, the lock), the checks of OK and the
// commit into File 1's table. The dialogs and `qvtk-cli` both edit through these.
#include <optional>
#include <string>
#include <vector>

#include "data/channel_setting.h"

namespace qvtk {

// The copy the dialogs edit; nothing reaches File 1's table before a commit.
extern ChannelSettingTable g_workingChannels;
void ResetChannelEditing();
// The working copy starts as File 1's table.
void BeginChannelEditing();

constexpr int kTypedTextChars = 7; // name and unit fields

// Texts typed into the table: hexadecimal (an optional 0x), or decimal; nullopt without digits.
std::optional<uint64_t> ParseHexText(const std::string& text);
std::optional<int64_t> ParseIntText(const std::string& text);
// A decimal with up to three places, in thousandths, limited to the 32-bit range.
std::optional<int32_t> ParseThousandths(const std::string& text);
std::string ConstantText(int32_t value); // "%0.3f"

// The table's edits. Each keeps what the field holds: the CAN ID its low 29 bits, the bit
// shift its low 6 bits, the mask 16 bits. Text without digits changes nothing.
void TypeCanId(ChannelSetting& c, const std::string& text);
void TypeBitShift(ChannelSetting& c, const std::string& text);
void TypeDataMask(ChannelSetting& c, const std::string& text);
void TypeChannelText(char* field, const std::string& text); // name, unit: at most 7
// A function chosen in a list: "Sys V" and codes the lists do not offer are refused.
bool ChooseFunction(ChannelSetting& c, int code);

// Channel 0 and locked channels show "----" in their CAN fields and take no edit there.
bool CanFieldsEditable(int channel, const ChannelSetting& c);
// The CH Setup forms: "0x%07X" with an extended ID, else the ID cut to 11 bits (and kept so)
// as "0x%03X"; the mask "0x0%04X"; the bit shift "%d".
std::string CanIdShown(int channel, ChannelSetting& c);
std::string DataMaskShown(int channel, const ChannelSetting& c);
std::string BitShiftShown(int channel, const ChannelSetting& c);

// The 8 x 8 grid's button for a frame byte and bit (both 0-7) as the bit shift it sets.
int GridBitShift(int bitDepth, int byte, int bit);

// The "Set" button's state: the four Byte/Bit edits and what changed since the last "Set".
struct FrameBits {
    int startByte = 0, startBit = 0, endByte = 0, endBit = 0;
    bool maskTyped = false; // the DataMask field changed
    bool bitsTyped = false; // the Byte/Bit edits changed
    bool bitsLast = false;  // and they were the last change
};
// A run of n one-bits from bit 0, within 16 bits.
uint16_t MaskOfBits(int n);
// "Set": the bit shift, and the mask of the span (or the mask as typed) into the channel; the
// edits are limited to 0-7 and so written back.
void PressSet(ChannelSetting& c, FrameBits& bits);

// "Zero offset adjustment" is offered for the suspension and brake pressure functions whose
// conversion uses b.
bool ZeroOffsetOffered(const ChannelSetting& c);
// The channel's value under File 1's cursor (x 1000), 0 without one.
int32_t CurrentReading(int channel);
// b minus the reading not yet taken away, in 64 bits and limited to the 32-bit range.
void AdjustZeroOffset(int channel, ChannelSetting& c);

// OK of CH Setup: the GPS mode and the GPS functions go together. Shows the refusal ("info")
// and returns false; otherwise the record goes into the working copy (a b set by hand drops
// the reading the zero adjustments took away).
bool AcceptChannelSetup(int channel, ChannelSetting c, bool bTypedByHand);
// The record into the working copy.
void StoreChannelSetup(int channel, ChannelSetting c, bool bTypedByHand);
// "OverWrite correction": refused ("info") for a channel stored as GPS and for a GPS function;
// otherwise the record goes into the working copy and the working copy over File 1's table.
enum class CorrectionResult { kRefused, kNotSaved, kSaved };
CorrectionResult OverwriteCorrection(int channel, const ChannelSetting& c, bool bTypedByHand);

// The commit's rule: an enabled channel with a GPS function is a GPS channel, a GPS channel
// without one a CAN channel. Disabled channels stay disabled.
void ApplyGpsRule(ChannelSetting& c);
// The working copy, ruled, into File 1's table.
void CommitChannelTable();

// `--channel N.FIELD=TEXT`: the fields by name, edited as the dialogs edit them. False, with
// the reason, when the field does not take the text.
const std::vector<std::string>& ChannelFieldNames();
bool EditChannelField(int channel, ChannelSetting& c, const std::string& field,
                      const std::string& text, std::string& why);

} // namespace qvtk
