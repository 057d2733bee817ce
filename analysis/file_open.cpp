#include "analysis/file_open.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#include "analysis/file_summary.h"
#include "analysis/load_pipeline.h"
#include "data/settings.h"
#include "platform/message_box.h"

namespace qvtk {

FileOpenState g_fileOpen;

namespace {

constexpr int32_t kNoFastestLap = 1199800; // samples; any real lap is shorter
constexpr size_t kRenamePrefixChars = 9;

size_t TitleStart(std::string_view path) {
    size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// A rename must never replace a file that is already there: that could be another recording
// renamed after the same lap time.
bool RenameWithoutReplacing(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
#endif
    // The file system cannot refuse for us: look first.
    std::error_code ec;
    if (std::filesystem::symlink_status(to, ec).type() != std::filesystem::file_type::not_found)
        return false;
    return std::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

void ResetFileOpen() {
    g_fileOpen = FileOpenState();
    ResetMemoPanel();
}

LabelRect FileLabelRect(FileSlot slot, int nameWidth, int lineHeight) {
    LabelRect r;
    r.left = 10;
    r.right = 10 + nameWidth + 10;
    r.top = 16 + slot * lineHeight;
    r.bottom = r.top + lineHeight;
    return r;
}

bool MarkOpenStarted() {
    const bool before = g_fileOpen.openedBefore;
    g_fileOpen.openedBefore = true;
    return before;
}

FileOpenResult LoadRequestedFile(FileSlot slot, const std::string& path, int lineHeight,
                                 NameWidthFn nameWidth) {
    if (g_fileOpen.busy) return kOpenBusy;
    g_fileOpen.busy = true;

    // The label shows the file while it loads.
    Slot& requested = SlotOf(slot);
    const SlotFile before = requested.file;
    requested.file.fileName = path.substr(TitleStart(path));
    requested.file.filePath = path;
    requested.file.labelRect = FileLabelRect(slot, nameWidth(requested.file.fileName), lineHeight);

    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    g_fileOpen.currentFileSize = ec ? 0 : int64_t(size);

    // Reads the whole file, says "Load file error" for 511 bytes or less, runs the reader,
    // clears the name, path and label of a rejected file and copies File 1's display flags.
    FileSlot filled = slot;
    const bool loaded = LoadFileIntoSlot(filled, path);
    g_fileOpen.filledSlot = filled;
    if (LoadWasCancelled()) {
        requested.file = before;
        g_fileOpen.busy = false;
        return kOpenCancelled;
    }
    if (filled != slot) {
        // The file went to another slot; this one holds what it held before.
        requested.file.fileName = before.fileName;
        requested.file.filePath = before.filePath;
        requested.file.labelRect = before.labelRect;
    }
    if (loaded) {
        RenameAfterFastestLap(filled);
        SlotFile& f = SlotOf(filled).file;
        f.labelRect = FileLabelRect(filled, nameWidth(f.fileName), lineHeight);
    }
    g_fileOpen.busy = false;
    return loaded ? kOpenLoaded : kOpenRejected;
}

FastestLap FindFastestLap(FileSlot slot) {
    const LapMarkTable& t = SlotOf(slot).laps;
    const int count = t.count < kLapMarkEntries ? t.count : kLapMarkEntries - 1;
    FastestLap best{0, kNoFastestLap};
    // Lap 1 leaves the pits and lap `count` returns to them: neither is a flying lap.
    for (int n = 2; n <= count - 1; ++n) {
        const int32_t length = t.marks[n] - t.marks[n - 1];
        if (length < best.samples) best = {n, length};
    }
    return best.lap ? best : FastestLap{};
}

std::string FastestLapFileName(std::string_view title, std::string_view prefix,
                               const FastestLap& fastest, int32_t markCount) {
    const size_t dot = title.find_last_of('.');
    if (dot == std::string_view::npos) return {};
    const std::string_view extension = title.substr(dot); // with its dot
    if (!SameTextIgnoringCase(extension, ".qvd") && !SameTextIgnoringCase(extension, ".hnd"))
        return {};
    const size_t bracket = title.find('[');
    if (bracket != std::string_view::npos && bracket < title.find('.')) return {};

    char lapTime[64];
    if (fastest.lap > 0) {
        const int64_t ms = int64_t(fastest.samples) * 5;
        std::snprintf(lapTime, sizeof lapTime, "[%d'%02d''%03d(%d-%d)]", int(ms / 60000),
                      int(ms / 1000 % 60), int(ms % 1000), fastest.lap, int(markCount));
    } else {
        std::snprintf(lapTime, sizeof lapTime, "[-'--''---(%d-%d)]", 0, int(markCount));
    }
    std::string name(title.substr(0, dot));
    name += CutToCharacters(prefix, kRenamePrefixChars);
    name += lapTime;
    name += extension;
    return name;
}

std::string_view CutToCharacters(std::string_view text, size_t characters) {
    size_t end = 0;
    for (size_t n = 0; end < text.size() && n < characters; ++n) {
        ++end;
        while (end < text.size() && (uint8_t(text[end]) & 0xC0) == 0x80) ++end; // continuation
    }
    return text.substr(0, end);
}

bool SetRenamePrefix(const std::string& text) {
    const std::string_view cut = CutToCharacters(text, kRenamePrefixChars);
    bool usable = cut.empty() || (cut.back() != '.' && cut.back() != ' ');
    for (const char c : cut)
        if (uint8_t(c) < 0x20 || c == 0x7F ||
            std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos)
            usable = false;
    if (!usable) {
        ShowMessage("The prefix can not hold \\ / : * ? \" < > | or control characters, nor end "
                    "with a dot or a blank.",
                    "Error !");
        return false;
    }
    g_fileOpen.renamePrefix = std::string(cut);
    return true;
}

void RenameAfterFastestLap(FileSlot slot) {
    if (!g_settings.ModifyFileName) return;
    SlotFile& f = SlotOf(slot).file;
    const size_t start = TitleStart(f.filePath);
    // The lap mark count is the entry of the lap mark table that holds the end of the
    // recording: the number of mark-to-mark laps, out-lap and in-lap included. "(3-7)" reads
    // "lap 3 of 7".
    const std::string title =
        FastestLapFileName(std::string_view(f.filePath).substr(start), g_fileOpen.renamePrefix,
                           FindFastestLap(slot), SlotOf(slot).laps.count);
    if (title.empty()) return;
    const std::string path = f.filePath.substr(0, start) + title;
    if (!RenameWithoutReplacing(f.filePath, path)) {
        ShowMessage("No change file name.", "Error!");
        return;
    }
    f.filePath = path;
    f.fileName = title;
}

} // namespace qvtk
