#include "viewer/course_map_window.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "analysis/course_layout.h"
#include "data/settings.h"
#include "viewer/course_map_picture.h"
#include "viewer/frame.h"
#include "viewer/graph_settings.h"
#include "viewer/resources.h"
#include "viewer/view_state.h"

namespace qvtk {

CourseMapWindow g_mapWindow;

namespace {

constexpr int kHoverFadeMax = 32;
constexpr int kBackingFadeMax = 200;
constexpr int kClickSlack = 3; // pixels a left press may wander and still be a click
constexpr float kScaleMin = 0.4f, kScaleMax = 2.0f;

RenderColorValue OverlayColor() {
    return LightScheme() ? RenderColor(250, 250, 248) : RenderColor(8, 10, 16);
}

RenderColorValue FrameColor() {
    return LightScheme() ? RenderColor(150, 165, 190) : RenderColor(60, 80, 120);
}

void PlaceForClient() {
    int w = 0, h = 0;
    RenderClientSize(w, h);
    PlaceCourseMapWindow(w, h);
}

void UpdateFades() {
    CourseMapWindow& m = g_mapWindow;
    m.hover = RenderIsForeground() && g_view.MouseButtons == 0 &&
              std::abs(m.centreX - g_view.MouseX) < m.half &&
              std::abs(m.centreY - g_view.MouseY) < m.half;
    const int fade = std::clamp(m.hoverFade + (m.hover ? 1 : -1), 0, kHoverFadeMax);
    if (fade != m.hoverFade) g_view.ForceRedraw = true; // keep the fade running
    m.hoverFade = fade;
    const int step = g_settings.Curse_Z > 0.75f ? 2 : -2;
    const int backing = std::clamp(m.backingFade + step, 0, kBackingFadeMax);
    if (backing != m.backingFade) g_view.ForceRedraw = true;
    m.backingFade = backing;
}

// Where each file's cursor is on the map.
void DrawCursorMarks(float left, float top, float zoom) {
    RenderSetBlend(BlendMode::Alpha, 255);
    for (FileSlot s = 0; s < kSlotCount; ++s) {
        const Slot& slot = SlotOf(s);
        if (!slot.active) continue;
        float x = 0, y = 0;
        if (MapShowsGps()) {
            const int32_t i = CursorSample(s);
            if (!slot.gps.status || i < 0 || i >= std::min(slot.sampleCount, slot.capacity))
                continue;
            const MapPixel p = ProjectGpsFix(g_gpsFrame, slot.gps.lon[i], slot.gps.lat[i]);
            if (!p.inside) continue;
            x = float(p.x), y = float(p.y);
        } else {
            const int32_t p = CoursePointAtCursor(s);
            if (p < 0) continue;
            CoursePointPixel(p, x, y);
        }
        RenderCircle(left + x * zoom, top + y * zoom, 6, FileColor(s), false, 2);
    }
}

} // namespace

void ResetCourseMapWindow() {
    g_mapWindow = CourseMapWindow();
}

bool CourseMapShown() {
    if (!g_settings.CourseLayout_on || g_res.courseMap <= 0) return false;
    if (!g_courseLayout.courseLayoutOn && !MapShowsGps()) return false;
    return NormalGraphView() || g_view.GraphPositionMode;
}

void PlaceCourseMapWindow(int clientWidth, int clientHeight) {
    CourseMapWindow& m = g_mapWindow;
    const float scale = std::clamp(g_settings.Curse_Z, kScaleMin, kScaleMax);
    m.half = int(256.0f * scale);
    // A client smaller than the map keeps its left or top edge in view.
    m.centreX = std::max(std::min(g_settings.Curse_X, clientWidth - m.half), m.half);
    m.centreY = std::max(std::min(g_settings.Curse_Y, clientHeight - m.half), m.half);
}

bool OverCourseMap(int x, int y) {
    const CourseMapWindow& m = g_mapWindow;
    return std::abs(m.centreX - x) < m.half && std::abs(m.centreY - y) < m.half;
}

bool CourseMapHoldsMouse() {
    return CourseMapShown() &&
           (g_mapWindow.grab != 0 || OverCourseMap(g_view.MouseX, g_view.MouseY));
}

CourseMapView CourseMapViewNow() {
    const CourseMapWindow& m = g_mapWindow;
    CourseMapView v;
    v.zoom = float(2 * m.half) / float(kCourseMapSize);
    v.panX = float(m.centreX - m.half);
    v.panY = float(m.centreY - m.half);
    v.showsGps = MapShowsGps();
    return v;
}

LapBoxPlace LapBoxPlacement() {
    const CourseMapWindow& m = g_mapWindow;
    const float left = float(m.centreX - m.half), top = float(m.centreY - m.half);
    const float side = float(2 * m.half);
    const float zoom = side / float(kCourseMapSize);
    // A corner of the map whose part of the picture holds no track; the label keeps the top
    // left one. Without such a corner the box goes under the track, translucent.
    const float w = float(kLapBoxWidth), h = float(kLapBoxHeight);
    const float corners[4][2] = {{0, side - h}, {side - w, side - h}, {side - w, 0}, {0, 0}};
    const int usable = g_mapPicture.label.empty() ? 4 : 3;
    for (int i = 0; i < usable; ++i) {
        const float x = corners[i][0], y = corners[i][1];
        if (!TrackTouches(x / zoom, y / zoom, (x + w) / zoom, (y + h) / zoom))
            return {left + x, top + y, false};
    }
    return {left, top + side - h, true};
}

void DrawCourseMapWindow(int clientWidth, int clientHeight) {
    if (!CourseMapShown()) return;
    PlaceCourseMapWindow(clientWidth, clientHeight);
    UpdateFades();
    RefreshCourseMapPicture();
    DrawLapDistanceBox();
    const CourseMapWindow& m = g_mapWindow;
    const float left = float(m.centreX - m.half), top = float(m.centreY - m.half);
    const float side = float(2 * m.half);
    const LapBoxPlace box = LapBoxPlacement();
    if (m.backingFade > 0) {
        RenderSetBlend(BlendMode::Alpha, m.backingFade);
        RenderBox(left, top, left + side, top + side, OverlayColor(), true);
    }
    if (m.hoverFade > 0) {
        RenderSetBlend(BlendMode::Alpha, 2 * m.hoverFade);
        RenderBox(left, top, left + side, top + side, FrameColor(), true);
    }
    if (box.underTrack && g_res.lapBox > 0) {
        RenderSetBlend(BlendMode::Alpha, 140);
        RenderImage(g_res.lapBox, box.x, box.y, 0, 0, true);
    }
    RenderSetBlend(g_res.courseMapNoAlpha ? BlendMode::Additive : BlendMode::Alpha, 255);
    RenderImage(g_res.courseMap, left, top, side, side, true);
    if (!box.underTrack && g_res.lapBox > 0) {
        RenderSetBlend(BlendMode::Alpha, 255);
        RenderImage(g_res.lapBox, box.x, box.y, 0, 0, true);
    }
    DrawCursorMarks(left, top, side / float(kCourseMapSize));
    RenderSetBlend(BlendMode::Alpha, 255);
    if (!g_mapPicture.label.empty())
        RenderText(left + 6, top + 4, FileColor(g_view.CurrentFile), g_res.mainFont, "%s",
                   g_mapPicture.label.c_str());
}

void StepMapColorChannel(int direction) {
    const int file = g_view.CurrentFile;
    const Slot& s = SlotOf(file);
    int& channel = g_view.CourseColorChannel[file];
    for (int c = channel + direction; c >= 0 && c < kColumnCount; c += direction) {
        if (c == 0 || (IsPresent(s, c) && (s.channelFlags[c] & kChannelShown))) {
            channel = c;
            return;
        }
    }
}

bool CourseMapWheel(int notches) {
    if (notches == 0 || !CourseMapShown()) return false;
    PlaceForClient();
    if (!OverCourseMap(g_view.MouseX, g_view.MouseY)) return false;
    if (g_settings.ColorMap || DebugMode()) {
        for (int i = 0; i < std::abs(notches); ++i) StepMapColorChannel(notches > 0 ? -1 : +1);
        RequestRedraw(kRedrawFull);
    }
    return true;
}

bool CourseMapMouse(int pressed) {
    CourseMapWindow& m = g_mapWindow;
    if (!CourseMapShown()) {
        m.grab = 0;
        return false;
    }
    PlaceForClient();
    const int x = g_view.MouseX, y = g_view.MouseY, buttons = g_view.MouseButtons;
    if (m.grab == 0) {
        if (!pressed || !OverCourseMap(x, y)) return false;
        if (pressed & kMouseLeft) {
            m.grab = 1;
            m.grabMouseX = x;
            m.grabMouseY = y;
            m.grabCentreX = m.centreX;
            m.grabCentreY = m.centreY;
            m.grabMoved = false;
        } else if (pressed & kMouseRight) {
            m.grab = 2;
            m.anchorY = float(y);
        }
        return true; // nothing under the map sees the press
    }
    if (m.grab == 1) {
        const int dx = x - m.grabMouseX, dy = y - m.grabMouseY;
        if (buttons & kMouseLeft) {
            if (std::abs(dx) + std::abs(dy) > kClickSlack) m.grabMoved = true;
            if (m.grabMoved) {
                g_settings.Curse_X = m.grabCentreX + dx;
                g_settings.Curse_Y = m.grabCentreY + dy;
                RequestRedraw(kRedrawFull);
            }
            return true;
        }
        m.grab = 0;
        if (m.grabMoved) return true;
        // Map clicks edit only in graph position mode, however that mode was left.
        if (!g_view.GraphPositionMode) SetMapEditing(false);
        // A click: the finish line, a sector boundary, or the cursors to that place.
        const CourseMapView view = CourseMapViewNow();
        const float cx = float(m.grabMouseX), cy = float(m.grabMouseY);
        if (FinishLineClick(cx, cy, view)) return true;
        if (g_mapPicture.sectorEditing && !view.showsGps) {
            if (EditSectorBoundary(cx, cy, view)) RedrawSectorMarks();
            RequestRedraw(kRedrawFull);
            return true;
        }
        MapClickToCursor(cx, cy, view);
        return true;
    }
    if (buttons & kMouseRight) {
        float& z = g_settings.Curse_Z;
        z = std::clamp(z - (float(y) - m.anchorY) * z * 0.0005f, kScaleMin, kScaleMax);
        m.anchorY += (float(y) - m.anchorY) * 0.05f;
        RequestRedraw(kRedrawFull);
        return true;
    }
    m.grab = 0;
    return true;
}

} // namespace qvtk
