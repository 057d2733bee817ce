#include "viewer/view_state.h"

namespace qvtk {

ViewState g_view;

void ResetViewState() {
    g_view = ViewState();
}

void RequestRedraw(int passes) {
    g_view.RedrawCountdown = passes;
}

} // namespace qvtk
