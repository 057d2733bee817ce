#pragma once
// The two fading info panels: the file summary (panel A) and the tire, final ratio and memo
// panel (panel B), drawn into their surfaces and faded in while the user is idle.
#include <string>
#include <string_view>

namespace qvtk {

// Memo bytes are Shift-JIS; the text layer takes UTF-8.
std::string DecodeMemo(std::string_view bytes);

// Redraws the summary panel for File 1 and File 2.
void RefreshSummary();

// The tire lines, or the next memo character, into panel B (every frame).
void DrawTireAndMemo();

// Steps the panels' counters and draws them over the view.
void DrawInfoPanels(int clientWidth, int clientHeight);

} // namespace qvtk
