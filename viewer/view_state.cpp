#include "viewer/view_state.h"

#include "viewer/course_map_picture.h"
#include "viewer/course_map_window.h"
#include "viewer/lap_compare_view.h"

namespace qvtk {

ViewState g_view;

void ResetViewState() {
    g_view = ViewState();
    ResetCourseMapPicture();
    ResetCourseMapWindow();
    ResetLapCompareView();
}

void RequestRedraw(int passes) {
    g_view.RedrawCountdown = passes;
}

void EndGraphPositionMode() {
    g_view.GraphPositionMode = 0;
    SetMapEditing(false); // map clicks move the cursors again
}

void ShowGraphView() {
    g_view.AfMapView = 0;
    g_view.RealTimePlay = 0;
    g_view.XyPlotView = 0;
    EndGraphPositionMode();
}

void SetGraphPositionMode(bool on) {
    ShowGraphView();
    g_view.GraphPositionMode = on;
    g_view.AlignType = 1;
    // Graph position mode is where things are adjusted: there a click on the GPS map places
    // the finish line and one on the course layout edits the sector boundaries.
    SetMapEditing(on);
}

void SetSubView(bool on) {
    ShowGraphView();
    g_view.SubViewOn = on;
    g_view.SubViewRefresh = 1;
}

void SetRealTimePlay(bool on) {
    ShowGraphView();
    g_view.RealTimePlay = on;
    g_view.RealTimePlayStart = RenderNowMs();
    for (int s = 0; s < kSlotCount; ++s) g_view.RealTimePlayFrom[s] = SlotOf(s).cursorPos;
    g_view.SubViewOn = 1;
}

} // namespace qvtk
