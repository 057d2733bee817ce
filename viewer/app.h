#pragma once
// The program: start-up, the main loop and exit.
#include <string>
#include <vector>

namespace qvtk {

constexpr const char* kVersionText = "QVTK Ver 2.04.10";
constexpr const char* kBuildDate = "210123";

// "QVTK Ver 2.04.10_e _210123"
std::string WindowTitle();

// Start-up before the window: program directory, view defaults, settings.
void StartProgram(const std::string& programDirectory);

// Opens the window and device; 0 on success, kInitNoVertexPool when the vertex pool could not
// be allocated ("Memory Error." shown), another value when the device did not open. `attempt`
// 1 is the fallback device mode.
constexpr int kInitNoVertexPool = 2;
int InitDisplay(int attempt);

// One pass of the main loop; false when the loop should end.
bool RunMainPass();

// Saves settings and sector file and releases everything.
void ExitProgram();

// Called after every presented frame (the screenshot and start-up timing of the scripts).
void SetAfterPresentHook(void (*hook)());

// The whole program: start-up, files from the command line (File 1, 2, 3), the loop, exit.
// Returns 0 after a normal exit, -1 when no window could be opened.
int AppMain(const std::string& programDirectory, const std::vector<std::string>& files);

} // namespace qvtk
