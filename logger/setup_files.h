#pragma once
// The files written for the logger's memory card (the setup file and the clock-set file) and
// the memo written into File 1's recording, each with the program's messages. The file
// dialogs belong to the caller; these take the chosen path.
#include <string>

#include "logger/logger_answers.h"
#include "logger/setup_block.h"

namespace qvtk {

// The clock-set time last saved, program-wide.
extern ClockSetTime g_clockSet;

void ResetSetupFiles();

// True when File 1 holds a binary recording of family 3: the setup file is built from it.
bool File1HoldsBinaryLog();
// The same, saying "Not load base log file!" when it does not.
bool SetupFileBaseLoaded();
// File 1's observations that Position Adjust takes.
ObservedReadings File1ObservedReadings();

// Normalises the setup values, builds the block (512 bytes, or 1024 with `CompressFile`) and
// writes it whole over `path`; a failure leaves an earlier file as it was. Shows "SetUp File
// is saved." or "SetUp failed to save !!" ("Not load base log file!" without a recording).
bool SaveSetupFile(const std::string& path, const PositionAdjust& adjust);

// The 7 bytes of the clock-set file.
bool SaveClockSetFile(const std::string& path, const ClockSetTime& t);

// Writes the memo (bytes, at most 188 and a zero) into the header of File 1's recording and
// reads it back; "File saved !" only when the bytes on disk are the ones written.
bool SaveMemoToLogFile(const std::string& memo);

constexpr size_t kMemoFieldBytes = 188;

} // namespace qvtk
