#pragma once
// The CAN logger's own settings (buses, start condition, clock, lap signal, memo): one
// program-wide record beside the setup values it shares with the standard logger (tires,
// sprockets, marks per lap, gearbox). Both are filled from the header of a CAN logger
// recording loaded as File 1, edited in the CAN Logger Setting dialog and written into the
// CAN logger's setup file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/byte_cursor.h"

namespace qvtk {

constexpr size_t kCanMemoBytes = 254;      // what the memo field takes (the file keeps 255)
constexpr int kTimeZoneHourIndexZero = 12; // the hour list runs from -12 to +14

struct CanSetupValues {
    int bitRate[2] = {};    // CAN 1 (ECU), CAN 2 (Ext): 0 1Mbps .. 4 100kbps
    int terminator[2] = {}; // flags bit 0
    int listenOnly[2] = {}; // flags bit 1
    int startCondition = 0; // 0 APS > x, 1 after x seconds, 2 Ne > x, 3 CAN data arrived
    int startValue = 0;     // x, 0-65535
    int gpsClock = 0;       // the logger sets its clock from the GPS
    int timeZoneHourIndex = kTimeZoneHourIndexZero; // 0 = -12 .. 26 = +14
    int timeZoneMinutes = 0;                        // 0, 15, 30, 45
    int lapSignalType = 0;                          // 0 LAP In(Active L), 1 LAP In(Active H), 2 GPS
    int lapOut = 0;                                 // 0 OFF, 1 ON
    std::string memo;                               // bytes (Shift-JIS), at most kCanMemoBytes
};

extern CanSetupValues g_canSetupValues;

void ResetCanSetupValues();

// Takes the CAN settings, and the setup values the standard logger shares (tires, sprockets,
// marks per lap, gearbox), from the header of a CAN logger recording.
void DecodeCanSetupValues(Bytes header);

} // namespace qvtk
