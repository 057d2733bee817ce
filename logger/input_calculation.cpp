#include "logger/input_calculation.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "data/session.h"
#include "logger/setup_block.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"

namespace qvtk {

const char* const kInputNames[kSetupInputs] = {"LAF1", "LAF2", "AUX1", "AUX2"};
const char* const kInputTypeNames[4] = {"PTX LAF", "Voltage", "ax+b", "Table"};
InputClipboard g_inputClipboard;

namespace {

constexpr int kTypeGainOffset = 2, kTypeTable = 3;
constexpr double kGainLimit = 327.67, kNearZero = 0.01;
constexpr double kVoltsLimit = 5.0, kValueLimit = 300.0;
constexpr int kMaxMillivolts = 5000;
constexpr size_t kHeaderBytes = 512;

template <typename... A> std::string Format(const char* format, A... args) {
    char text[64];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// A decimal number as typed; anything that is not one reads as 0.
double ReadDecimal(const std::string& text) {
    const double v = std::strtod(text.c_str(), nullptr);
    return std::isfinite(v) ? v : 0.0;
}

// Hundredths of a typed number, to the nearest: 0.29 is 29, not the 28 of a truncation.
int Hundredths(double v) {
    return int(std::lround(v * 100.0));
}

// The ADC grid of the logger: what a breakpoint becomes once stored as counts.
int SnapToGrid(int mv) {
    return std::min(CountsToMillivolts(MillivoltsToCounts(mv)), kMaxMillivolts);
}

// Each breakpoint is at least the one before it.
void RaiseBreakpoints(InputConversion& in) {
    for (int i = 1; i < kSetupTablePoints; ++i)
        in.tableMillivolts[i] = std::max(in.tableMillivolts[i], in.tableMillivolts[i - 1]);
}

} // namespace

void ResetInputCalculation() {
    g_inputClipboard = InputClipboard();
}

std::string InputFieldName(int id) {
    if (id == kInType) return "type";
    if (id == kInGain) return "a";
    if (id == kInOffset) return "b";
    if (id >= kInVoltage && id < kInValue) return "voltage_" + std::to_string(id - kInVoltage + 1);
    if (id >= kInValue && id < kInputFieldCount)
        return "value_" + std::to_string(id - kInValue + 1);
    return {};
}

int FindInputField(const std::string& name) {
    for (int id = 0; id < kInputFieldCount; ++id)
        if (InputFieldName(id) == name) return id;
    return -1;
}

int FindInput(const std::string& name) {
    std::string upper = name;
    for (char& c : upper) c = char(std::toupper(uint8_t(c)));
    for (int k = 0; k < kSetupInputs; ++k)
        if (upper == kInputNames[k]) return k;
    return -1;
}

bool InputFieldEnabled(int input, int id) {
    const int type = g_setupValues.inputs[input].type;
    if (id == kInType) return true;
    if (id == kInGain || id == kInOffset) return type == kTypeGainOffset;
    return id >= kInVoltage && id < kInputFieldCount && type == kTypeTable;
}

std::string InputFieldText(int input, int id, InputTextFor when) {
    const InputConversion& in = g_setupValues.inputs[input];
    if (id == kInType) return in.type >= 0 && in.type <= 3 ? kInputTypeNames[in.type] : "";
    if (id == kInGain) return Format("%0.2f", in.gain * 0.01);
    if (id == kInOffset) return Format("%0.2f", in.offset * 0.01);
    if (id >= kInValue) return Format("%5g", in.tableValues[id - kInValue] * 0.01);
    const char* format = when == InputTextFor::kOpening  ? "%3.2f"
                         : when == InputTextFor::kEdited ? "%4.2f"
                                                         : "%4.3f";
    return Format(format, in.tableMillivolts[id - kInVoltage] * 0.001);
}

bool EditInputField(int input, int id, const std::string& text) {
    if (input < 0 || input >= kSetupInputs || !InputFieldEnabled(input, id)) return false;
    InputConversion& in = g_setupValues.inputs[input];
    if (id == kInType) {
        for (int t = 0; t < 4; ++t)
            if (text == kInputTypeNames[t]) {
                in.type = t;
                return true;
            }
        return false;
    }
    double v = ReadDecimal(text);
    if (id == kInGain) {
        // A gain of 0 would flatten the input: it stays at least a hundredth either way.
        if (v >= 0 && v < kNearZero) v = kNearZero;
        if (v < 0 && v > -kNearZero) v = -kNearZero;
        in.gain = Hundredths(std::clamp(v, -kGainLimit, kGainLimit));
    } else if (id == kInOffset) {
        in.offset = Hundredths(std::clamp(v, -kGainLimit, kGainLimit));
    } else if (id < kInValue) {
        // Below 0 V a breakpoint would wrap in its byte to the top of the range.
        const int mv = int(std::lround(std::clamp(v, 0.0, kVoltsLimit) * 1000.0));
        in.tableMillivolts[id - kInVoltage] = SnapToGrid(mv);
        RaiseBreakpoints(in);
    } else {
        in.tableValues[id - kInValue] = Hundredths(std::clamp(v, -kValueLimit, kValueLimit));
    }
    return true;
}

void CopyInputTable(int input) {
    const InputConversion& in = g_setupValues.inputs[input];
    std::copy(std::begin(in.tableMillivolts), std::end(in.tableMillivolts),
              g_inputClipboard.millivolts);
    std::copy(std::begin(in.tableValues), std::end(in.tableValues), g_inputClipboard.values);
}

void PasteInputTable(int input) {
    InputConversion& in = g_setupValues.inputs[input];
    std::copy(std::begin(g_inputClipboard.millivolts), std::end(g_inputClipboard.millivolts),
              in.tableMillivolts);
    std::copy(std::begin(g_inputClipboard.values), std::end(g_inputClipboard.values),
              in.tableValues);
}

bool OverwriteInputFile(int input, ReloadFile1 reload) {
    const std::string path = SlotOf(0).file.filePath;
    std::ifstream file(path, std::ios::binary);
    if (path.empty() || !file || access(path.c_str(), R_OK | W_OK) != 0) {
        ShowMessage("File read error. Not saved !", "Error !");
        return false;
    }
    uint8_t header[kHeaderBytes] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    const size_t read = size_t(file.gcount());
    file.close();
    if (header[0] != '3' || SlotOf(0).file.fileKind != kFileFamily3 || read != kHeaderBytes) {
        ShowMessage("File type error. Not saved !", "Error !");
        return false;
    }
    WriteInputTables(header, input, g_setupValues);
    const std::string_view bytes(reinterpret_cast<const char*>(header), kHeaderBytes - 1);
    if (!ReplaceFileBytes(path, 0, bytes)) {
        ShowMessage("File write error. Not saved !", "Error !");
        return false;
    }
    ShowMessage("File saved !", "Save");
    // Loading File 1 again fills the setup values from its header: the user's other edits,
    // not saved anywhere yet, would be lost.
    const SetupValues edited = g_setupValues;
    const bool loaded = reload(path) && SlotOf(0).file.fileKind == kFileFamily3;
    const InputConversion written = g_setupValues.inputs[input];
    g_setupValues = edited;
    if (loaded) g_setupValues.inputs[input] = written;
    return true;
}

} // namespace qvtk
