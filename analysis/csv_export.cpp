#include "analysis/csv_export.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "analysis/lap_compare.h"
#include "analysis/lap_model.h"
#include "data/session.h"
#include "platform/message_box.h"
#include "platform/safe_file.h"

namespace qvtk {

const char* const kExportRateText[kExportRates] = {"1000Hz(1ms)", "200Hz (5ms)", "100Hz(10ms)",
                                                   "50Hz (20ms)", "10Hz(100ms)", "1Hz(1000ms)"};
const int kExportRateSteps[kExportRates] = {1, 5, 10, 20, 100, 1000};

namespace {

constexpr size_t kFlushBytes = 1 << 20;
constexpr int kClockSteps = 4096; // steps between two looks at the clock
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

// a x 10^k with one rounding.
double Scale(double a, int k) {
    static const double kPow[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    return k >= 0 ? a * kPow[k] : a / kPow[-k];
}

char* PutDigits(char* p, const char* digits, int n) {
    std::memcpy(p, digits, size_t(n));
    return p + n;
}

// The 6 significant digits and the decimal exponent "%g" shows; false when the value lies so
// close to a half that only the C library can say which way it rounds.
bool SixDigits(double a, int& exponent, int64_t& digits) {
    int x = -7; // |sample x 0.001| lies within 1e-3 .. 2.2e6
    while (x < 9 && Scale(1.0, x + 1) <= a) ++x;
    double scaled = Scale(a, 5 - x);
    if (scaled >= 1e6) scaled = Scale(a, 5 - ++x);
    if (scaled < 1e5) scaled = Scale(a, 5 - --x);
    const double whole = std::floor(scaled), rest = scaled - whole;
    if (std::fabs(rest - 0.5) < 1e-7) return false;
    digits = int64_t(whole) + (rest > 0.5);
    if (digits == 1000000) {
        digits = 100000;
        ++x;
    }
    exponent = x;
    return true;
}

char* PutInt(char* p, int64_t v) {
    char tmp[24];
    int n = 0;
    const bool negative = v < 0;
    uint64_t u = negative ? uint64_t(0) - uint64_t(v) : uint64_t(v);
    do {
        tmp[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative) *p++ = '-';
    while (n) *p++ = tmp[--n];
    return p;
}

// Lap marks as steps, and what one export keeps between its spans.
struct Export {
    SafeFile file;
    std::string buffer;
    std::vector<int> columns;
    std::vector<int64_t> markSteps; // the first step of each mark k = 1 .. count - 1
    int64_t period = 500;           // one sample, in 10 microseconds
    int64_t row = 0;                // steps passed, written or not
    int32_t lap = 0;
    int rateSteps = 5;
    const ExportProgress* progress = nullptr;
    std::chrono::steady_clock::time_point lastLook;

    bool Flush() {
        const bool ok = WriteSafeFile(file, buffer);
        buffer.clear();
        return ok;
    }
};

int64_t FirstStepOf(int64_t sample, int64_t period) {
    return (sample * period + 99) / 100;
}

// The data lines of samples first .. last (the last only with its first step).
bool WriteCsvRows(Export& x, int32_t first, int32_t last) {
    const Slot& s = SlotOf(0);
    const int64_t end = FirstStepOf(int64_t(s.sampleCount) - 1, x.period);
    const int64_t to = int64_t(last) * x.period / 100;
    auto mark =
        std::lower_bound(x.markSteps.begin(), x.markSteps.end(), FirstStepOf(first, x.period));
    int32_t cached[kColumnCount];
    char cachedText[kColumnCount][16];
    int cachedLength[kColumnCount] = {};
    int untilLine = int(x.row % x.rateSteps ? x.rateSteps - x.row % x.rateSteps : 0);
    int clock = 0;
    for (int64_t u = FirstStepOf(first, x.period); u <= to && u < end; ++u) {
        if (++clock == kClockSteps) {
            clock = 0;
            const auto now = std::chrono::steady_clock::now();
            if (now - x.lastLook >= kProgressEvery) {
                x.lastLook = now;
                if (x.progress->position) x.progress->position(int32_t(u * 100 / x.period));
                if (x.progress->pumpMessages) x.progress->pumpMessages();
            }
        }
        while (mark != x.markSteps.end() && *mark < u) ++mark;
        while (mark != x.markSteps.end() && *mark == u) {
            ++x.lap;
            ++mark;
        }
        if (untilLine > 0) {
            --untilLine;
            ++x.row;
            continue;
        }
        untilLine = x.rateSteps - 1;
        char line[32 + kColumnCount * 17];
        char* p = PutInt(line, x.row / 1000);
        *p++ = '.';
        const int ms = int(x.row % 1000);
        *p++ = char('0' + ms / 100);
        *p++ = char('0' + ms / 10 % 10);
        *p++ = char('0' + ms % 10);
        ++x.row;
        *p++ = ',';
        p = PutInt(p, x.lap);
        const int32_t sample = int32_t(u * 100 / x.period);
        for (size_t i = 0; i < x.columns.size(); ++i) {
            const int c = x.columns[i];
            const int32_t v = s.samples[c][sample];
            if (cachedLength[i] == 0 || cached[i] != v) {
                cached[i] = v;
                cachedLength[i] = FormatExportValue(v, cachedText[i]);
            }
            *p++ = ',';
            p = PutDigits(p, cachedText[i], cachedLength[i]);
        }
        *p++ = '\r';
        *p++ = '\n';
        x.buffer.append(line, size_t(p - line));
        if (x.buffer.size() >= kFlushBytes && !x.Flush()) return false;
    }
    return true;
}

bool WriteSpan(Export& x, int32_t first, int32_t last) {
    if (x.progress->span) x.progress->span(first, last);
    const bool ok = WriteCsvRows(x, first, last);
    if (x.progress->position) x.progress->position(last);
    return ok;
}

std::string HeaderLine(const std::vector<int>& columns) {
    std::string line = "Time,Lap";
    for (int c : columns) {
        std::string name = SlotOf(0).channels[c].name;
        // A name must not break the line into other columns.
        for (char& ch : name)
            if (ch == ',' || ch == '"' || ch == '\r' || ch == '\n') ch = '_';
        line += "," + name;
    }
    return line + "\r\n";
}

} // namespace

std::vector<int> ExportedColumns() {
    const Slot& s = SlotOf(0);
    std::vector<int> columns;
    for (int c = 0; c < kColumnCount; ++c)
        if (IsPresent(s, c) && (s.channelFlags[c] & kChannelShown) && HasFullBuffer(s, c) &&
            !IsComputedColumn(c))
            columns.push_back(c);
    return columns;
}

// A sample of at most six significant digits below 1e9: the float differs from the decimal
// sample / 1000 by far less than half a unit of its sixth digit, so "%g" shows that decimal.
int FormatShortValue(int32_t sample, char* out) {
    uint32_t u = sample < 0 ? 0u - uint32_t(sample) : uint32_t(sample);
    char* p = out;
    if (sample < 0) *p++ = '-';
    p = PutInt(p, u / 1000);
    int fraction = int(u % 1000), places = 3;
    while (places > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    if (places > 0) {
        *p++ = '.';
        for (int k = places - 1; k >= 0; --k, fraction /= 10) p[k] = char('0' + fraction % 10);
        p += places;
    }
    return int(p - out);
}

bool HasShortForm(int32_t sample) {
    uint32_t u = sample < 0 ? 0u - uint32_t(sample) : uint32_t(sample);
    if (u == 0 || u >= 1000000000u) return false;
    while (u % 10 == 0) u /= 10;
    return u < 1000000;
}

int FormatExportValue(int32_t sample, char* out) {
    if (HasShortForm(sample)) return FormatShortValue(sample, out);
    const double v = double(float(sample) * 0.001f);
    if (v == 0) {
        out[0] = '0';
        return 1;
    }
    int x = 0;
    int64_t d = 0;
    if (!SixDigits(std::fabs(v), x, d)) return std::snprintf(out, 16, "%g", v);
    char digits[6];
    for (int k = 5; k >= 0; --k, d /= 10) digits[k] = char('0' + d % 10);
    int kept = 6; // significant digits left after the trailing zeros go
    while (kept > 1 && digits[kept - 1] == '0') --kept;
    char* p = out;
    if (v < 0) *p++ = '-';
    if (x >= 6 || x < -4) {
        *p++ = digits[0];
        if (kept > 1) {
            *p++ = '.';
            p = PutDigits(p, digits + 1, kept - 1);
        }
        *p++ = 'e';
        *p++ = x < 0 ? '-' : '+';
        const int e = std::abs(x);
        if (e < 10) *p++ = '0';
        p = PutInt(p, e);
    } else if (x >= 0) {
        p = PutDigits(p, digits, x + 1);
        if (kept > x + 1) {
            *p++ = '.';
            p = PutDigits(p, digits + x + 1, kept - x - 1);
        }
    } else {
        *p++ = '0';
        *p++ = '.';
        for (int k = 0; k < -x - 1; ++k) *p++ = '0';
        p = PutDigits(p, digits, kept);
    }
    return int(p - out);
}

bool WriteCsvExport(const std::string& path, const ExportRequest& request,
                    const ExportProgress& progress) {
    const Slot& s = SlotOf(0);
    Export x;
    x.progress = &progress;
    x.columns = ExportedColumns();
    x.rateSteps = kExportRateSteps[std::clamp(request.rate, 0, kExportRates - 1)];
    // A step is 1 ms of this recording's time: a sample lasts 5 ms / SampleRateFactor.
    x.period = s.sampleRateFactor > 0
                   ? std::max<int64_t>(1, std::llround(500.0 / s.sampleRateFactor))
                   : 500;
    const LapMarkTable& t = s.laps;
    for (int k = 1; k < t.count && k < kLapMarkEntries; ++k)
        x.markSteps.push_back(FirstStepOf(t.marks[k], x.period));
    std::sort(x.markSteps.begin(), x.markSteps.end());
    // The first look at the clock moves the bar at once; later ones every kProgressEvery.
    x.lastLook = std::chrono::steady_clock::time_point{};
    if (!BeginSafeFile(x.file, path)) return false;
    x.buffer = HeaderLine(x.columns);
    x.buffer.reserve(kFlushBytes + 4096);
    bool ok = true;
    const int32_t count = s.sampleCount;
    switch (request.mode) {
    case kExportSelectedLaps: {
        const int m = MarksPerLap(0);
        for (int k = 0; k < t.count && k + 1 < kLapMarkEntries && ok; ++k)
            if (LapStateOf(0).lapChecked[std::min(m * (k / m), kLapEntries - 1)])
                ok = WriteSpan(x, t.marks[k] + 1, t.marks[k + 1]);
        break;
    }
    case kExportRange: {
        const int32_t a = std::clamp(std::min(request.rangeA, request.rangeB), 0, count);
        const int32_t b = std::clamp(std::max(request.rangeA, request.rangeB), 0, count);
        ok = WriteSpan(x, a, b);
        break;
    }
    case kExportAll:
        ok = WriteSpan(x, 0, count);
        break;
    }
    if (!ok || !x.Flush() || !CommitSafeFile(x.file)) {
        AbandonSafeFile(x.file);
        return false;
    }
    return true;
}

bool ExportCsv(const std::string& path, const ExportRequest& request,
               const ExportProgress& progress) {
    if (path.empty() || !WriteCsvExport(path, request, progress)) {
        ShowMessage("Not Saved !!", "Error !!");
        return false;
    }
    ShowMessage("Done.", "Saved");
    return true;
}

} // namespace qvtk
