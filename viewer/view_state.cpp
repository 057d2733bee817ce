#include "viewer/view_state.h"

#include "viewer/course_map_picture.h"
#include "viewer/course_map_window.h"

namespace qvtk {

ViewState g_view;

void ResetViewState() {
    g_view = ViewState();
    ResetCourseMapPicture();
    ResetCourseMapWindow();
}

void RequestRedraw(int passes) {
    g_view.RedrawCountdown = passes;
}

void ShowGraphView() {
    g_view.AfMapView = 0;
    g_view.GraphPositionMode = 0;
    g_view.RealTimePlay = 0;
    g_view.XyPlotView = 0;
}

void SetGraphPositionMode(bool on) {
    ShowGraphView();
    g_view.GraphPositionMode = on;
    g_view.AlignType = 1;
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
    g_view.SubViewOn = 1;
}

} // namespace qvtk
