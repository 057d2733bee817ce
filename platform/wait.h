#pragma once
// The waits the program makes while it talks to the logger or after a save: the window keeps
// processing its events meanwhile. Tests and the batch commands may install their own wait.
namespace qvtk {

using WaitHook = void (*)(int milliseconds);

// Waits the given time; with a Qt application, its events are processed meanwhile.
void WaitWhileProcessing(int milliseconds);

// Ends the waits in progress at once (a window that waited is closing).
void EndWaits();

// nullptr restores the default wait.
void SetWaitHook(WaitHook hook);

} // namespace qvtk
