#pragma once
// The search marks: where the search alert's channel lies inside its band, shaded in the
// graphs of every loaded file and shown as row colours in the lap table. The channel and band
// are the layout's SrcAlert values; the marks show while the alert is on and R has not hidden
// them.
#include <cstdint>
#include <vector>

#include "analysis/search_alert.h"
#include "data/session.h"

namespace qvtk {

struct GraphFrame;

struct SearchAlertState {
    bool on = false; // set by the dialog's OK, cleared by its Cancel
};

extern SearchAlertState g_searchAlert;

void ResetSearchMarks();

bool SearchMarksShown();

// The spans of a file, found again when the band, the channel or the recording changed.
const std::vector<SampleSpan>& SearchSpansOf(FileSlot slot);

// Whether the lap starting at lap-start mark k of the file holds a marked sample.
bool SearchMarksLap(FileSlot slot, int32_t k);

// Shades the marked spans across the graphs, under the curves.
void DrawSearchMarks(const GraphFrame& frame);

} // namespace qvtk
