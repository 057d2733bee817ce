#pragma once
// Fuel used per file and per lap, from the injector pulses of the channel "F_TMFLCN": each
// rising edge stands for 10 cc.
#include <string>

namespace qvtk {

// The report of File 1 beside File 2; empty when File 1 has no "F_TMFLCN" channel.
std::string FuelUsedText();

// Shows the report in a box captioned "Fuel used"; nothing without the channel.
void ShowFuelUsed();

} // namespace qvtk
