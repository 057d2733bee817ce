#include "data/log_loader.h"

#include "data/can_reader.h"
#include "data/csv_import.h"
#include "data/family3_reader.h"
#include "data/family4_reader.h"
#include "data/hnd_reader.h"
#include "platform/message_box.h"

namespace qvtk {

namespace {

using Reader = ReadOutcome (*)(FileSlot, Bytes, std::string_view);

struct FileFormat {
    const char* extension; // compared without regard to case
    int firstByte;         // -1: any
    Reader reader;
    LogFormat format;
    bool fillsFile1; // the reader always fills slot 0
};

// The formats this build reads. A file that matches no row is not supported.
const FileFormat kFormats[] = {
    {"CAN", -1, ReadCanFile, kFormatCan, true},
    {"qvd", '3', ReadFamily3File, kFormatFamily3, false},
    {"QVL", '3', ReadFamily3File, kFormatFamily3, false},
    {"qvd", '4', ReadFamily4File, kFormatFamily4, false},
    {"QVL", '4', ReadFamily4File, kFormatFamily4, false},
    {"hnd", -1, ReadHndFile, kFormatHnd, false},
    {"csv", -1, ReadCsvImport, kFormatCsv, false},
};

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

} // namespace

std::string_view FileTitle(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view PathExtension(std::string_view path) {
    std::string_view title = FileTitle(path);
    size_t dot = title.find_last_of('.');
    return dot == std::string_view::npos ? std::string_view() : title.substr(dot + 1);
}

ReadOutcome DecodeLogFile(FileSlot& slot, std::string_view path, Bytes bytes) {
    const std::string_view ext = PathExtension(path);
    for (const FileFormat& f : kFormats) {
        if (!SameText(ext, f.extension)) continue;
        if (f.firstByte >= 0 && (bytes.empty() || bytes[0] != f.firstByte)) continue;
        if (f.fillsFile1) slot = 0;
        ReadOutcome outcome = f.reader(slot, bytes, ext);
        outcome.format = f.format; // also for a rejected file: a reader ran
        return outcome;
    }
    ShowMessage("Not support File Type", "File Error");
    return {};
}

} // namespace qvtk
