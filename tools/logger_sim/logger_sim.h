#pragma once
// A logger unit on the other end of a serial line: it identifies itself, sends live values of
// a simulated ride, its clock and the setup block of the ride's recording, runs the
// calibrations and takes the clock-set command. Fault modes make it misbehave as broken
// hardware does. The answering is a plain function of the logger's state and one command;
// the pseudo-terminal around it is in RunLoggerSim.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/sim/family3_format.h"
#include "tools/sim/ride.h"

namespace qvtk::sim {

enum class LoggerFault {
    kNone,
    kSilent,      // reads every command, answers nothing
    kShort,       // every answer one byte short
    kGarbled,     // live values and setup block random, clock out of range
    kUnsupported, // identifies with firmware level 002
    kLogging,     // logging in progress: 0x40 refused, status low bits set
    kMemoryCard,  // memory-card error in the status high bits (for the first N live answers)
    kDrop,        // unplugged after N answers
    kSlow,        // N ms between the bytes of an answer
};

struct LoggerSimOptions {
    std::string link; // the path linked to the pseudo-terminal
    LoggerFault fault = LoggerFault::kNone;
    int faultCount = -1;  // N of the fault modes; -1 for the default
    int blockBytes = 512; // the setup block's length (1024: compressed log format)
    double seconds = 0;   // run time, 0 until stopped
    std::string ident;    // the 8-byte identify answer; empty: "0QVLR001"
    std::string log;      // a file that gets one line per command received
    uint32_t seed = 1;
};

// Parses "silent", "drop:3", ... into the options; false for an unknown mode.
bool ParseLoggerFault(const std::string& text, LoggerSimOptions& o);

struct LoggerSim {
    LoggerSimOptions options;
    SimRide ride;
    Family3Setup setup;
    Family3Codecs codecs;
    std::vector<uint8_t> setupBlock;
    int answers = 0; // answers sent
    int liveAnswers = 0;
    double clockOffset = 0; // seconds added to the wall clock (the clock-set command moves it)
    double calibrationStart = -1; // ride time when 0x40 was accepted
    uint32_t noise = 1;           // for the garbled answers
};

void InitLoggerSim(LoggerSim& sim, const LoggerSimOptions& options);

// The bytes one command takes: 8 for the clock-set command, else 1.
size_t LoggerCommandLength(uint8_t first);

// The answer to one whole command at wall-clock time `now` (seconds since the epoch) and
// `elapsed` seconds after the start; empty for no answer.
std::vector<uint8_t> AnswerLoggerCommand(LoggerSim& sim, const uint8_t* command, size_t n,
                                         double now, double elapsed);

// The live sample of ride time `elapsed`, as the logger sends it.
std::vector<uint8_t> LiveSampleAt(const LoggerSim& sim, double elapsed);

// Serves a pseudo-terminal linked at options.link until the time is up, the logger drops off
// or SIGTERM/SIGINT arrives. Returns the exit status.
int RunLoggerSim(const LoggerSimOptions& options);

} // namespace qvtk::sim
