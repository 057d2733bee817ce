#include "logger/channel_edit.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <limits>

#include "logger/channel_functions.h"
#include "logger/channel_table_file.h"
#include "platform/message_box.h"

namespace qvtk {

ChannelSettingTable g_workingChannels;

namespace {

constexpr uint32_t kCanIdBits = 0x1FFFFFFF;
constexpr uint32_t kStandardIdBits = 0x7FF;
constexpr const char* kHidden = "----";

int32_t ToInt32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

size_t SkipBlanks(const std::string& t, size_t i = 0) {
    while (i < t.size() && std::isspace(static_cast<unsigned char>(t[i]))) ++i;
    return i;
}

// An entry of a list by its text, or by its number.
std::optional<int> EntryOf(const std::vector<std::string>& entries, const std::string& text) {
    const auto it = std::find(entries.begin(), entries.end(), text);
    if (it != entries.end()) return int(it - entries.begin());
    const std::optional<int64_t> n = ParseIntText(text);
    if (n && *n >= 0 && *n < int64_t(entries.size()) &&
        text.find_first_not_of("0123456789 ") == std::string::npos)
        return int(*n);
    return std::nullopt;
}

std::optional<int> FunctionOf(const std::string& text) {
    for (int code = 0; code < kChannelFunctionCodes; ++code)
        if (!text.empty() && g_channelFunctionTable[code].name == text) return code;
    const std::optional<int64_t> n = ParseIntText(text);
    if (n && *n >= 0 && *n < kChannelFunctionCodes) return int(*n);
    return std::nullopt;
}

// "a/b-c/d" or "a/b" into numbers.
bool ParseNumbers(const std::string& text, const char* separators, std::vector<int>& out) {
    out.clear();
    std::string part;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !std::strchr(separators, text[i])) {
            part += text[i];
            continue;
        }
        const std::optional<int64_t> n = ParseIntText(part);
        if (!n || part.find_first_not_of("0123456789 ") != std::string::npos) return false;
        out.push_back(int(std::clamp<int64_t>(*n, -1000, 1000)));
        part.clear();
    }
    return true;
}

} // namespace

void ResetChannelEditing() {
    g_workingChannels = ChannelSettingTable();
}

void BeginChannelEditing() {
    g_workingChannels = g_channelSettings.slots[0];
}

std::optional<uint64_t> ParseHexText(const std::string& text) {
    size_t i = SkipBlanks(text);
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint64_t v = 0;
    bool any = false;
    for (; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i) {
        const char ch = char(std::tolower(static_cast<unsigned char>(text[i])));
        v = v << 4 | uint64_t(ch <= '9' ? ch - '0' : ch - 'a' + 10);
        any = true;
    }
    return any ? std::optional<uint64_t>(v) : std::nullopt;
}

std::optional<int64_t> ParseIntText(const std::string& text) {
    size_t i = SkipBlanks(text);
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int64_t v = 0;
    bool any = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        v = std::min<int64_t>(v * 10 + (text[i] - '0'), int64_t(1) << 40);
        any = true;
    }
    if (!any) return std::nullopt;
    return negative ? -v : v;
}

std::optional<int32_t> ParseThousandths(const std::string& text) {
    size_t i = SkipBlanks(text);
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    int64_t whole = 0, fraction = 0;
    bool any = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, any = true)
        whole = std::min<int64_t>(whole * 10 + (text[i] - '0'), int64_t(1) << 40);
    if (i < text.size() && text[i] == '.') {
        int places = 0;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
            any = true;
            if (places++ < 3) fraction = fraction * 10 + (text[i] - '0');
        }
        for (; places < 3; ++places) fraction *= 10;
    } else {
        fraction = 0;
    }
    if (!any) return std::nullopt;
    const int64_t v = whole * 1000 + fraction;
    return ToInt32(negative ? -v : v);
}

std::string ConstantText(int32_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%0.3f", value / 1000.0);
    return text;
}

void TypeCanId(ChannelSetting& c, const std::string& text) {
    if (const auto v = ParseHexText(text)) c.canId = uint32_t(*v) & kCanIdBits;
}

void TypeBitShift(ChannelSetting& c, const std::string& text) {
    if (const auto v = ParseIntText(text)) c.bitShift = uint8_t(*v & 63);
}

void TypeDataMask(ChannelSetting& c, const std::string& text) {
    if (const auto v = ParseHexText(text)) c.dataMask = uint16_t(*v);
}

void TypeChannelText(char* field, const std::string& text) {
    std::memset(field, 0, kChannelTextChars + 1);
    std::memcpy(field, text.data(), std::min<size_t>(text.size(), kTypedTextChars));
    field[strnlen(field, kTypedTextChars)] = 0;
}

bool ChooseFunction(ChannelSetting& c, int code) {
    if (code == 1 || FunctionListPosition(code) < 0) return false; // "Sys V" is the logger's
    c.function = uint16_t(code);
    return true;
}

bool CanFieldsEditable(int channel, const ChannelSetting& c) {
    return channel != 0 && !c.lock;
}

std::string CanIdShown(int channel, ChannelSetting& c) {
    if (!CanFieldsEditable(channel, c)) return kHidden;
    char text[16];
    if (c.extendId) {
        std::snprintf(text, sizeof text, "0x%07X", c.canId);
    } else {
        c.canId &= kStandardIdBits;
        std::snprintf(text, sizeof text, "0x%03X", c.canId);
    }
    return text;
}

std::string DataMaskShown(int channel, const ChannelSetting& c) {
    if (!CanFieldsEditable(channel, c)) return kHidden;
    char text[16];
    std::snprintf(text, sizeof text, "0x0%04X", c.dataMask);
    return text;
}

std::string BitShiftShown(int channel, const ChannelSetting& c) {
    if (!CanFieldsEditable(channel, c)) return kHidden;
    return std::to_string(c.bitShift);
}

int GridBitShift(int bitDepth, int byte, int bit) {
    const int i = 8 * std::clamp(byte, 0, 7) + std::clamp(bit, 0, 7);
    return bitDepth == 2 ? (~i & 56) + (i & 7) : i; // 16(HL): the frame's bytes turned round
}

uint16_t MaskOfBits(int n) {
    if (n <= 0) return 0;
    if (n >= 16) return 0xFFFF;
    return uint16_t((1u << n) - 1);
}

void PressSet(ChannelSetting& c, FrameBits& bits) {
    const uint16_t typedMask = c.dataMask;
    c.dataMask = 0xFFFF;
    if (!bits.maskTyped && !bits.bitsTyped) return;
    for (int* edit : {&bits.startByte, &bits.startBit, &bits.endByte, &bits.endBit})
        *edit = std::clamp(*edit, 0, 7);
    int span;
    if (c.bitDepth == 2) { // 16(HL): the value ends in the lower numbered byte
        c.bitShift = uint8_t((7 - bits.endByte) * 8 + bits.endBit);
        span = 8 * (bits.endByte - bits.startByte) + bits.startBit - bits.endBit + 1;
    } else {
        const int s = bits.startByte * 8 + bits.startBit, e = bits.endByte * 8 + bits.endBit;
        c.bitShift = uint8_t(s & 63);
        span = e - s + 1;
    }
    if (bits.bitsLast) {
        c.dataMask = MaskOfBits(span);
        if (c.bitDepth == 0) c.dataMask &= 0x00FF;
    } else {
        c.dataMask = typedMask; // the mask typed last stands
    }
    bits.maskTyped = bits.bitsTyped = false;
}

bool ZeroOffsetOffered(const ChannelSetting& c) {
    const bool function =
        c.function == 9 || c.function == 10 || c.function == 24 || c.function == 25;
    return function && (c.conversion == 2 || c.conversion == 3);
}

int32_t CurrentReading(int channel) {
    const Slot& s = SlotOf(0);
    if (s.file.fileKind != kFileFamily4 || !IsPresent(s, channel)) return 0;
    const int64_t at = std::clamp<int64_t>(s.cursorPos / 100, 0, s.sampleCount - 1);
    return SampleAt(0, channel, int32_t(at));
}

void AdjustZeroOffset(int channel, ChannelSetting& c) {
    const int32_t reading = CurrentReading(channel);
    const int64_t untaken = int64_t(reading) - c.zeroReading;
    c.b = ToInt32(int64_t(c.b) - untaken);
    c.zeroReading = reading;
}

bool AcceptChannelSetup(int channel, ChannelSetting c, bool bTypedByHand) {
    if (c.mode == kModeGps && !IsGpsFunction(c.function)) {
        ShowMessage("Only GPS function can be set in GPS mode", "info");
        return false;
    }
    if (c.mode != kModeGps && IsGpsFunction(c.function)) {
        ShowMessage("GPS function can be set only in GPS mode.", "info");
        return false;
    }
    StoreChannelSetup(channel, c, bTypedByHand);
    return true;
}

void StoreChannelSetup(int channel, ChannelSetting c, bool bTypedByHand) {
    if (bTypedByHand && c.b != g_workingChannels[size_t(channel)].b) c.zeroReading = 0;
    g_workingChannels[size_t(channel)] = c;
}

CorrectionResult OverwriteCorrection(int channel, const ChannelSetting& c, bool bTypedByHand) {
    if (g_workingChannels[size_t(channel)].mode == kModeGps) {
        ShowMessage("GPS channel can not be changed", "info");
        return CorrectionResult::kRefused;
    }
    if (IsGpsFunction(c.function)) {
        ShowMessage("GPS function can be set only in GPS mode.", "info");
        return CorrectionResult::kRefused;
    }
    StoreChannelSetup(channel, c, bTypedByHand);
    // A file written is loaded again, so File 1's data take the new conversion from it.
    return OverwriteChannelTableInLogFile(g_workingChannels) ? CorrectionResult::kSaved
                                                             : CorrectionResult::kNotSaved;
}

void ApplyGpsRule(ChannelSetting& c) {
    if (c.mode == kModeDisable) return; // a channel the user switched off stays off
    if (IsGpsFunction(c.function))
        c.mode = kModeGps;
    else if (c.mode == kModeGps)
        c.mode = kModeCan;
}

void CommitChannelTable() {
    for (ChannelSetting& c : g_workingChannels) ApplyGpsRule(c);
    g_channelSettings.slots[0] = g_workingChannels;
}

const std::vector<std::string>& ChannelFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> n = {"MODE",   "FUNCTION", "NAME",   "UNIT",     "SAMPLETIME",
                                      "PORT",   "CANID",    "EXTEND", "BITSHIFT", "MASK",
                                      "DEPTH",  "SET",      "GRID",   "LOCK",     "DECIMALS",
                                      "SIGNED", "CONV",     "A1",     "A2",       "B"};
        for (const char* xy : {"X", "Y"})
            for (int k = 1; k <= kChannelTablePoints; ++k) n.push_back(xy + std::to_string(k));
        return n;
    }();
    return names;
}

bool EditChannelField(int channel, ChannelSetting& c, const std::string& field,
                      const std::string& text, std::string& why) {
    why = field + " does not take \"" + text + "\"";
    auto list = [&](const std::vector<std::string>& entries, auto& value) {
        const std::optional<int> e = EntryOf(entries, text);
        if (e) value = static_cast<std::remove_reference_t<decltype(value)>>(*e);
        return e.has_value();
    };
    auto flag = [&](uint8_t& value) {
        if (text != "0" && text != "1") return false;
        value = text == "1";
        return true;
    };
    const bool canField = field == "CANID" || field == "BITSHIFT" || field == "MASK" ||
                          field == "SET" || field == "GRID";
    if (canField && !CanFieldsEditable(channel, c)) {
        why = "channel " + std::to_string(channel) + " shows ---- in its CAN fields";
        return false;
    }
    if (field == "MODE") return list(kModeEntries, c.mode);
    if (field == "SAMPLETIME") return list(kSampleTimeEntries, c.sampleTime);
    if (field == "PORT") return list(kCanPortEntries, c.canPort);
    if (field == "DEPTH") return list(kBitDepthEntries, c.bitDepth);
    if (field == "DECIMALS") return list(kDecimalEntries, c.decimals);
    if (field == "CONV") return list(kConversionEntries, c.conversion);
    if (field == "EXTEND") return flag(c.extendId);
    if (field == "SIGNED") return flag(c.signedRaw);
    if (field == "NAME" || field == "UNIT") {
        TypeChannelText(field == "NAME" ? c.name : c.unit, text);
        return true;
    }
    if (field == "FUNCTION") {
        const std::optional<int> code = FunctionOf(text);
        return code && ChooseFunction(c, *code);
    }
    if (field == "CANID" || field == "MASK") {
        if (!ParseHexText(text)) return false;
        field == "CANID" ? TypeCanId(c, text) : TypeDataMask(c, text);
        return true;
    }
    if (field == "BITSHIFT") {
        if (!ParseIntText(text)) return false;
        TypeBitShift(c, text);
        return true;
    }
    std::vector<int> n;
    if (field == "SET") {
        if (!ParseNumbers(text, "/-", n) || n.size() != 4) return false;
        FrameBits bits{n[0], n[1], n[2], n[3], false, true, true};
        PressSet(c, bits);
        return true;
    }
    if (field == "GRID") {
        if (!ParseNumbers(text, "/", n) || n.size() != 2 || n[0] < 0 || n[0] > 7 || n[1] < 0 ||
            n[1] > 7)
            return false;
        c.bitShift = uint8_t(GridBitShift(c.bitDepth, n[0], n[1]));
        return true;
    }
    if (field == "LOCK") {
        if (text != "0" && text != "1") return false;
        if (c.lock && text == "0") {
            why = "a locked channel stays locked";
            return false;
        }
        c.lock = text == "1";
        return true;
    }
    if (field == "A1" || field == "A2" || field == "B") {
        const std::optional<int32_t> v = ParseThousandths(text);
        if (!v) return false;
        (field == "A1" ? c.a1 : field == "A2" ? c.a2 : c.b) = *v;
        if (field == "B") c.zeroReading = 0; // b set by hand
        return true;
    }
    if (field.size() >= 2 && (field[0] == 'X' || field[0] == 'Y')) {
        const std::optional<int64_t> k = ParseIntText(field.substr(1));
        if (!k || *k < 1 || *k > kChannelTablePoints) return false;
        if (field[0] == 'X') {
            const std::optional<int64_t> v = ParseIntText(text);
            if (!v) return false;
            c.tableX[*k - 1] = ToInt32(*v);
        } else {
            const std::optional<int32_t> v = ParseThousandths(text);
            if (!v) return false;
            c.tableY[*k - 1] = *v;
        }
        return true;
    }
    why = "unknown channel field " + field;
    return false;
}

} // namespace qvtk
