#pragma once
// The analog input calculation of LAF1, LAF2, AUX1 and AUX2 as plain data: the fields of the
// "AUX Calculation setting" dialog (conversion type, a, b, the 16-row table), the texts they
// show, the rules a typed value goes through, the Copy / "Peast" clipboard shared by all inputs
// and "Overwrite File", which writes one input's conversion into File 1's recording.
#include <string>

#include "data/setup_values.h"

namespace qvtk {

extern const char* const kInputNames[kSetupInputs]; // "LAF1", "LAF2", "AUX1", "AUX2"
extern const char* const kInputTypeNames[4];        // "PTX LAF", "Voltage", "ax+b", "Table"

// Field ids of one input.
constexpr int kInType = 0;
constexpr int kInGain = 1;                               // "a ="
constexpr int kInOffset = 2;                             // "b ="
constexpr int kInVoltage = 3;                            // 16 rows, volts
constexpr int kInValue = kInVoltage + kSetupTablePoints; // 16 rows, output units
constexpr int kInputFieldCount = kInValue + kSetupTablePoints;

// "type", "a", "b", "voltage_1".."voltage_16", "value_1".."value_16"; -1 for another name.
std::string InputFieldName(int id);
int FindInputField(const std::string& name);
// "LAF1".."AUX2" in any case; -1 for another name.
int FindInput(const std::string& name);

// The clipboard of Copy and "Peast": 16 voltages (mV) and 16 values.
struct InputClipboard {
    int millivolts[kSetupTablePoints] = {};
    int values[kSetupTablePoints] = {};
};
extern InputClipboard g_inputClipboard;
void ResetInputCalculation();

// Enabled by the input's type: a and b with "ax+b", the table with "Table".
bool InputFieldEnabled(int input, int id);

// How a field shows its value: as the dialog opens, after an edit, after "Peast".
enum class InputTextFor { kOpening, kEdited, kPasted };
std::string InputFieldText(int input, int id, InputTextFor when = InputTextFor::kOpening);

// A value typed into a field and left, or a type chosen by its name: applied to the input's
// setup values by the field's rule. False (nothing changed) for a disabled field or a type
// name that does not exist.
bool EditInputField(int input, int id, const std::string& text);

void CopyInputTable(int input);
void PasteInputTable(int input);

// "Overwrite File": the input's conversion into the header of File 1's recording, read back
// to verify, then File 1 loaded again by `reload` (the open flow of whoever asks). The setup
// values the user edited stay as they were; only this input takes what the file now holds.
using ReloadFile1 = bool (*)(const std::string& path);
bool OverwriteInputFile(int input, ReloadFile1 reload);

} // namespace qvtk
