#pragma once
// The final simulation: File 1's engine speed as it would have been with other sprockets or
// another rear tyre. The recorded values come from File 1's header; the simulated ones live
// for the run; the result is File 1's engine speed scale, which the lap table, the percentage
// tool and the graphs apply.
#include <string>

namespace qvtk {

constexpr int kSimFrontFirst = 13, kSimFrontLast = 22;
constexpr int kSimRearFirst = 30, kSimRearLast = 70;
constexpr int kSimTyreMin = 10, kSimTyreMax = 3000;
constexpr int kKnownTyreMin = 100; // a recorded tyre below this is unknown (a CSV import)

struct FinalSimulation {
    bool prepared = false;                               // the values belong to the recording below
    std::string file;                                    // File 1's path when they were prepared
    int headerFront = 0, headerRear = 0, headerTyre = 0; // File 1's header then
    int recordedFront = 15, recordedRear = 43;           // Fr, Rr (the arrows change them)
    int recordedTyre = 0;                                // Tr, mm
    int front = 15, rear = 43;                           // Fs, Rs
    int tyre = 0;                                        // Ts, mm
    int outputChannel = -1; // slip trigger written into this column of File 1; -1 none
    int mapNumber = 1;      // slip-trigger map 1 .. 30
};

extern FinalSimulation g_finalSimulation;

void ResetFinalSimulation();

// What the dialog shows when it opens: the values of the last opening while they still
// describe File 1 and its scale, otherwise the recorded ones (the "Reset" state).
void OpenFinalSimulation();

// "Reset": simulated = recorded, scale 1.
void ResetSimulatedValues();

// A list choice: position 0 is 13 (front) or 30 (rear) teeth. Updates the scale.
void ChooseSimulatedFront(int position);
void ChooseSimulatedRear(int position);
// The simulated tyre as typed, limited to 10 .. 3000 mm. Updates the scale.
void SetSimulatedTyre(int millimetres);
// Whether the tyre takes part: the recorded tyre is known.
bool TyreSimulated();

// The arrows beside the recorded sprockets (shown with Finalchg or in debug mode).
void StepRecordedFront(int direction);
void StepRecordedRear(int direction);

// File 1's engine speed scale = (Rs / Fs) x Fr / Rr x (Tr / Ts), in single precision.
void UpdateNeScale();
float SimulatedScale();

// "%4.3f" of Rr / Fr and of Rs / Fs.
std::string RecordedRatioText();
std::string SimulatedRatioText();

// Runs the slip-trigger computation into the chosen output column, if any (the dialog's OK).
void ApplySlipTriggerChoice();

} // namespace qvtk
