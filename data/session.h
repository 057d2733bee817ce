#pragma once
// The session data model: the three file slots and everything known about the recordings in
// them. Plain records, one program-wide instance (g_session); readers fill it, the derived
// channels add to it, the viewer and the tools read it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/channel_codes.h"

namespace qvtk {

using FileSlot = int; // 0, 1, 2 = File 1, File 2, File 3

constexpr int kSlotCount = 3;
constexpr int kColumnCount = 64;
constexpr int kColumnNotPresent = 64; // ChannelIndexByCode of a code no column carries
constexpr int kChannelIndexSize = 319;
constexpr int kCodeTableSize = 320;
constexpr int kSpareSamples = 16;
constexpr int kPlaceholderSamples = 8; // a column without data still owns 32 bytes
constexpr int kLapMarkEntries = 513;   // 511 marks plus the end entries
constexpr int kLastPulseEntry = 509;   // the highest entry a recorded pulse may take
constexpr int kMemoBytes = 512;
// More samples than 8 hours at 200 Hz: no logger records that, the file is corrupted.
constexpr int32_t kMaxSampleCount = 5760000;

enum FileKind : int {
    kFileNone = 0,
    kFileFamily3 = 1,
    kFileHnd = 2,
    kFileCsv = 3,
    kFileFamily4 = 16,
    kFileCan = 255,
};

// ChannelFlags bits.
constexpr uint32_t kChannelPresent = 1; // present, and its SampleBuffer is full length
constexpr uint32_t kChannelShown = 2;   // drawn in the graphs

struct LabelRect {
    int left = 10, top = 16, right = 10, bottom = 16;
};

struct SlotFile {
    std::string fileName;          // without directory, shown in the file label
    std::string filePath;          // full path as opened
    LabelRect labelRect;           // where the file label is drawn
    FileKind fileKind = kFileNone; // which reader filled the slot
    int logVersion = 0;            // header version after the version rules
    int64_t sizeEstimate = 0;      // bytes a delta-coded copy of a fixed-record file needs
};

struct ChannelInfo {
    uint8_t kind = 0;     // 0 unused, 1 logged, 2 computed (kind-16: descriptor mode)
    ChannelCode code = 0; // the channel's type
    uint16_t sampleTimeIndex = 0;
    uint8_t canPort = 0;
    uint8_t bitDepth = 0; // non-zero with signedRaw: signed 16-bit raw
    uint32_t canId = 0;
    uint8_t bitShift = 0;
    uint16_t dataMask = 0;
    uint8_t flags = 0;    // descriptor byte 12 as stored
    uint8_t extendId = 0; // flags bit 0
    uint8_t flag1 = 0;    // flags bit 1
    uint8_t lock = 0;     // flags bit 2
    uint8_t decimals = 0; // digits shown after the point, 0-3
    uint8_t signedRaw = 0;
    uint8_t conversion = 0; // 0 none, 1 two-point percent, 2 gain+offset, 3 gain/divisor, 5 table
    int32_t calA = 1000, calB = 1000, calOffset = 0;
    int32_t tableIn[10] = {};
    int32_t tableOut[10] = {};
    uint8_t source = 0; // 1 when the program computed the column
    char name[9] = {};
    char unit[9] = {};
};

// Calibration of one LAF/AUX input (input type 2: gain and offset, type 3: 16-point table).
struct InputCalibration {
    int32_t gain = 0;
    int32_t offset = 0;
    int32_t tableIn[16] = {}; // millivolts
    int32_t tableOut[16] = {};
};

struct LogHeader {
    int headerVersion = 0; // the version byte as stored in the file
    int neDivisor = 0;     // engine pulses per revolution; 0 means Ne = raw x 2
    int pulsesFront = 1, pulsesRear = 1;
    int tireFront = 100, tireRear = 100; // circumference, mm
    int sprocketFront = 1, sprocketRear = 1;
    int throttleClosed = 0, throttleOpen = 0, throttleGain = 0;
    int susTypeFront = 0, susTypeRear = 0; // 0 standard, 1 linear, other none
    int susZeroFront = 0, susZeroRear = 0;
    int strokeFront = 0, strokeRear = 0; // linear sensor stroke, 0.1 mm, signed
    int inputTypes[4] = {};              // LAF1, LAF2, AUX1, AUX2
    InputCalibration inputs[4];
    int gearTeeth[14] = {}; // primary driven, primary drive, driven and drive of gears 1-6
    int gearThresholds[7] = {};
    int lapThreshold = 0; // lap-marker threshold, hundredths of a volt
    char memo[kMemoBytes] = {};
    // Observed while loading, for the corrective tools.
    int throttleRawMin = 120, throttleRawMax = 128;
    int strokeRawMaxFront = 0, strokeRawMaxRear = 0;
};

struct LapMarkTable {
    int32_t marks[kLapMarkEntries] = {};       // sample index of each mark; entry 0 is 0
    int32_t count = 1;                         // entry that holds the end of the recording
    int32_t lapDistance[kLapMarkEntries] = {}; // distance between marks k-1 and k in entry k
    int32_t divisor = 1;                       // marker pulses per lap, 1-3
};

// What the distance since lap start (the selected track) follows; each format has its own
// rule, and the lap segments rebuilt after a load must follow the same one.
enum class LapDistanceSource : uint8_t {
    kChosenWheel, // the wheel "CoursePosSource" names
    kFrontWheel,
    kRearWheel,
    kGpsSpeed, // the recording's GPS speed column
};

struct DistanceTrack {            // cumulative, 1/7200 m
    uint32_t* selected = nullptr; // restarts at lap boundaries
    uint32_t* front = nullptr;
    uint32_t* rear = nullptr;
};

struct GpsTrack {
    uint8_t* status = nullptr; // 1-5 usable fix
    int32_t* lon = nullptr;    // 1/100000 minute, west negative
    int32_t* lat = nullptr;    // south negative
    int32_t* extra = nullptr;  // record bytes 15-16
};

struct ControlLine {
    int32_t latA = 0, lonA = 0, latB = 0, lonB = 0;
};

struct ChannelRange {
    int32_t max[kColumnCount] = {};
    int32_t min[kColumnCount] = {};
    int32_t minCopy[kColumnCount] = {}; // second copy of the minimum
    int32_t maxByCode[kCodeTableSize] = {};
    int32_t minByCode[kCodeTableSize] = {};
};

struct Slot {
    bool active = false;
    SlotFile file;
    LogHeader header;
    ChannelInfo channels[kColumnCount + 1];
    uint32_t channelFlags[kColumnCount + 1] = {};
    int32_t* samples[kColumnCount] = {};       // SampleBuffer per column
    int32_t sampleCount = 1;                   // SampleCount
    float sampleRateFactor = 1.0f;             // 5 ms / sample interval
    int32_t capacity = 0;                      // samples each full buffer holds
    int32_t columnCapacity[kColumnCount] = {}; // samples column c's buffer holds
    ChannelRange range;
    int32_t autoDisplay[kColumnCount] = {};
    // Slots 1 and 2: the file's own column and code of what each column holds, so that the
    // columns can be lined up again when File 1 changes.
    uint8_t fileColumn[kColumnCount] = {};
    ChannelCode fileCode[kColumnCount] = {};
    LapMarkTable laps;
    DistanceTrack distance;
    LapDistanceSource lapDistanceSource = LapDistanceSource::kChosenWheel;
    GpsTrack gps;
    uint8_t* sampleMarks = nullptr; // SampleMarks
    ControlLine controlLine;
    int64_t cursorPos = 0; // CursorPos: the sample under the viewer's baseline x 100
    // Engine speed as the final-drive simulation would have it; 1 for a recording as it is.
    float engineSpeedScale = 1.0f;
    int gearInputColumn = kColumnNotPresent;
};

struct Session {
    Slot slots[kSlotCount];
    uint8_t channelIndexByCode[kChannelIndexSize]; // ChannelIndexByCode, from slot 0
    std::string firmware;                          // logger firmware text (slot 0)
    std::string courseName;                        // from the header of a GPS recording (slot 0)
    bool courseKnown = false;                      // the header's line matched the GPS line file
    bool file1HasGps = false;     // File 1 carries GPS positions: the map shows its track
    int linkRatio = 235;          // rear suspension link ratio echoed by the header (slot 0)
    uint8_t setupEcho[1024] = {}; // slot 0's header bytes, for the logger setup views
    bool variableRecords = false; // last family-3 load had variable-length records
    std::string programDirectory;
    std::string lastDirectory;
};

extern Session g_session;

inline Slot& SlotOf(FileSlot slot) {
    return g_session.slots[slot];
}
inline bool IsPresent(const Slot& s, int column) {
    return column >= 0 && column < kColumnCount && (s.channelFlags[column] & kChannelPresent);
}

// Frees every buffer and returns all slots to their start state.
void ResetSession();

// Frees the slot's buffers and allocates them anew for n samples. Shows the memory error and
// returns false on failure; the caller then closes the slot.
bool AllocateSlotBuffers(FileSlot slot, int32_t n);
// The same, keeping the contents of the first `capacity` samples.
bool GrowSlotBuffers(FileSlot slot, int32_t n);
void ClearSlotBuffers(FileSlot slot, int32_t n);
void CloseSlot(FileSlot slot);
void SwapColumns(FileSlot slot, int a, int b);
void BuildChannelIndexByCode();
void ComputeChannelRanges(FileSlot slot);
// Lines the columns of slot 1 or 2 up with slot 0, by name and then by code. The columns are
// taken to be in the order the file gave them.
void AlignColumnsWithFile1(FileSlot slot);
// After File 1 changed: puts the columns of slot 1 or 2 back in their file's order, with their
// own codes, and lines them up with the new File 1 as their own load did.
void RealignColumnsWithFile1(FileSlot slot);

// Column of the first present channel with this code (column 0 included), or -1.
int FindColumnByCode(FileSlot slot, ChannelCode code, int firstColumn = 0);

// True when column c owns a buffer of the slot's full capacity.
inline bool HasFullBuffer(const Slot& s, int c) {
    return c >= 0 && c < kColumnCount && s.capacity > 0 && s.columnCapacity[c] == s.capacity;
}

// Sample i of a column as the viewer and tools read it: 0 outside the stored range.
int32_t SampleAt(FileSlot slot, int column, int32_t i);

// "Data file is corrupted." and then the count, both captioned "File Error!!".
void ShowSampleCountCorrupted(int64_t count);

// Lets tests make the next allocations fail; 0 means never.
void FailAllocationsAfterBytesForTesting(size_t bytes);

} // namespace qvtk
