// The logger's answers as they come off the wire: identify, clock, live sample and setup
// block, in any length and content; and a setup block built from what a header decodes to
// must decode to the same block again.
#include <cstring>
#include <string>
#include <vector>

#include "logger/program.h"
#include "data/setup_values.h"
#include "logger/logger_answers.h"
#include "logger/monitor_values.h"
#include "logger/setup_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvtk;
    ResetProgram();
    JudgeIdentifyAnswer(data, std::min<size_t>(size, kIdentifyAnswer + 1));
    if (size >= kClockAnswer) {
        uint8_t clock[kClockAnswer];
        std::memcpy(clock, data, sizeof clock);
        const LoggerClock c = DecodeClockAnswer(clock);
        ClockAnswerInRange(c);
        if (ClockText(c).empty()) __builtin_trap();
    }

    // The live sample from the first bytes, the setup block from the rest, short or long.
    HistoryRecord history[kHistoryEntries] = {};
    std::memcpy(history[kHistNewest], data, std::min(size, kLiveSampleBytes));
    std::vector<uint8_t> block(kSetupBlockMax, 0);
    if (size > kLiveSampleBytes)
        std::memcpy(block.data(), data + kLiveSampleBytes,
                    std::min(size - kLiveSampleBytes, kSetupBlockMax));
    ShiftSampleHistory(history);
    MonitorTexts texts;
    FormatLiveValues(history[kHistDisplay], block.data(), false, texts);
    FormatLiveValues(history[kHistDisplay], block.data(), true, texts);
    FormatSetupInformation(block.data(), texts);

    DecodeSetupValues(Bytes(block.data(), std::min(size, kSetupBlockMax)), true);
    const bool compressed = size & 1;
    const std::vector<uint8_t> first = BuildSetupBlock(g_setupValues, compressed, {}, {});
    DecodeSetupValues(Bytes(first), compressed);
    const std::vector<uint8_t> second = BuildSetupBlock(g_setupValues, compressed, {}, {});
    if (first != second) __builtin_trap();
    return 0;
}
