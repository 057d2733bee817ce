#pragma once
// The CAN logger's setup file (8192 bytes: header, packed channel table, zeros) and the memo
// rewritten into File 1's CAN logger recording, each with the program's messages. The file
// dialogs belong to the caller; these take the chosen path.
#include <cstdint>
#include <string>
#include <vector>

#include "data/can_setup_values.h"
#include "data/channel_setting.h"
#include "data/session.h"
#include "data/setup_values.h"

namespace qvtk {

// Zero Position Adjust: the channels of these functions read zero where File 1's cursor is.
struct ZeroPositionAdjust {
    bool frSus = false, rrSus = false, frBrake = false, rrBrake = false;
};

// The course whose name and GPS line the file carries.
struct SetupCourse {
    std::string name; // "track.crs"
    ControlLine line;
};

// The GPS line of a course: File 1's own when File 1 is a CAN logger recording of that course,
// else the course's line in "gps_p.ini".
ControlLine CourseLine(const std::string& course);

// Bytes 25 and 35-43, 142-143, 145 of the header: carried over from File 1 when File 1 is a
// CAN logger recording (in another recording they mean other things), else 0.
void CopyKeptBytes(uint8_t* file);

// The whole file; `fits` false when the table reached offset 8192.
std::vector<uint8_t> BuildCanSetupFile(const SetupValues& v, const CanSetupValues& can,
                                       const ChannelSettingTable& table, const SetupCourse& course,
                                       bool& fits);

// Normalises the setup values the file holds (pulse counts, tires, marks per lap; the
// throttle readings are left alone), builds the file from File 1's channel table with Zero
// Position Adjust applied to the copy written, and writes it whole over `path`. The adjustment
// is kept in the table only once the file is on disk. Shows "SetUp File is saved.",
// "SetUp failed to save !!" or "SetUp File Error.Over Size...".
bool SaveCanSetupFile(const std::string& path, const ZeroPositionAdjust& adjust,
                      const SetupCourse& course);

// "Overwrite Memo": the memo (at most 254 bytes and a zero) at offset 256 of File 1's CAN
// logger recording, the file written anew crash safe.
bool OverwriteMemoInCanLog(const std::string& memo);

// The time-zone lists from the PC's bias B (minutes to add to local time to get UTC).
struct TimeZoneChoice {
    int hourIndex = kTimeZoneHourIndexZero; // 0 = -12 .. 26 = +14
    int minutes = 0;
};
TimeZoneChoice TimeZoneFromBias(int biasMinutes);
int LocalTimeZoneBias();

} // namespace qvtk
