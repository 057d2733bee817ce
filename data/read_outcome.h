#pragma once
// What a reader tells the load pipeline: which format it decoded, and whether the records made
// it into the slot, so that the steps after the reader run only on a decoded recording.

namespace qvtk {

enum LogFormat : int {
    kFormatNone = 0,
    kFormatFamily3,
    kFormatCan,
    kFormatFamily4,
    kFormatHnd,
    kFormatCsv
};

struct ReadOutcome {
    LogFormat format = kFormatNone;
    bool decoded = false;     // false: rejected (the reader has said so and closed the slot)
    bool lapsFromGps = false; // family 4: the header asks for laps from line crossings
    bool appended = false;    // family 4: the file was added after the slot's samples
    bool truncated = false;   // the file ends inside a record: loaded up to the last whole one
    bool cancelled = false;   // CSV: the selection was closed without OK; the slot is as it was
};

} // namespace qvtk
