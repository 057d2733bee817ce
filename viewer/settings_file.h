#pragma once
// QVTK2.ini in the program directory: read once at start-up (with the CSV label file and the
// GPS control line), written once at exit.
#include <string>

namespace qvtk {

// The main window's normal (restored) position and size and whether it is maximised. The
// window belongs to the GUI, so the caller hands these over at exit.
struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 1024;
    int height = 768;
    bool maximized = false;
};

// Reads QVTK2.ini (every key with its default when the file is missing or unreadable), sets
// the marks per lap of the three slots, fills the layout list (from the file's [LayoutSet], or
// from the *.lay files of the directory when there is no settings file), reads the CSV labels
// of "csvlabel.ini" and the GPS control line of the course. The directory becomes the
// program directory of the session.
void LoadSettings(const std::string& programDirectory);

// Writes every key written at exit and the layout list into QVTK2.ini in one replacement of
// the file; keys that are only read keep the text the user gave them. False when the file or
// the standard layout could not be written: nobody is told now (the program is ending), but a
// note is left for the next start.
bool SaveSettings(const std::string& programDirectory, const WindowPlacement& placement);

// What LoadSettings found of the last session's note: "settings of the last session could not
// be saved: REASON", or empty when that session saved everything.
const std::string& LastSessionNotice();

} // namespace qvtk
