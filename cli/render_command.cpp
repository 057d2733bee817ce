// qvtk-cli render: the normal graph view (or, with --view map, the 512 x 512 course map picture)
// drawn by the viewer's own code into an offscreen back buffer and written as a PNG; with
// --frames, the frame time while File 1 scrolls.
#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "analysis/course_layout.h"
#include "analysis/file_open.h"
#include "analysis/lap_model.h"
#include "analysis/load_pipeline.h"
#include "cli/commands.h"
#include "data/settings.h"
#include "platform/private_profile.h"
#include "platform/safe_file.h"
#include "render/render_qt.h"
#include "viewer/af_map_view.h"
#include "viewer/course_map_images.h"
#include "viewer/course_map_picture.h"
#include "viewer/frame.h"
#include "viewer/graph_layout.h"
#include "viewer/graph_settings.h"
#include "viewer/graphs.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace qvtk::cli {

namespace {

// The other files sit at the same time as File 1's cursor.
void PlaceCursors(int64_t file1Sample) {
    const Slot& first = SlotOf(0);
    for (int s = 0; s < kSlotCount; ++s) {
        Slot& slot = SlotOf(s);
        if (!slot.active) continue;
        double sample = double(file1Sample) * slot.sampleRateFactor / first.sampleRateFactor;
        slot.cursorPos = int64_t(std::clamp(sample, 0.0, double(slot.sampleCount - 1)) * 100);
    }
}

void PrepareView(const Options& o) {
    ResetViewState();
    ResetGraphSettings();
    ResetGraphLayouts();
    ResetViewerResources();
    // The views the settings start the program with: the sub view (AnimeMode) and its
    // stroke histograms (SusgramDisplay).
    g_view.SubViewOn = g_settings.AnimeMode;
    g_view.StatusViewOn = g_settings.SusgramDisplay;
    g_view.ViewZoom = 1.0f; // settled, without the opening animation
    g_view.KeyHelpCounter = 0;
    g_view.HorizontalCompression = o.compression;
    g_res.screenWidth = o.width;
    AllocateVertexPools();
    LoadResources();
    if (std::filesystem::exists(ProgramFilePath("stdgp.ini")))
        LoadLayout(0);
    else
        AlignGraphs(1, true, false);
    ChooseFile1Colors();
    RebuildGraphList();
    g_view.MouseX = o.width / 2 + g_settings.BaseLinePos; // no span under the pointer
    g_view.MouseY = o.height / 2;
    RequestRedraw(kRedrawFull); // the info panels stay faded out
}

bool WritePng(const std::string& path) {
    const QImage* image = RenderTargetImage(kBackBuffer);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!image || !buffer.open(QIODevice::WriteOnly) || !image->save(&buffer, "PNG")) return false;
    return WriteWholeFile(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}

double DrawTimedFrame() {
    auto start = std::chrono::steady_clock::now();
    DrawFrame();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The course map picture of the chosen lap on the scheme's background.
bool DrawMapPicture(const Options& o) {
    if (!MapShowsGps() && !g_courseLayout.courseLayoutOn) {
        std::fprintf(stderr, "qvtk-cli: no course layout and no GPS track to draw\n");
        return false;
    }
    if (o.lap >= 0) {
        for (int s = 0; s < kSlotCount; ++s) {
            Slot& slot = SlotOf(s);
            if (!slot.active) continue;
            if (o.lap >= slot.laps.count) {
                std::fprintf(stderr, "qvtk-cli: File %d has no lap %lld (%d marks)\n", s + 1, o.lap,
                             slot.laps.count);
                return false;
            }
            slot.cursorPos = int64_t(LapMark(s, int(o.lap))) * 100;
        }
    }
    if (o.colorChannel > 0 && !IsPresent(SlotOf(0), o.colorChannel)) {
        std::fprintf(stderr, "qvtk-cli: column %d is not present in File 1\n", o.colorChannel);
        return false;
    }
    g_view.CurrentFile = 0;
    g_view.CourseColorChannel[0] = o.colorChannel;
    if (!o.images.empty()) return true; // the pictures draw their own colourings
    RefreshCourseMapPicture();
    while (g_mapPicture.gpsPending) DrawGpsTrack(0); // the whole lap, not one pass of it
    RenderSetTarget(kBackBuffer);
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(MapBackgroundColor());
    RenderSetBlend(g_res.courseMapNoAlpha ? BlendMode::Additive : BlendMode::Alpha, 255);
    RenderImage(g_res.courseMap, 0, 0, kCourseMapSize, kCourseMapSize, true);
    return true;
}

// The A/F map or the X-Y plot in place of the graphs, fully shown.
void ShowToolView(const Options& o) {
    ApplyLapChecks(o.tool);
    if (o.view == "afmap") {
        EnterAfMapView();
        g_afMapView.fade = 255;
        g_afMapView.windowLow = ClampAfWindowLow(o.tool.windowLow);
        g_afMapView.windowWidth = ClampAfWindowWidth(o.tool.windowWidth);
        g_view.AfSwitchReversed = o.tool.reverse;
    } else {
        // Without a standard layout the axes follow their channels, as choosing them in the
        // settings dialog makes them.
        if (!std::filesystem::exists(ProgramFilePath("stdgp.ini")))
            for (int axis = 0; axis < 3; ++axis) LoadXyAxisFromChannel(axis);
        g_view.XyPlotView = 1;
    }
}

} // namespace

int RunRender(Options& o, int argc, char** argv, bool loaded) {
    if (!loaded) return kExitRejected;
    for (size_t i = 0; i < o.extraFiles.size(); ++i) {
        FileSlot slot = FileSlot(i + 1);
        if (!LoadFileIntoSlot(slot, o.extraFiles[i])) return kExitRejected;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);
    const bool map = o.view == "map";
    if (map) o.width = o.height = kCourseMapSize;
    if (RenderOpenOffscreen(o.width, o.height) != 0) {
        std::fprintf(stderr, "qvtk-cli: cannot make a %dx%d picture\n", o.width, o.height);
        return kExitUsage;
    }
    PrepareView(o);
    for (int s = 0; s < kSlotCount; ++s) {
        SlotFile& f = SlotOf(s).file;
        f.labelRect = FileLabelRect(s, RenderTextWidth(g_res.mainFont, "%s", f.fileName.c_str()),
                                    g_res.mainFontSize);
    }
    const Slot& first = SlotOf(0);
    int64_t cursor = o.cursor >= 0 ? o.cursor : first.sampleCount / 2;
    PlaceCursors(std::min<int64_t>(cursor, first.sampleCount - 1));
    if (map) {
        if (!DrawMapPicture(o)) {
            RenderClose();
            return kExitUsage;
        }
        if (!o.images.empty()) {
            const bool saved = SaveCourseMapImages(o.images);
            RenderClose();
            return saved ? kExitLoaded : kExitNotSaved;
        }
    } else if (o.view == "afmap" || o.view == "xy") {
        ShowToolView(o);
        DrawFrame();
    } else if (o.frames > 0) {
        std::vector<double> ms;
        for (int i = 0; i < o.frames; ++i) {
            PlaceCursors(int64_t(first.sampleCount - 1) * i / std::max(1, o.frames - 1));
            ms.push_back(DrawTimedFrame());
        }
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        std::fprintf(stderr, "frames %d median-ms %.3f max-ms %.3f p99-ms %.3f\n", o.frames,
                     sorted[sorted.size() / 2], sorted.back(),
                     sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)]);
    } else {
        DrawFrame();
    }
    bool written = WritePng(o.out);
    RenderClose();
    if (!written) {
        std::fprintf(stderr, "qvtk-cli: cannot write %s\n", o.out.c_str());
        return kExitUsage;
    }
    return kExitLoaded;
}

} // namespace qvtk::cli
