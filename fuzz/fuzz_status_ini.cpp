// "status.ini", the fail-code texts of the status channels, read for a CAN logger recording
// whose ECU status channel reports a fail code.
#include "data/status_channels.h"
#include "fuzz/fuzz_support.h"
#include "tools/sim/family4_writer.h"

namespace {

// File 1 holds a short simulated ride with fail code 5 in its status channel ("ECUSTAT").
void LoadRecordingOnce() {
    static const bool loaded = [] {
        using namespace qvtk;
        ResetProgram();
        g_session.programDirectory = fuzz::HarnessFolder();
        sim::RideOptions options;
        options.minutes = 0.2;
        sim::Family4Options f4;
        f4.ecuFailCode = 5;
        const std::vector<uint8_t> bytes =
            sim::WriteFamily4(sim::SimulateRide(sim::MakeCourse(3), options), f4);
        FileSlot slot = 0;
        LoadLogFile(slot, "ride.QVL", bytes);
        return SlotOf(0).file.fileKind == kFileFamily4;
    }();
    if (!loaded) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qvtk;
    LoadRecordingOnce();
    fuzz::WriteFixture(fuzz::HarnessFolder() + "/status.ini",
                       std::string_view(reinterpret_cast<const char*>(data), size));
    ClearRecordedMessages();
    ReadStatusTexts(0);
    ReportFailCodes(0);
    QVTK_FUZZ_CHECK(!g_statusChannels.channels.empty());
    for (const StatusChannel& channel : g_statusChannels.channels)
        for (const std::string& text : channel.text) QVTK_FUZZ_CHECK(text.size() <= kFailTextChars);
    // The message is shown only for a channel that warns, and names its code.
    for (const Message& m : RecordedMessages())
        QVTK_FUZZ_CHECK(m.caption == "Warning!" && m.text.find("no.5 - ") != std::string::npos);
    return 0;
}
