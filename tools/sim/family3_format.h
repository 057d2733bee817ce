#pragma once

#include "tools/sim/family3_writer.h"
#include "tools/sim/raw_codec.h"

#include <cstdint>
#include <vector>

namespace qvtk::sim {

// The header values of one family-3 file as the logger stores them, settled once from
// the ride and the options so the header and the records cannot disagree.
struct Family3Setup {
    int version = 2;
    int enginePulses = 2;
    int throttleClosed = 20, throttleOpen = 220;
    int throttleGain = 50;      // versions 0 and 32: tenths of a per cent per 10 raw counts
    int sensorType[2] = {0, 0}; // front, rear: 0 standard, 1 linear
    int zero[2] = {1000, 1010}; // 10-bit zero readings as a reader decodes them
    int linearStroke[2] = {2000, 1000};
    InputCalibration inputs[4];
};

Family3Setup MakeFamily3Setup(int version, const Family3Options& options);

bool IsVariableRecordVersion(int version);
size_t Family3HeaderSize(int version);

std::vector<uint8_t> WriteFamily3Header(const SimRide& ride, const Family3Setup& setup,
                                        const Family3Options& options);

// Inverse conversions of the analog fields of one version.
struct Family3Codecs {
    RawCodec throttle;   // tenths of a per cent
    RawCodec stroke[2];  // hundredths of a millimetre; raw: byte (0, 32), 10 bits, 16 bits (4)
    RawCodec airFuel[2]; // hundredths of A/F, standard LAF sensor
    RawCodec aux[2];     // hundredths of a volt
    RawCodec vb;         // hundredths of a volt
};

Family3Codecs MakeFamily3Codecs(const Family3Setup& setup);

} // namespace qvtk::sim
