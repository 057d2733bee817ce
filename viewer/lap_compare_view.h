#pragma once
// Lap comparison in the viewer: while it is on (key U, the toolbar's "Dist"), the files that
// follow moves follow File 1's cursor by distance instead of time and are drawn so that equal
// distance falls on equal x; every file carries the time-slip channel of the lap at its
// cursor; a panel lists where the time was lost, and a click on a zone goes there.
#include <cstdint>
#include <vector>

#include "analysis/lap_compare.h"
#include "viewer/graphs.h"

namespace qvtk {

constexpr int kZoneRows = 5; // zones the panel lists

struct LapCompareView {
    bool on = false;        // distance alignment and the comparison
    bool zonesPanel = true; // the panel of zones, while comparing (key I)
    // Each following file's lap position minus File 1's: which of its laps goes with File 1's.
    int32_t pairing[kSlotCount] = {};
    int64_t lastCursor[kSlotCount] = {-1, -1, -1}; // every file's CursorPos at the last pass
    // The panel as last drawn: its rows' zones and where they lie, for clicks.
    int rows = 0;
    float rowTop[kZoneRows] = {}, rowBottom[kZoneRows] = {};
    bool panelShown = false;
    float panelLeft = 0, panelRight = 0, panelTop = 0, panelBottom = 0;
    SlipZone rowZone[kZoneRows];
    FileSlot rowSlot = 0;
    // Where the layout had no free rows, the bands were moved up to make room for the slip
    // band: their own rows, given back when comparing stops unless they were moved since.
    struct SqueezedBand {
        ChannelCode code = 0;
        int32_t top = 0, bottom = 0, zero = 0;
        float scale = 0;
        int32_t squeezedTop = 0, squeezedBottom = 0;
    };
    std::vector<SqueezedBand> squeezed;
};

extern LapCompareView g_compareView;

void ResetLapCompareView();

// Key U and the toolbar's check button.
void SetLapComparison(bool on);
inline bool LapComparisonOn() {
    return g_compareView.on;
}
// Key T: the lap at File 1's cursor becomes the reference; with `fastest`, File 1's fastest lap
// again. The same from the lap table's button, with a lap of File 1.
void PickReferenceAtCursor(bool fastest);
void PickReference(int32_t lap);

// The rows of a band in the user's layout: those it had before it made room for the slip
// band, else the rows it has. Layouts are saved with these.
void UserBandRows(ChannelCode code, int32_t& top, int32_t& bottom);

// A layout was loaded: the bands have the rows it gives, and the slip band, while there is
// one, takes its rows anew.
void PlaceSlipBandAfterLayout();

// Once a pass, after the cursors moved: the following files to File 1's distance, and the
// slip channels brought up to date.
void FollowByDistance();

// The comparison the panel and the map show: the current file's lap if it is compared, else
// the first compared file's.
const LapComparison* ShownComparison(FileSlot* slot = nullptr);

// Whether a file is drawn by distance; fills the frame's alignment of every file.
void PrepareAlignedFrame(GraphFrame& frame);
// x of a sample of an aligned file, and the sample under x (-1 before File 1's laps, the
// file's SampleCount past its own).
double AlignedSampleX(const GraphFrame& frame, FileSlot slot, double sample);
int64_t AlignedSampleAtX(const GraphFrame& frame, FileSlot slot, double x);

// The panel of zones, bottom right over the graphs.
void DrawSlipZonesPanel(const GraphFrame& frame);
// A click on a zone: the cursors to its start in both laps, the graphs zoomed onto it. True
// when the click hit a zone.
bool SlipZonesClick(const GraphFrame& frame, int pressed);
// The panel lies under the pointer: the graphs do not scroll from there.
bool SlipZonesPanelHoldsMouse();

} // namespace qvtk
