#pragma once
// Mouse, wheel and idle detection of every pass, then the typed keys.
namespace qvtk {

// One pass of input: mouse and wheel, idle detection, DispatchKey, the redraw countdown and
// the mouse actions of the regions that exist.
void PollInput();

// Moves the files toward their scroll targets and steps laps as requested.
void FollowScrollTargets();
// The replay: the cursors of the moving files advance in real time from where they stood;
// it ends with File 1.
void FollowReplay();
void ConsumeLapSteps();

} // namespace qvtk
