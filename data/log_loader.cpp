#include "data/log_loader.h"


#include "analysis/lap_model.h"
#include "data/can_reader.h"
#include "data/family3_reader.h"
#include "data/family4_reader.h"
#include "data/hnd_reader.h"
#include "data/sample_envelope.h"
#include "platform/message_box.h"
#include "platform/sample_memory.h"

namespace qvtk {

namespace {

using Reader = void (*)(FileSlot, Bytes, std::string_view);

struct FileFormat {
    const char* extension; // compared without regard to case
    int firstByte;         // -1: any
    Reader reader;
    bool fillsFile1;       // the reader always fills slot 0
};

// The formats this build reads. A file that matches no row is not supported.
const FileFormat kFormats[] = {
    {"CAN", -1, ReadCanFile, true},       {"qvd", '3', ReadFamily3File, false},
    {"QVL", '3', ReadFamily3File, false}, {"qvd", '4', ReadFamily4File, false},
    {"QVL", '4', ReadFamily4File, false}, {"hnd", -1, ReadHndFile, false},
};

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

std::string_view FileTitle(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string_view PathExtension(std::string_view path) {
    std::string_view title = FileTitle(path);
    size_t dot = title.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : title.substr(dot + 1);
}

LoadResult LoadLogFile(FileSlot& slot, std::string_view path, Bytes bytes) {
    const std::string_view ext = PathExtension(path);
    for (const FileFormat& f : kFormats) {
        if (!SameText(ext, f.extension)) continue;
        if (f.firstByte >= 0 && (bytes.empty() || bytes[0] != f.firstByte)) continue;
        if (f.fillsFile1) slot = 0;
        f.reader(slot, bytes, ext);
        // After the finishing steps (derived channels, alignment): the graphs' extremes.
        BuildSlotEnvelope(slot);
        return kLoadRan;
    }
    ShowMessage("Not support File Type", "File Error");
    return kLoadNotSupported;
}

bool LoadFileIntoSlot(FileSlot& slot, const std::string& path) {
    FileBytes file;
    bool loaded = false;
    if (ReadFileBytes(path, file) && file.size > 511) {
        loaded = LoadLogFile(slot, path, Bytes(file.data, file.size)) == kLoadRan &&
                 SlotOf(slot).file.fileKind != kFileNone;
    } else {
        ShowMessage("Load file error " + path, "File Error");
    }
    Slot& s = SlotOf(slot);
    if (!loaded) {
        s.file.fileName.clear();
        s.file.filePath.clear();
        s.file.labelRect = LabelRect();
        return false;
    }
    s.file.fileName = std::string(FileTitle(path));
    s.file.filePath = path;
    s.engineSpeedScale = 1.0f; // a new recording starts unsimulated
    ComputeSegments(slot); // the laps are rebuilt from the new marks
    if (slot != 0 && SlotOf(0).file.fileKind != kFileNone) {
        // A channel of File 2 or 3 is shown when File 1 shows it, and follows File 1's
        // automatic display.
        const Slot& base = SlotOf(0);
        for (int c = 0; c < kColumnCount; ++c) {
            bool shown = IsPresent(s, c) && (base.channelFlags[c] & kChannelShown);
            s.channelFlags[c] = (s.channelFlags[c] & ~kChannelShown) | (shown ? kChannelShown : 0);
            s.autoDisplay[c] = base.autoDisplay[c];
        }
    }
    return true;
}

} // namespace qvtk
