#include "analysis/program.h"

#include "analysis/course_layout.h"
#include "analysis/file_open.h"
#include "analysis/gps_frame.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_model.h"
#include "analysis/lap_table.h"
#include "data/csv_import.h"
#include "data/derived_channels.h"
#include "data/family4_reader.h"
#include "data/session.h"
#include "data/settings.h"
#include "data/status_channels.h"
#include "platform/message_box.h"

namespace qvtk {

void ResetProgram() {
    ResetSettings();
    ResetSettingsFile();
    ResetSession();
    ResetDerivedChannelState();
    ResetCsvImport();
    ResetLoadOptions();
    ResetStatusChannels();
    ResetLapModel();
    ResetLapTable();
    ResetCourseLayout();
    ResetGpsLaps();
    ResetGpsFrame();
    ResetFileOpen();
    ClearRecordedMessages();
}

} // namespace qvtk
