#include "cli/tool_options.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "analysis/final_simulation.h"
#include "analysis/lap_model.h"
#include "data/session.h"

namespace qvtk::cli {

namespace {

bool Int(const std::string& s, long lo, long hi, int& out) {
    char* end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || !end || *end != 0 || v < lo || v > hi) return false;
    out = int(v);
    return true;
}

// "3,5-7": lap-start mark indices.
bool IndexList(const std::string& list, std::vector<int>& out) {
    size_t at = 0;
    while (at <= list.size()) {
        const size_t comma = list.find(',', at);
        const std::string item =
            list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        const size_t dash = item.find('-', 1);
        int a = 0, b = 0;
        if (!Int(item.substr(0, dash), 0, kLapEntries - 1, a)) return false;
        b = a;
        if (dash != std::string::npos && !Int(item.substr(dash + 1), a, kLapEntries - 1, b))
            return false;
        for (int k = a; k <= b; ++k) out.push_back(k);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return true;
}

int Bad(const std::string& why) {
    std::cerr << "qvtk-cli: " << why << "\n";
    return -1;
}

} // namespace

int ParseToolOption(const std::string& a, int& i, int argc, char** argv, ToolOptions& t) {
    auto value = [&](std::string& v) {
        if (i + 1 >= argc) return false;
        v = argv[++i];
        return true;
    };
    std::string v;
    if (a == "--reverse") {
        t.reverse = true;
        return 1;
    }
    const bool known = a == "--file2" || a == "--channel" || a == "--min" || a == "--max" ||
                       a == "--step" || a == "--scope" || a == "--checked" || a == "--simulate" ||
                       a == "--front" || a == "--rear" || a == "--tyre" || a == "--window-low" ||
                       a == "--window-width";
    if (!known) return 0;
    if (!value(v)) return Bad(a + " needs a value");
    if (a == "--file2") {
        t.file2 = v;
    } else if (a == "--channel") {
        t.channel = v;
    } else if (a == "--min" || a == "--max" || a == "--step") {
        int n = 0;
        if (!Int(v, -2147483647L, 2147483647L, n)) return Bad(a + " needs a whole number");
        (a == "--min" ? t.min : a == "--max" ? t.max : t.step) = n;
        (a == "--min" ? t.haveMin : a == "--max" ? t.haveMax : t.haveStep) = true;
    } else if (a == "--scope") {
        if (v != "all" && v != "checked") return Bad("--scope needs all or checked");
        t.scope = v;
    } else if (a == "--checked") {
        t.haveChecked = true;
        if (!IndexList(v, t.checked))
            return Bad("--checked needs lap-start mark indices such as 1,3-5");
    } else if (a == "--simulate") {
        const size_t c1 = v.find(','), c2 = c1 == std::string::npos ? c1 : v.find(',', c1 + 1);
        if (c2 == std::string::npos ||
            !Int(v.substr(0, c1), kSimFrontFirst, kSimFrontLast, t.simFront) ||
            !Int(v.substr(c1 + 1, c2 - c1 - 1), kSimRearFirst, kSimRearLast, t.simRear) ||
            !Int(v.substr(c2 + 1), -2147483647L, 2147483647L, t.simTyre))
            return Bad("--simulate needs FRONT,REAR,TYRE (front 13 to 22, rear 30 to 70 teeth)");
        t.simulate = true;
    } else if (a == "--front") {
        if (!Int(v, kSimFrontFirst, kSimFrontLast, t.front)) return Bad("--front needs 13 to 22");
    } else if (a == "--rear") {
        if (!Int(v, kSimRearFirst, kSimRearLast, t.rear)) return Bad("--rear needs 30 to 70");
    } else if (a == "--tyre") {
        if (!Int(v, -2147483647L, 2147483647L, t.tyre)) return Bad("--tyre needs millimetres");
    } else if (a == "--window-low") {
        if (!Int(v, -2147483647L, 2147483647L, t.windowLow))
            return Bad("--window-low needs A/F x 100");
    } else if (a == "--window-width") {
        if (!Int(v, -2147483647L, 2147483647L, t.windowWidth))
            return Bad("--window-width needs A/F x 100");
    }
    return 1;
}

void ApplyLapChecks(const ToolOptions& t) {
    for (FileSlot slot = 0; slot < kSlotCount; ++slot) {
        ResetLapChecks(slot);
        if (!t.haveChecked) continue;
        LapState& st = LapStateOf(slot);
        for (bool& c : st.lapChecked) c = false;
        for (int k : t.checked) st.lapChecked[k] = true;
    }
}

void ApplySimulation(const ToolOptions& t) {
    if (!t.simulate) return;
    OpenFinalSimulation();
    ChooseSimulatedFront(t.simFront - kSimFrontFirst);
    ChooseSimulatedRear(t.simRear - kSimRearFirst);
    if (TyreSimulated()) SetSimulatedTyre(t.simTyre);
}

} // namespace qvtk::cli
