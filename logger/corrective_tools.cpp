#include "logger/corrective_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include "analysis/lap_model.h"
#include "analysis/lap_statistics.h"
#include "data/channel_codes.h"
#include "data/family3_reader.h"
#include "data/sample_envelope.h"
#include "data/settings.h"
#include "data/setup_values.h"
#include "logger/setup_files.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"
#include "platform/sample_memory.h"
#include "platform/wait.h"

namespace qvtk {

CorrectiveTools g_correctiveTools;

namespace {

constexpr int32_t kLapMarkReach = 200;   // LapMark works after, and removes within, this
constexpr int32_t kLoaderSpacing = 600;  // the loader keeps marks further apart than this
constexpr int32_t kLoaderEndMargin = 50; // and drops a last mark this close to the end
constexpr double kAdjLimitMm = 1000.0;
constexpr int kSavedWait = 1000;
constexpr size_t kFixedStart = 512, kFixedRecord = 16, kVariableStart = 1024;
constexpr uint8_t kFixedLapBit = 0x80;  // record byte 2
constexpr uint16_t kVfwLapBit = 0x8000; // VFW word of a variable record
constexpr uint16_t kWideVfw = 0x2000;   // mask bit: two-byte VFW field

void WriteEndEntries(LapMarkTable& t, int32_t end) {
    t.marks[t.count] = t.marks[t.count + 1] = t.marks[t.count + 2] = end;
}

void LapsChanged() {
    ComputeSegments(0);
    ResetLapChecks(0);
    ComputeLapStatistics();
}

// Would the loader take a pulse at sample p? Family 3 versions 1-4 need the battery above the
// recording's lap-marker threshold; they compare it as the loader does.
bool VoltageTakesPulse(const Slot& s, int32_t p) {
    const int version = s.file.logVersion;
    if (s.file.fileKind != kFileFamily3 || version == 0 || version == 32) return true;
    const int column = FindColumnByCode(0, kCodeVB);
    if (column < 0 || !HasFullBuffer(s, column)) return true;
    const int32_t stored = s.samples[column][p];
    const int32_t compared = version <= 2 ? stored : stored / 10;
    return compared > s.header.lapThreshold;
}

LapMarkResult InsertAfter(Slot& s, int i, int32_t p) {
    LapMarkTable& t = s.laps;
    if (t.count >= kMaxMarkCount) return LapMarkResult::kFull;
    const bool spaced = p - t.marks[i] > kLoaderSpacing &&
                        (i + 1 >= t.count || t.marks[i + 1] - p > kLoaderSpacing);
    if (!spaced && !DebugMode()) return LapMarkResult::kTooClose;
    if (s.sampleCount - p < kLoaderEndMargin) return LapMarkResult::kNearEnd;
    if (!VoltageTakesPulse(s, p)) return LapMarkResult::kLowVoltage;
    std::copy_backward(t.marks + i + 1, t.marks + t.count + 3, t.marks + t.count + 4);
    t.marks[i + 1] = p;
    ++t.count;
    WriteEndEntries(t, s.sampleCount);
    return LapMarkResult::kInserted;
}

void SayWhyRefused(LapMarkResult r) {
    const char* why = nullptr;
    switch (r) {
    case LapMarkResult::kTooClose:
        why = "LapMark is not set: a lap mark 600 samples or less from another one is not kept "
              "when the file is loaded.";
        break;
    case LapMarkResult::kNearEnd:
        why = "LapMark is not set: a lap mark in the last 50 samples is not kept when the file "
              "is loaded.";
        break;
    case LapMarkResult::kLowVoltage:
        why = "LapMark is not set: the battery voltage is below the lap marker threshold here, "
              "so the mark is not kept when the file is loaded.";
        break;
    default:
        return;
    }
    ShowMessage(why, "Warning!");
}

int32_t SaturatedAdd(int32_t a, int64_t b) {
    return int32_t(std::clamp<int64_t>(a + b, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// The lap bit of record k (sample k, at 512 + 16 (k - 1) as the loader reads it) set exactly
// at the marks. Returns the number of records.
int32_t RewriteFixedLapBits(std::vector<uint8_t>& b, size_t size, const LapMarkTable& t) {
    int next = 1;
    int32_t k = 0;
    for (size_t at = kFixedStart; at + kFixedRecord <= size; at += kFixedRecord) {
        ++k;
        while (next < t.count && t.marks[next] < k) ++next;
        const bool marked = next < t.count && t.marks[next] == k;
        b[at + 2] = uint8_t((b[at + 2] & ~kFixedLapBit) | (marked ? kFixedLapBit : 0));
    }
    return k;
}

void PutZeroReading(std::vector<uint8_t>& b, size_t high, size_t low, int zero, bool oldFixed) {
    b[high] = uint8_t(zero >> 2);
    if (!oldFixed) b[low] = uint8_t((b[low] & 0x3F) | (zero & 3) << 6);
}

// Old recordings scale the throttle from the closed reading alone: giving it another value
// would move every throttle sample. The others take equal readings as no calibration.
bool NormalisesThrottle(const Slot& s) {
    const bool oldFixed = s.file.logVersion == 0 || s.file.logVersion == 32;
    return s.header.throttleClosed == s.header.throttleOpen && !oldFixed;
}

// Throttle calibration and suspension zero readings into the header.
void CalibrateHeader(std::vector<uint8_t>& b) {
    const Slot& s = SlotOf(0);
    const LogHeader& h = s.header;
    const bool oldFixed = s.file.logVersion == 0 || s.file.logVersion == 32;
    if (g_correctiveTools.positionAdjust) {
        const ObservedReadings seen = File1ObservedReadings();
        b[32] = uint8_t(seen.throttleLowest);
        const int highest = seen.throttleHighest;
        b[33] = uint8_t(highest > seen.throttleLowest ? highest - 1 : highest);
    } else {
        const bool normalise = NormalisesThrottle(s);
        b[32] = uint8_t(normalise ? 0 : h.throttleClosed);
        b[33] = uint8_t(normalise ? 255 : h.throttleOpen);
    }
    PutZeroReading(b, 39, 41, h.susZeroFront, oldFixed);
    PutZeroReading(b, 40, 42, h.susZeroRear, oldFixed);
}

bool SaveFailed(const char* text, const char* caption) {
    ShowMessage(text, caption);
    return false;
}

} // namespace

void ResetCorrectiveTools() {
    g_correctiveTools = CorrectiveTools();
}

int32_t CursorSampleOfFile1() {
    return int32_t(SlotOf(0).cursorPos / 100);
}

LapMarkResult LapMarkAt(int32_t p) {
    Slot& s = SlotOf(0);
    LapMarkTable& t = s.laps;
    if (p <= kLapMarkReach || t.count <= 0 || t.count >= kLapMarkEntries - 2)
        return LapMarkResult::kNothing;
    LapMarkResult result = LapMarkResult::kNothing;
    for (int i = t.count - 1; i >= 0; --i) {
        if (i > 0 && std::abs(t.marks[i] - p) < kLapMarkReach) {
            std::copy(t.marks + i + 1, t.marks + t.count + 3, t.marks + i);
            t.count = std::max(1, t.count - 1);
            WriteEndEntries(t, s.sampleCount);
            result = LapMarkResult::kDeleted;
            break;
        }
        if (t.marks[i] < p) {
            result = InsertAfter(s, i, p);
            break;
        }
    }
    if (result == LapMarkResult::kDeleted || result == LapMarkResult::kInserted) LapsChanged();
    SayWhyRefused(result);
    return result;
}

double AdjustStrokes(AdjChannel channel, const std::string& text) {
    const double typed = std::strtod(text.c_str(), nullptr);
    const double mm = std::isfinite(typed) ? std::clamp(typed, -kAdjLimitMm, kAdjLimitMm) : 0.0;
    if (channel == AdjChannel::kTps) return mm;
    const ChannelCode code = channel == AdjChannel::kFrontSus ? kCodeFrSUS : kCodeRrSUS;
    const int64_t add = std::lround(mm * 100.0) * 10; // thousandths of a millimetre
    Slot& s = SlotOf(0);
    const uint32_t wanted = kChannelPresent | kChannelShown;
    for (int c = 0; c < kColumnCount; ++c) {
        if ((s.channelFlags[c] & wanted) != wanted || s.channels[c].code != code) continue;
        if (!HasFullBuffer(s, c)) continue;
        for (int32_t i = 0; i < s.sampleCount; ++i)
            s.samples[c][i] = SaturatedAdd(s.samples[c][i], add);
    }
    ComputeChannelRanges(0);
    BuildSlotEnvelope(0);
    return mm;
}

ReencodeResult ReencodeLapMarks(Bytes in, int version, const LapMarkTable& t,
                                std::vector<uint8_t>& out, int32_t& records) {
    records = 0;
    if (version != 3 && version != 4) return ReencodeResult::kBadVersion;
    try {
        out.clear();
        out.reserve(in.size() + in.size() / 32 + 16);
        const size_t size = in.size();
        const size_t header = std::min(size, kVariableStart);
        out.insert(out.end(), in.begin(), in.begin() + ptrdiff_t(header));
        size_t pos = header;
        uint16_t previousOld = 0, previousNew = 0; // running VFW words, lap bit included
        int next = 1;
        const int lastEntry = std::min(t.count, kLapMarkEntries - 2);
        while (pos + 2 <= size) {
            const uint8_t* r = in.data() + pos;
            const uint16_t mask = uint16_t(r[0] << 8 | r[1]);
            const size_t length = size_t(VariableRecordLength(mask, version));
            if (length > size - pos) break; // a record cut off by the end of the file
            const int32_t k = ++records;
            const size_t vfw = 2 + (mask & 0x4000 ? 2 : 1);
            const bool wide = mask & kWideVfw;
            const uint16_t old =
                wide ? uint16_t(r[vfw] << 8 | r[vfw + 1]) : uint16_t(previousOld + int8_t(r[vfw]));
            while (next < lastEntry && t.marks[next] < k) ++next;
            const bool marked = next < lastEntry && t.marks[next] == k;
            const uint16_t word = uint16_t((old & ~kVfwLapBit) | (marked ? kVfwLapBit : 0));
            const int16_t delta = int16_t(uint16_t(word - previousNew));
            // The loader adds the byte as a signed one: -128..127 reproduce the word exactly.
            const bool narrow = !wide && delta >= -128 && delta <= 127;
            const uint16_t newMask = narrow || wide ? mask : uint16_t(mask | kWideVfw);
            out.push_back(uint8_t(newMask >> 8));
            out.push_back(uint8_t(newMask));
            out.insert(out.end(), r + 2, r + vfw);
            if (narrow) {
                out.push_back(uint8_t(delta));
            } else {
                out.push_back(uint8_t(word >> 8));
                out.push_back(uint8_t(word));
            }
            out.insert(out.end(), r + vfw + (wide ? 2 : 1), r + length);
            previousOld = old;
            previousNew = word;
            pos += length;
        }
        out.insert(out.end(), in.begin() + ptrdiff_t(pos), in.end());
    } catch (const std::bad_alloc&) {
        out.clear();
        return ReencodeResult::kNoMemory;
    }
    return ReencodeResult::kDone;
}

bool SaveCorrectedLogFile() {
    Slot& s = SlotOf(0);
    const std::string path = s.file.filePath;
    FileBytes file;
    if (path.empty() || !ReadFileBytes(path, file))
        return SaveFailed("File Save is error !", "Error !");
    if (file.size == 0 || file.data[0] != '3' || s.file.fileKind != kFileFamily3)
        return SaveFailed("This file type is not Support!!", "File Error!!");
    const Bytes bytes(file.data, file.size);
    // The records are written as the loader read them: by the version it settled on, which
    // for early loggers is not the version byte.
    const int version = s.file.logVersion;
    std::vector<uint8_t> out;
    int32_t records = 0;
    if (version == 3 || version == 4) {
        switch (ReencodeLapMarks(bytes, version, s.laps, out, records)) {
        case ReencodeResult::kBadVersion:
            return SaveFailed("DataFile error !", "Error !");
        case ReencodeResult::kNoMemory:
            return SaveFailed("Memory error !", "Error !");
        case ReencodeResult::kDone:
            break;
        }
    } else {
        try {
            out.assign(bytes.begin(), bytes.end());
        } catch (const std::bad_alloc&) {
            return SaveFailed("Memory error !", "Error !");
        }
        // A ".QVL" file of 1024 bytes with an early version is read as its header alone.
        size_t size = out.size();
        const std::string& name = s.file.fileName;
        const bool qvl = name.size() >= 4 && (name[name.size() - 3] | 0x20) == 'q' &&
                         (name[name.size() - 2] | 0x20) == 'v' &&
                         (name[name.size() - 1] | 0x20) == 'l' && name[name.size() - 4] == '.';
        if (qvl && bytes[15] < 3 && size == 1024) size = 512;
        records = RewriteFixedLapBits(out, size, s.laps);
    }
    // A file that is no longer the recording that was loaded is left alone.
    if (records != s.sampleCount - 1 || out.size() < kFixedStart)
        return SaveFailed("File Save is error !", "Error !");
    CalibrateHeader(out);
    const std::string_view whole(reinterpret_cast<const char*>(out.data()), out.size());
    if (!WriteWholeFile(path, whole)) return SaveFailed("File Save is error !", "Error !");
    g_correctiveTools.positionAdjust = false;
    if (NormalisesThrottle(s)) {
        s.header.throttleClosed = g_setupValues.throttleClosed = 0;
        s.header.throttleOpen = g_setupValues.throttleOpen = 255;
    }
    WaitWhileProcessing(kSavedWait);
    ShowMessage("File Is Saved.", "Saved");
    return true;
}

} // namespace qvtk
