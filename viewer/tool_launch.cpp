#include "viewer/tool_launch.h"

#include <QDialog>

#include "analysis/af_map.h"
#include "analysis/af_map_setting_dialog.h"
#include "data/settings.h"
#include "render/render_qt.h"
#include "viewer/af_map_view.h"
#include "viewer/search_alert_dialog.h"
#include "viewer/toolbar.h"
#include "viewer/view_state.h"
#include "viewer/xy_plot_setting_dialog.h"

namespace qvtk {

ToolRequest g_toolRequest = ToolRequest::None;

void RequestToolAndClose(QDialog* lapTable, ToolRequest tool) {
    g_toolRequest = tool;
    lapTable->accept();
}

void RunRequestedTool() {
    const ToolRequest tool = g_toolRequest;
    g_toolRequest = ToolRequest::None;
    switch (tool) {
    case ToolRequest::None:
        return;
    case ToolRequest::AfMap:
        // The "Easy Mode" level gets a working map without the settings dialog.
        if (g_settings.ExpertMode >= 1)
            ShowAfMapSetting(RenderMainWindow());
        else
            SetAfMapEasyDefaults();
        EnterAfMapView();
        break;
    case ToolRequest::XyPlot:
        ShowXyPlotSetting(RenderMainWindow());
        break;
    case ToolRequest::SearchAlert:
        ShowSearchAlert(RenderMainWindow());
        break;
    }
    RequestRedraw(kRedrawFull);
    SyncToolbar();
}

} // namespace qvtk
