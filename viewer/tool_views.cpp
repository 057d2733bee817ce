#include "viewer/tool_views.h"

#include "viewer/af_map_view.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_view.h"

namespace qvtk {

void ToolViewWheel(int& notches, int& hnotches) {
    if (g_view.GraphPositionMode) return;
    if (g_view.AfMapView) {
        // Both wheels set the window width here; neither steps laps.
        AfMapViewWheel(notches + hnotches);
        notches = hnotches = 0;
    } else if (g_view.XyPlotView) {
        XyPlotWheel(notches, g_view.MouseX, g_view.MouseY);
        notches = 0;
    }
}

void ToolViewButtons(int buttons) {
    if (g_view.GraphPositionMode) return;
    if (g_view.AfMapView) AfMapViewButtons(buttons);
}

} // namespace qvtk
