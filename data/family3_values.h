#pragma once
// Value conversions of the family-3 recordings: raw record values to physical units. Every
// integer division truncates toward zero, as the logger's own tools compute them.
#include <cstdint>

#include "data/session.h"

namespace qvtk {

constexpr int kStrokeRangeFront = 18768; // standard sensor, hundredths of a millimetre
constexpr int kStrokeRangeRear = 12500;

// Throttle in tenths of a percent.
int32_t ThrottleTenths(const LogHeader& h, int version, int32_t raw);

// Suspension stroke in hundredths of a millimetre from the raw value (10-bit, 16-bit in
// version 4), for one side: sensor type, full range, zero point and linear stroke constant.
int32_t StrokeHundredths(int version, int sensorType, int32_t fullRange, int32_t zero,
                         int32_t strokeConstant, int32_t raw);

// LAF1, LAF2, AUX1, AUX2 (input 0-3) in hundredths.
int32_t InputHundredths(const LogHeader& h, int version, int input, int32_t raw);

// Battery voltage in hundredths of a volt.
int32_t VbHundredths(int version, int32_t raw);

// The 16-point table of an input at a value in millivolts.
int32_t InputTable(const InputCalibration& cal, int32_t millivolts);

} // namespace qvtk
