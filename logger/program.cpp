#include "logger/program.h"

#include "analysis/course_layout.h"
#include "analysis/file_open.h"
#include "analysis/final_simulation.h"
#include "analysis/gps_frame.h"
#include "analysis/gps_laps.h"
#include "analysis/lap_compare.h"
#include "analysis/lap_model.h"
#include "analysis/lap_table.h"
#include "analysis/percentage.h"
#include "analysis/xy_plot.h"
#include "data/csv_import.h"
#include "data/can_setup_values.h"
#include "data/channel_setting.h"
#include "data/derived_channels.h"
#include "data/family4_reader.h"
#include "data/session.h"
#include "data/settings.h"
#include "data/setup_values.h"
#include "data/status_channels.h"
#include "logger/channel_edit.h"
#include "logger/channel_functions.h"
#include "logger/corrective_tools.h"
#include "logger/input_calculation.h"
#include "logger/logger_link.h"
#include "logger/monitor.h"
#include "logger/setup_files.h"
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
    ResetLapDistances();
    ResetLapCompare();
    ResetCourseLayout();
    ResetGpsLaps();
    ResetGpsFrame();
    ResetFileOpen();
    ResetPercentage();
    ResetFinalSimulation();
    ResetXyPlot();
    ResetSetupValues();
    ResetSetupFiles();
    ResetCanSetupValues();
    ResetChannelSettings();
    ResetChannelEditing();
    FillChannelFunctionTable();
    ResetCorrectiveTools();
    ResetInputCalculation();
    ResetMonitor();
    ResetLoggerLink();
    ClearRecordedMessages();
}

} // namespace qvtk
