#include "cli/commands.h"

#include <cstdio>
#include <functional>
#include <iostream>

#include "cli/json_writer.h"
#include "data/settings.h"

namespace qvtk::cli {

namespace {

void WriteHeader(JsonWriter& j, const LogHeader& h) {
    j.BeginObject();
    auto field = [&](const char* k, int64_t v) {
        j.Key(k);
        j.Value(v);
    };
    field("neDivisor", h.neDivisor);
    field("pulsesFront", h.pulsesFront);
    field("pulsesRear", h.pulsesRear);
    field("tireFront", h.tireFront);
    field("tireRear", h.tireRear);
    field("sprocketFront", h.sprocketFront);
    field("sprocketRear", h.sprocketRear);
    field("throttleClosed", h.throttleClosed);
    field("throttleOpen", h.throttleOpen);
    field("susTypeFront", h.susTypeFront);
    field("susTypeRear", h.susTypeRear);
    field("susZeroFront", h.susZeroFront);
    field("susZeroRear", h.susZeroRear);
    field("strokeFront", h.strokeFront);
    field("strokeRear", h.strokeRear);
    j.Key("inputTypes");
    j.BeginArray();
    for (int t : h.inputTypes) j.Value(int64_t(t));
    j.EndArray();
    j.Key("gearThresholds");
    j.BeginArray();
    for (int t : h.gearThresholds) j.Value(int64_t(t));
    j.EndArray();
    field("lapThreshold", h.lapThreshold);
    j.EndObject();
}

void WriteChannels(JsonWriter& j, const Slot& s) {
    j.BeginArray();
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(s, c)) continue;
        const ChannelInfo& info = s.channels[c];
        j.BeginObject();
        j.Key("column"), j.Value(int64_t(c));
        j.Key("name"), j.Value(info.name);
        j.Key("unit"), j.Value(info.unit);
        j.Key("code"), j.Value(int64_t(info.code));
        j.Key("kind"), j.Value(int64_t(info.kind));
        j.Key("decimals"), j.Value(int64_t(info.decimals));
        j.Key("flags"), j.Value(int64_t(s.channelFlags[c]));
        j.Key("min"), j.Value(int64_t(s.range.min[c]));
        j.Key("max"), j.Value(int64_t(s.range.max[c]));
        j.Key("autoDisplay"), j.Value(int64_t(s.autoDisplay[c]));
        j.EndObject();
    }
    j.EndArray();
}

void WriteJson(const Options& o, bool loaded, const std::function<void(JsonWriter&)>& extra) {
    const Slot& s = SlotOf(o.slot);
    JsonWriter j;
    j.BeginObject();
    j.Key("path"), j.Value(o.file);
    j.Key("slot"), j.Value(int64_t(o.slot));
    j.Key("loaded"), j.Value(loaded);
    j.Key("kind"), j.Value(int64_t(s.file.fileKind));
    j.Key("logVersion"), j.Value(int64_t(s.file.logVersion));
    j.Key("sampleCount"), j.Value(int64_t(s.sampleCount));
    j.Key("sampleRateFactor"), j.Value(double(s.sampleRateFactor));
    j.Key("lapDivisor"), j.Value(int64_t(s.laps.divisor));
    j.Key("lapMarkCount"), j.Value(int64_t(s.laps.count));
    j.Key("lapMarks");
    j.BeginArray();
    for (int k = 0; k <= s.laps.count + 2 && k < kLapMarkEntries; ++k)
        j.Value(int64_t(s.laps.marks[k]));
    j.EndArray();
    j.Key("lapDistances");
    j.BeginArray();
    for (int k = 0; k <= s.laps.count && k < kLapMarkEntries; ++k)
        j.Value(int64_t(s.laps.lapDistance[k]));
    j.EndArray();
    j.Key("firmware"), j.Value(g_session.firmware);
    j.Key("memo"), j.Value(s.header.memo);
    j.Key("header");
    WriteHeader(j, s.header);
    j.Key("channels");
    WriteChannels(j, s);
    j.Key("channelIndexByCode");
    j.BeginObject();
    for (int code = 0; code < kChannelIndexSize; ++code) {
        if (g_session.channelIndexByCode[code] == kColumnNotPresent) continue;
        j.Key(std::to_string(code));
        j.Value(int64_t(g_session.channelIndexByCode[code]));
    }
    j.EndObject();
    j.Key("messages");
    WriteMessages(j);
    if (extra) extra(j);
    j.EndObject();
    std::cout << j.Text() << "\n";
}

void WriteText(const Options& o, bool loaded) {
    const Slot& s = SlotOf(o.slot);
    std::printf("%s: File %d, %s\n", o.file.c_str(), o.slot + 1, loaded ? "loaded" : "not loaded");
    if (!loaded) return;
    double seconds = s.sampleCount * 0.005 / s.sampleRateFactor;
    std::printf("  kind %d, version %d, %d samples (%d:%05.2f), %d lap marks (%d per lap)\n",
                int(s.file.fileKind), s.file.logVersion, s.sampleCount, int(seconds) / 60,
                seconds - 60 * (int(seconds) / 60), s.laps.count, s.laps.divisor);
    std::printf("  firmware \"%s\", memo \"%s\"\n", g_session.firmware.c_str(), s.header.memo);
    std::printf("  tires F %d mm R %d mm, sprockets %d/%d\n", s.header.tireFront, s.header.tireRear,
                s.header.sprocketFront, s.header.sprocketRear);
    std::printf("  %-3s %-9s %-5s %5s %12s %12s\n", "col", "name", "unit", "code", "min", "max");
    for (int c = 0; c < kColumnCount; ++c) {
        if (!IsPresent(s, c)) continue;
        const ChannelInfo& info = s.channels[c];
        std::printf("  %-3d %-9s %-5s %5d %12d %12d\n", c, info.name, info.unit, info.code,
                    s.range.min[c], s.range.max[c]);
    }
}

} // namespace

void PrintInspect(const Options& o, bool loaded, const std::function<void(JsonWriter&)>& extra) {
    if (o.json)
        WriteJson(o, loaded, extra);
    else
        WriteText(o, loaded);
}

int RunInspect(Options& o, bool loaded) {
    PrintInspect(o, loaded, {});
    return loaded ? kExitLoaded : kExitRejected;
}

} // namespace qvtk::cli
