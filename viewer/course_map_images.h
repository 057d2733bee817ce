#pragma once
// The course map saved as pictures, one per colouring channel (engine speed, throttle, front
// wheel speed, front and rear stroke), each with its title and the lap time of File 1's lap.
#include <string>

namespace qvtk {

// Saves "NAME_ne.bmp", "NAME_th.bmp", "NAME_vfw.bmp", "NAME_fsus.bmp", "NAME_rsus.bmp" beside
// `path` (its extension gives way to each suffix) and says how it went. A channel File 1 does
// not have is skipped, and the final message names it. True when no save failed.
bool SaveCourseMapImages(const std::string& path);

// Key 4: asks for the file name first, in the folder of the last save.
void SaveCourseMapImagesWithDialog();

} // namespace qvtk
