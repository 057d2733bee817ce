#include "analysis/final_simulation.h"

#include <algorithm>
#include <cstdio>

#include "data/derived_channels.h"
#include "data/sample_envelope.h"
#include "data/session.h"

namespace qvtk {

FinalSimulation g_finalSimulation;

namespace {

FinalSimulation& Sim() {
    return g_finalSimulation;
}

// Sprockets of fewer than 10 teeth mean the header holds none: every ratio is then 1.
void ApplySprocketRules() {
    FinalSimulation& f = Sim();
    if (f.recordedFront < 10 || f.recordedRear < 10)
        f.recordedFront = f.recordedRear = f.front = f.rear = 1;
    if (f.front < 1 || f.rear < 1) f.front = f.rear = 1;
}

std::string RatioText(int teethRear, int teethFront) {
    char text[32];
    std::snprintf(text, sizeof text, "%4.3f", double(float(teethRear) / float(teethFront)));
    return text;
}

int Wrapped(int value, int first, int last) {
    if (value > last) return first;
    if (value < first) return last;
    return value;
}

} // namespace

void ResetFinalSimulation() {
    g_finalSimulation = FinalSimulation();
}

float SimulatedScale() {
    const FinalSimulation& f = Sim();
    const float tyre = TyreSimulated() ? float(f.recordedTyre) / float(std::max(f.tyre, 1)) : 1.0f;
    return float(f.rear) / float(std::max(f.front, 1)) * float(f.recordedFront) /
           float(std::max(f.recordedRear, 1)) * tyre;
}

bool TyreSimulated() {
    return Sim().recordedTyre >= kKnownTyreMin;
}

void UpdateNeScale() {
    SlotOf(0).engineSpeedScale = SimulatedScale();
}

void ResetSimulatedValues() {
    FinalSimulation& f = Sim();
    f.front = f.recordedFront;
    f.rear = f.recordedRear;
    ApplySprocketRules();
    f.tyre = f.recordedTyre;
    SlotOf(0).engineSpeedScale = 1.0f;
}

void OpenFinalSimulation() {
    FinalSimulation& f = Sim();
    const Slot& s = SlotOf(0);
    const LogHeader& h = s.header;
    // A reloaded or other File 1 starts unsimulated: the values shown must be the ones the
    // scale was made from.
    const bool same = f.prepared && f.file == s.file.filePath && f.headerFront == h.sprocketFront &&
                      f.headerRear == h.sprocketRear && f.headerTyre == h.tireRear &&
                      s.engineSpeedScale == SimulatedScale();
    if (!same) {
        f.prepared = true;
        f.file = s.file.filePath;
        f.headerFront = f.recordedFront = h.sprocketFront;
        f.headerRear = f.recordedRear = h.sprocketRear;
        f.headerTyre = f.recordedTyre = h.tireRear;
        ResetSimulatedValues();
    }
    ApplySprocketRules();
}

void ChooseSimulatedFront(int position) {
    Sim().front = kSimFrontFirst + std::clamp(position, 0, kSimFrontLast - kSimFrontFirst);
    ApplySprocketRules();
    UpdateNeScale();
}

void ChooseSimulatedRear(int position) {
    Sim().rear = kSimRearFirst + std::clamp(position, 0, kSimRearLast - kSimRearFirst);
    ApplySprocketRules();
    UpdateNeScale();
}

void SetSimulatedTyre(int millimetres) {
    Sim().tyre = std::clamp(millimetres, kSimTyreMin, kSimTyreMax);
    UpdateNeScale();
}

void StepRecordedFront(int direction) {
    FinalSimulation& f = Sim();
    f.recordedFront = Wrapped(f.recordedFront + direction, kSimFrontFirst, kSimFrontLast);
    UpdateNeScale();
}

void StepRecordedRear(int direction) {
    FinalSimulation& f = Sim();
    f.recordedRear = Wrapped(f.recordedRear + direction, kSimRearFirst, kSimRearLast);
    UpdateNeScale();
}

std::string RecordedRatioText() {
    return RatioText(Sim().recordedRear, Sim().recordedFront);
}

std::string SimulatedRatioText() {
    return RatioText(Sim().rear, Sim().front);
}

void ApplySlipTriggerChoice() {
    const FinalSimulation& f = Sim();
    if (f.outputChannel < 0 || f.outputChannel >= kColumnCount) return;
    if (SlotOf(0).file.fileKind == kFileNone) return;
    g_derivedState.slipTriggerMap = std::clamp(f.mapNumber, 1, 30) - 1;
    ComputeSlipTrigger(0, f.outputChannel);
    RebuildColumnEnvelope(0, f.outputChannel);
}

} // namespace qvtk
