#pragma once
// One drawn frame of the main window: background, key instructions, the active view with its
// overlays, the fading info panels and the debug line.
#include "render/render.h"

namespace qvtk {

// Lines of the key instructions overlay: row number (1-based) and text.
struct KeyHelpLine {
    int row;
    const char* text;
};
extern const KeyHelpLine kKeyHelpLines[];
extern const int kKeyHelpLineCount;

// The colour a file's labels and values are drawn in.
RenderColorValue FileColor(int slot);

void DrawFrame();

// The slot whose file label box holds the point, or -1.
int FileLabelAt(int x, int y);

} // namespace qvtk
