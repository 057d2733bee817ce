#include "viewer/course_map_images.h"

#include <QBuffer>
#include <QFileDialog>
#include <QFileInfo>
#include <cstdio>

#include "analysis/lap_model.h"
#include "data/settings.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"
#include "render/render_qt.h"
#include "viewer/course_map_picture.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

namespace {

struct MapImage {
    ChannelCode code;
    const char* suffix;
    const char* channel;
};

const MapImage kImages[] = {{kCodeNe, "_ne", "Ne"},
                            {kCodeTPS, "_th", "TH"},
                            {kCodeVFW, "_vfw", "VFW"},
                            {kCodeFrSUS, "_fsus", "FrSUS"},
                            {kCodeRrSUS, "_rsus", "RrSUS"}};

// The path without the extension of its last component.
std::string WithoutExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
    return path.substr(0, dot);
}

std::string TitleOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The lap time of File 1's lap under the cursor; 0 for the first lap.
std::string LapTimeText() {
    const int m = MarksPerLap(0);
    const int32_t lapStart = (SelectedLap(0) - 1) / m * m;
    const double seconds =
        lapStart > 0 ? LapDuration(0, lapStart) * 0.005 / double(SlotOf(0).sampleRateFactor) : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%02d'%05.2f", int(seconds / 60),
                  seconds - 60 * int(seconds / 60));
    return text;
}

// The map coloured by one column, with its title and the lap time, on the back buffer.
void DrawMapImage(const std::string& title, const std::string& lapTime) {
    g_mapPicture.layoutDirty = true;
    RefreshCourseMapPicture();
    while (g_mapPicture.gpsPending) DrawGpsTrack(0); // the whole lap, not one pass of it
    RenderSetTarget(kBackBuffer);
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(0, 0, kCourseMapSize, kCourseMapSize, MapBackgroundColor(), true);
    RenderSetBlend(g_res.courseMapNoAlpha ? BlendMode::Additive : BlendMode::Alpha, 255);
    RenderImage(g_res.courseMap, 0, 0, kCourseMapSize, kCourseMapSize, true);
    RenderSetBlend(BlendMode::Alpha, 255);
    const float x = float(kCourseMapSize - 9 * g_res.mainFontSize);
    RenderText(x, 0, SchemeTextColor(), g_res.mainFont, "%s", title.c_str());
    RenderText(16, 0, SchemeTextColor(), g_res.mainFont, "%s", lapTime.c_str());
}

bool SaveMapArea(const std::string& path) {
    const QImage* screen = RenderTargetImage(kBackBuffer);
    if (!screen) return false;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) ||
        !screen->copy(0, 0, kCourseMapSize, kCourseMapSize).save(&buffer, "BMP"))
        return false;
    return WriteWholeFile(path, std::string_view(bytes.constData(), size_t(bytes.size())));
}

} // namespace

bool SaveCourseMapImages(const std::string& path) {
    const std::string stem = WithoutExtension(path), title = TitleOf(stem);
    const int keptChannel = g_view.CourseColorChannel[0], keptFile = g_view.CurrentFile;
    const std::string lapTime = LapTimeText();
    std::string skipped;
    bool ok = true;
    int saved = 0;
    for (const MapImage& image : kImages) {
        const int column = FindColumnByCode(0, image.code);
        if (column < 0) {
            skipped += std::string(skipped.empty() ? "" : ", ") + image.channel;
            continue;
        }
        g_view.CurrentFile = 0;
        g_view.CourseColorChannel[0] = column;
        g_mapPicture.imageColumn = column; // the map's own choice cannot name column 0
        DrawMapImage(title + image.suffix, lapTime);
        if (!SaveMapArea(stem + image.suffix + ".bmp")) {
            ShowMessage("failed to save !!", "Error !!");
            ok = false;
            break;
        }
        ++saved;
    }
    // Nothing to colour by is nothing saved: never "saved" for a file that was not written.
    if (ok && saved == 0) {
        ShowMessage("No course map picture was saved.\nNot in File 1: " + skipped, "Error !!");
        ok = false;
    }
    if (ok)
        ShowMessage(skipped.empty() ? "Course Map is saved."
                                    : "Course Map is saved.\nNot in File 1: " + skipped,
                    "Saved");
    g_mapPicture.imageColumn = -1;
    g_view.CourseColorChannel[0] = keptChannel;
    g_view.CurrentFile = keptFile;
    g_mapPicture.layoutDirty = true;
    RefreshCourseMapPicture();
    RequestRedraw(kRedrawFull);
    return ok;
}

void SaveCourseMapImagesWithDialog() {
    QFileDialog dialog(RenderMainWindow(), QString(), QString::fromStdString(g_settings.BMP),
                       QStringLiteral("BMP(*.bmp) (*.bmp)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        RequestRedraw(kRedrawFull);
        return;
    }
    const QString path = dialog.selectedFiles().front();
    if (SaveCourseMapImages(path.toStdString()))
        g_settings.BMP = QFileInfo(path).absolutePath().toStdString();
}

} // namespace qvtk
