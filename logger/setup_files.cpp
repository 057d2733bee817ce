#include "logger/setup_files.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "data/session.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"
#include "platform/wait.h"

namespace qvtk {

ClockSetTime g_clockSet;

namespace {
constexpr int kSetupSavedWait = 500;
constexpr int kClockSavedWait = 1000;
constexpr size_t kHeaderBytes = 512;
constexpr size_t kMemoOffset = 320;
} // namespace

void ResetSetupFiles() {
    g_clockSet = ClockSetTime();
}

bool File1HoldsBinaryLog() {
    return SlotOf(0).file.fileKind == kFileFamily3;
}

ObservedReadings File1ObservedReadings() {
    const LogHeader& h = SlotOf(0).header;
    if (SlotOf(0).file.logVersion != 4)
        return {h.throttleRawMin, h.throttleRawMax, h.strokeRawMaxFront, h.strokeRawMaxRear};
    // Version 4 records 16-bit readings; the header keeps 8-bit throttle and 10-bit stroke
    // readings, so they are scaled to those.
    auto throttle = [](int raw) { return std::clamp(raw >> 8, 0, 255); };
    auto stroke = [](int raw) { return std::clamp(raw >> 6, 0, 1023); };
    return {throttle(h.throttleRawMin), throttle(h.throttleRawMax), stroke(h.strokeRawMaxFront),
            stroke(h.strokeRawMaxRear)};
}

bool SetupFileBaseLoaded() {
    if (File1HoldsBinaryLog()) return true;
    ShowMessage("Not load base log file!", "Error !");
    return false;
}

bool SaveSetupFile(const std::string& path, const PositionAdjust& adjust) {
    if (!SetupFileBaseLoaded()) return false;
    NormaliseSetupValues(g_setupValues);
    const std::vector<uint8_t> block = BuildSetupBlock(g_setupValues, g_settings.CompressFile != 0,
                                                       adjust, File1ObservedReadings());
    const std::string_view bytes(reinterpret_cast<const char*>(block.data()), block.size());
    if (!WriteWholeFile(path, bytes)) {
        ShowMessage("SetUp failed to save !!", "Error !!");
        return false;
    }
    WaitWhileProcessing(kSetupSavedWait);
    ShowMessage("SetUp File is saved.", "Saved");
    return true;
}

bool SaveClockSetFile(const std::string& path, const ClockSetTime& t) {
    g_clockSet = t;
    const char bytes[7] = {char(t.year / 256),
                           char(t.year & 255),
                           char(t.month),
                           char(t.day),
                           char(t.hour),
                           char(t.minute),
                           0};
    if (!WriteWholeFile(path, std::string_view(bytes, sizeof bytes))) {
        ShowMessage("ClockSet file is Not Saved !!", "Error !!");
        return false;
    }
    WaitWhileProcessing(kClockSavedWait);
    ShowMessage("ClockSet file is Saved.", "Saved");
    return true;
}

bool SaveMemoToLogFile(const std::string& memo) {
    const std::string& path = SlotOf(0).file.filePath;
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in || access(path.c_str(), R_OK | W_OK) != 0) {
        ShowMessage("File read error. Not saved !", "Error !");
        return false;
    }
    char header[kHeaderBytes] = {};
    in.read(header, sizeof header);
    const size_t read = size_t(in.gcount());
    if (header[0] != '3' || !File1HoldsBinaryLog() || read != kHeaderBytes) {
        ShowMessage("File type error. Not saved !", "Error !");
        return false;
    }
    const size_t n = std::min({memo.size(), kMemoFieldBytes, std::strlen(memo.c_str())});
    std::memcpy(header + kMemoOffset, memo.data(), n);
    header[kMemoOffset + n] = 0;
    if (!ReplaceFileBytes(path, 0, std::string_view(header, kHeaderBytes - 1))) {
        ShowMessage("File write error. Not saved !", "Error !");
        return false;
    }
    // What is on disk now is File 1's memo.
    std::memset(g_setupValues.memo, 0, sizeof g_setupValues.memo);
    std::memcpy(g_setupValues.memo, header + kMemoOffset, n);
    std::memset(SlotOf(0).header.memo, 0, sizeof SlotOf(0).header.memo);
    std::memcpy(SlotOf(0).header.memo, header + kMemoOffset, n);
    ShowMessage("File saved !", "Save");
    return true;
}

} // namespace qvtk
