#pragma once
// The waits the program makes while it talks to the logger or after a save: the window keeps
// processing its events meanwhile. Tests and the batch commands may install their own wait.
namespace qvtk {

using WaitHook = void (*)(int milliseconds);

// Waits the given time; with a Qt application, its events are processed meanwhile.
void WaitWhileProcessing(int milliseconds);

// nullptr restores the default wait.
void SetWaitHook(WaitHook hook);

} // namespace qvtk
