// The CSV reader: a first pass that counts the data lines and learns the time base and the AUX
// ranges, a second that fills the slot (on two threads, or resampled onto a regular time
// base), then the lap marks and the distance tracks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "data/csv_import.h"
#include "data/csv_plain_lines.h"
#include "data/fixed_channels.h"
#include "data/lap_marker.h"
#include "platform/message_box.h"
#include "platform/parallel.h"

namespace qvtk {

namespace {

constexpr int64_t kPumpLines = 2000;     // lines between two looks at the window
constexpr int64_t kChunkLines = 1 << 15; // lines of one piece of the second pass
constexpr int kChannelRows = 11;         // rows 1-11 feed columns 0-10
constexpr int kFirstProgress = 0, kSecondProgress = 100, kDistanceProgress = 200;

// The fields one pass reads, in column order (a column may be read twice).
struct FieldPlan {
    std::vector<int> columns;
    std::vector<CsvScale> scales;
    std::vector<int32_t*> targets; // the second pass: where each value goes
    std::vector<bool> engine;      // whole units that are stored x 1000
    std::vector<int> tags;         // what a field without a target is read for
    void Add(int column, CsvScale scale, int32_t* target, bool engineSpeed = false, int tag = 0) {
        size_t at = 0;
        while (at < columns.size() && columns[at] <= column) ++at;
        const ptrdiff_t d = ptrdiff_t(at);
        columns.insert(columns.begin() + d, column);
        scales.insert(scales.begin() + d, scale);
        targets.insert(targets.begin() + d, target);
        engine.insert(engine.begin() + d, engineSpeed);
        tags.insert(tags.begin() + d, tag);
    }
    int IndexOf(int tag) const {
        for (size_t i = 0; i < tags.size(); ++i)
            if (tags[i] == tag) return int(i);
        return -1;
    }
    size_t size() const { return columns.size(); }
};

enum Tag { kNoTag, kTimeTag, kLapTag };

// A line is data when it starts with a number, or when any of its fields is one.
bool IsDataLine(std::string_view line) {
    int64_t v = 0;
    const char* stop = nullptr;
    if (ReadPlainCsvNumber(line.data(), line.data() + line.size(), {}, v, stop)) return true;
    return ClassifyCsvLine(line) == CsvLineKind::Data;
}

// Reads the planned fields of one data line; a field the line does not have is empty.
struct FieldReader {
    explicit FieldReader(const char* end) : limit(end) {}
    const char* limit; // the end of the text: numbers may be read ahead up to it
    std::vector<std::string_view> fields;
    std::string scratch;

    void Read(std::string_view line, bool quoted, const FieldPlan& plan, int64_t* values,
              CsvField* kinds) {
        const size_t n = plan.size();
        const char* e = line.data() + line.size();
        if (quoted) {
            SplitCsvLine(line, fields, scratch);
            for (size_t i = 0; i < n; ++i) {
                const size_t c = size_t(plan.columns[i]);
                kinds[i] = c < fields.size() ? CsvFieldValue(fields[c], plan.scales[i], values[i])
                                             : CsvField::Empty;
            }
            return;
        }
        int field = 0;
        const char* start = line.data(); // of field `field`
        const char* scan = start;        // where the search for its end may begin
        for (size_t i = 0; i < n; ++i) {
            bool missing = false;
            while (field < plan.columns[i]) {
                while (scan < e && *scan != ',') ++scan;
                if (scan == e) {
                    missing = true;
                    break;
                }
                start = scan = scan + 1;
                ++field;
            }
            if (missing) {
                for (; i < n; ++i) kinds[i] = CsvField::Empty;
                return;
            }
            const char* stop = nullptr;
            kinds[i] = ReadPlainCsvNumber(start, e, plan.scales[i], values[i], stop, limit)
                           ? CsvField::Number
                           : ReadCsvNumber(start, e, plan.scales[i], values[i], stop);
            scan = stop;
        }
    }
};

int64_t TimesThousand(int64_t v) {
    if (v > INT64_MAX / 1000) return INT64_MAX;
    if (v < INT64_MIN / 1000) return INT64_MIN;
    return v * 1000;
}

int32_t StoredValue(const FieldPlan& plan, size_t i, int64_t v) {
    return SaturateToInt32(plan.engine[i] ? TimesThousand(v) : v);
}

// How the time column steps, as the first pass sees it.
struct TimeSteps {
    int64_t lines = 0;
    int64_t previousTime = 0, interval = 0;
    bool consistent = true; // no other positive step after line 5
    bool irregular = false; // a step that differs from the first, repeats or goes back
    int64_t firstStep = 0;
    std::vector<int64_t> positive; // the positive steps, kept once the column is irregular
    int64_t first = 0, last = 0, max = 0;

    void Add(int64_t t) {
        int64_t step = 0; // times come saturated: a step between the extremes saturates too
        if (__builtin_sub_overflow(t, previousTime, &step))
            step = t > previousTime ? INT64_MAX : INT64_MIN;
        if (step > 0 && step != interval && interval != 0 && lines > 5) consistent = false;
        if (lines == 0) {
            first = max = t;
        } else {
            if (lines == 1) firstStep = step;
            if (!irregular && (step <= 0 || step != firstStep)) {
                irregular = true;
                positive.assign(size_t(firstStep > 0 ? lines - 1 : 0), firstStep);
            }
            if (irregular && step > 0) positive.push_back(step);
            max = std::max(max, t);
        }
        interval = step;
        previousTime = last = t;
        ++lines;
    }
    int64_t Median() {
        if (!irregular) return firstStep > 0 ? firstStep : 0;
        if (positive.empty()) return 0;
        auto mid = positive.begin() + ptrdiff_t(positive.size() / 2);
        std::nth_element(positive.begin(), mid, positive.end());
        return *mid;
    }
};

int NearestChoice(int64_t step) {
    int best = 0;
    for (int k = 1; k < kCsvTimeChoices; ++k)
        if (std::llabs(kCsvTimeChoiceStep[k] - step) < std::llabs(kCsvTimeChoiceStep[best] - step))
            best = k;
    return best;
}

CsvScale TimeScale(const CsvLayout& layout, int column) {
    return {CsvColumnInMilliseconds(layout, column) ? 2 : 5, false};
}

// Where the second pass may start a piece of work: every kChunkLines data lines of a part of
// the first pass.
struct Chunk {
    size_t offset;
    int lineNumber;
    int64_t firstLine; // the data lines before it
};

struct FirstPass {
    int64_t lines = 0;
    TimeSteps time;
    std::vector<Chunk> chunks;
};

// Where the progress of a loop over lines goes: positions from `base` to base + 100 over the
// text from `from` to `to`, and the window's messages let through.
struct LineProgress {
    const CsvProgress* progress = nullptr; // none on a helper thread
    int base = 0;
    size_t from = 0, to = 1;
    void At(size_t offset) const {
        if (!progress) return;
        const double part = double(offset - from) / double(std::max<size_t>(to - from, 1));
        if (progress->position) progress->position(base + int(100.0 * std::min(part, 1.0)));
        if (progress->pumpMessages) progress->pumpMessages();
    }
};

// Calls f(line, quoted) for every data line from `lines` until the line starting at `stop` or
// later; `chunk` at every kChunkLines lines. `lines` is left at the first line not read.
template <class F, class C>
void ForEachDataLine(CsvLines& lines, size_t stop, const LineProgress& progress, F f, C chunk) {
    std::string_view line;
    int64_t count = 0;
    for (;;) {
        const size_t offset = lines.Offset();
        const int number = lines.lineNumber + 1;
        if (offset >= stop || !lines.Next(line)) break;
        if (!IsDataLine(line)) continue;
        if (count % kChunkLines == 0) chunk(Chunk{offset, number, count});
        f(line, lines.quoted);
        if (++count % kPumpLines == 0) progress.At(offset);
    }
}

// Times kept for later as runs of equal steps: a regular column is a run or two, whatever its
// length.
struct TimeRuns {
    struct Run {
        int64_t first, step, count, last;
    };
    std::vector<Run> runs;

    void Add(int64_t t) {
        if (!runs.empty()) {
            Run& r = runs.back();
            int64_t step = 0;
            if (!__builtin_sub_overflow(t, r.last, &step) && (r.count == 1 || step == r.step)) {
                r.step = step;
                r.last = t;
                ++r.count;
                return;
            }
        }
        runs.push_back({t, 0, 1, t});
    }
    void AddTo(TimeSteps& steps) const {
        for (const Run& r : runs) {
            int64_t t = r.first;
            for (int64_t k = 0; k < r.count; ++k) {
                steps.Add(t);
                if (k + 1 < r.count) t += r.step; // each step was taken without overflow
            }
        }
    }
};

// One part of the first pass: its data lines, and their times (an empty cell holds the time
// above it). A part that does not start the data keeps its times for the pass to take after
// the part before: until its first time it does not know the one above.
struct FirstPart {
    int64_t lines = 0;
    std::vector<Chunk> chunks;
    TimeSteps* steps = nullptr; // where the times go, or null: kept in `times`
    TimeRuns times;             // from the first line with a time of its own on
    int64_t leadingEmpty = 0;   // lines before that one
    int64_t heldTime = 0;
    bool timed = false; // heldTime is known
    CsvLines end;       // where the part stopped

    void Take(CsvField kind, int64_t value) {
        if (kind == CsvField::Number) {
            heldTime = value;
            timed = true;
        } else if (!timed) {
            ++leadingEmpty;
            return;
        }
        if (steps)
            steps->Add(heldTime);
        else
            times.Add(heldTime);
    }
};

void ReadFirstPart(CsvLines lines, size_t stop, const FieldPlan& plan, const LineProgress& progress,
                   FirstPart& part) {
    FieldReader reader(lines.end);
    int64_t value = 0;
    CsvField kind = CsvField::Empty;
    const int64_t before = part.lines;
    ForEachDataLine(
        lines, stop, progress,
        [&](std::string_view line, bool quoted) {
            ++part.lines;
            if (plan.size() == 0) return;
            reader.Read(line, quoted, plan, &value, &kind);
            part.Take(kind, value);
        },
        [&](Chunk c) {
            c.firstLine += before;
            part.chunks.push_back(c);
        });
    part.end = lines;
}

// Where a text of LF (or CR LF) lines can be cut in two near its middle: the start of the line
// after the first LF there. The cut holds when the first half, read line by line, ends there (a
// quoted field that holds a line end would carry it past); 0 for a text too short to be worth it.
size_t HalfwayLine(const CsvLines& text, size_t from) {
    constexpr size_t kWorthIt = 1u << 20;
    const size_t size = size_t(text.end - text.begin);
    if (text.ending != '\n' || from >= size || size - from < kWorthIt) return 0;
    const char* lf = static_cast<const char*>(
        std::memchr(text.begin + from + (size - from) / 2, '\n', (size - from) / 2));
    if (!lf) return 0;
    const char* start = lf + 1;
    if (start < text.end && *start == '\r' && !(start + 1 < text.end && start[1] == '\n'))
        ++start; // LF CR
    return start < text.end ? size_t(start - text.begin) : 0;
}

// Counts the data lines and, with a time column, learns how its time steps. A long text is
// read in two halves on two cores; the second half's times then follow the first's.
FirstPass ReadFirstPass(const CsvLines& text, const CsvLayout& layout, const CsvChoice& choice,
                        const CsvProgress& progress) {
    FieldPlan plan;
    const int timeColumn = CsvRowColumn(choice, 0, int(layout.names.size()));
    if (timeColumn >= 0) plan.Add(timeColumn, TimeScale(layout, timeColumn), nullptr);
    const CsvLines start = CsvLinesFrom(text, layout.dataOffset, layout.dataLineNumber);
    const size_t size = size_t(text.end - text.begin);
    const size_t half = HalfwayLine(text, layout.dataOffset);
    FirstPass pass;
    FirstPart first, second;
    first.steps = &pass.time;
    first.timed = true; // an empty time before any is 0
    if (half == 0) {
        ReadFirstPart(start, size, plan, {&progress, kFirstProgress, layout.dataOffset, size},
                      first);
    } else {
        const std::thread::id caller = std::this_thread::get_id();
        ParallelFor(2, [&](int i) {
            // Only the calling thread shows progress and lets the window's messages through.
            const CsvProgress* shown = std::this_thread::get_id() == caller ? &progress : nullptr;
            if (i == 0)
                ReadFirstPart(start, half, plan, {shown, kFirstProgress, layout.dataOffset, half},
                              first);
            else
                ReadFirstPart(CsvLinesFrom(text, half, 1), size, plan,
                              {shown, kFirstProgress, half, size}, second);
        });
        if (first.end.Offset() != half) { // a quoted line end ran past the cut: read on alone
            second = FirstPart();
            ReadFirstPart(first.end, size, plan,
                          {&progress, kFirstProgress, first.end.Offset(), size}, first);
        }
    }
    pass.lines = first.lines;
    pass.chunks = std::move(first.chunks);
    for (Chunk c : second.chunks) {
        c.firstLine += first.lines;
        c.lineNumber += first.end.lineNumber;
        pass.chunks.push_back(c);
    }
    pass.lines += second.lines;
    for (int64_t k = 0; k < second.leadingEmpty; ++k) pass.time.Add(first.heldTime);
    second.times.AddTo(pass.time);
    return pass;
}

// The value of each planned field for the lines of one piece; an empty cell repeats the value
// above it. A piece after the first does not know the value above its first line: it counts
// its leading empty cells, and Settle fills them from the piece before.
struct Piece {
    std::vector<int64_t> leading; // per plan field: lines before its first value
    int64_t lines = 0;
};

void ParsePiece(const CsvLines& whole, const FieldPlan& plan, const Chunk& from, int64_t lines,
                int32_t firstSample, Piece& piece) {
    const size_t n = plan.size();
    piece.leading.assign(n, -1);
    std::vector<int64_t> values(n);
    std::vector<CsvField> kinds(n);
    FieldReader reader(whole.end);
    CsvPlainLines plain(whole, plan.columns, plan.scales);
    CsvLines text = CsvLinesFrom(whole, from.offset, from.lineNumber);
    std::string_view line;
    int32_t sample = firstSample;
    bool seenAll = false; // every field has had a value
    while (piece.lines < lines) {
        const char* next = nullptr;
        if (plain.Read(text.at, values.data(), next)) {
            text.at = next;
            for (size_t i = 0; i < n; ++i)
                plan.targets[i][sample] = StoredValue(plan, i, values[i]);
            if (!seenAll)
                for (int64_t& l : piece.leading)
                    if (l < 0) l = piece.lines;
            seenAll = true;
        } else {
            if (!text.Next(line)) break;
            if (!IsDataLine(line)) continue;
            reader.Read(line, text.quoted, plan, values.data(), kinds.data());
            for (size_t i = 0; i < n; ++i) {
                int32_t& target = plan.targets[i][sample];
                if (kinds[i] != CsvField::Empty) {
                    target = kinds[i] == CsvField::Number ? StoredValue(plan, i, values[i]) : 0;
                    if (piece.leading[i] < 0) piece.leading[i] = piece.lines;
                } else { // the value above, once the piece has one (Settle fills those before)
                    target = piece.leading[i] < 0 ? 0 : (&target)[-1];
                }
            }
        }
        ++sample;
        ++piece.lines;
    }
    for (size_t i = 0; i < n; ++i)
        if (piece.leading[i] < 0) piece.leading[i] = piece.lines;
}

void Settle(const FieldPlan& plan, const Piece& piece, int32_t firstSample) {
    for (size_t i = 0; i < plan.size(); ++i) {
        int32_t* t = plan.targets[i];
        std::fill(t + firstSample, t + firstSample + piece.leading[i], t[firstSample - 1]);
    }
}

// Every data line becomes the next sample.
void ReadSecondPass(const CsvLines& text, const FieldPlan& plan, const FirstPass& first,
                    const CsvProgress& progress) {
    const int chunks = int(first.chunks.size());
    std::vector<Piece> pieces(static_cast<size_t>(chunks));
    auto firstSample = [&](int i) { return int32_t(1 + first.chunks[size_t(i)].firstLine); };
    ParallelPipeline(
        chunks,
        [&](int i) {
            const int64_t next =
                i + 1 < chunks ? first.chunks[size_t(i) + 1].firstLine : first.lines;
            ParsePiece(text, plan, first.chunks[size_t(i)],
                       next - first.chunks[size_t(i)].firstLine, firstSample(i), pieces[size_t(i)]);
        },
        [&](int i) {
            Settle(plan, pieces[size_t(i)], firstSample(i));
            if (progress.position) progress.position(kSecondProgress + 100 * (i + 1) / chunks);
            if (progress.pumpMessages) progress.pumpMessages();
        });
}

struct LapMarks {
    bool numberType = false;
    bool started = false;
    int32_t previous = 0;
    // The lap value of the line that lands on `sample`.
    void Take(Slot& s, int32_t v, int32_t sample) {
        const bool mark = started && (numberType ? v != previous : previous > 0 && v == 0);
        started = true;
        previous = v;
        LapMarkTable& t = s.laps;
        if (!mark || t.count >= kLastPulseEntry || sample <= t.marks[t.count]) return;
        t.marks[++t.count] = sample;
    }
};

// An irregular time column: every column sampled at the instants first + k x step, each
// holding the value of the last line at or before the instant. Lap marks land on the first
// instant at or after their line.
void ReadResampled(const CsvLines& text, const CsvLayout& layout, const FieldPlan& plan, int timeAt,
                   int lapAt, int64_t step, const FirstPass& first, int32_t instants, Slot& s,
                   LapMarks& laps, const CsvProgress& progress) {
    const size_t n = plan.size();
    std::vector<int64_t> values(n);
    std::vector<CsvField> kinds(n);
    std::vector<int32_t> held(n, 0);
    int64_t time = first.time.first;
    int32_t k = 0; // the next instant
    FieldReader reader(text.end);
    auto emit = [&](int64_t until) {
        for (; k < instants && __int128(first.time.first) + __int128(k) * step < until; ++k)
            for (size_t i = 0; i < n; ++i)
                if (plan.targets[i]) plan.targets[i][k + 1] = held[i];
    };
    CsvLines lines = CsvLinesFrom(text, layout.dataOffset, layout.dataLineNumber);
    const size_t size = size_t(text.end - text.begin);
    ForEachDataLine(
        lines, size, {&progress, kSecondProgress, layout.dataOffset, size},
        [&](std::string_view line, bool quoted) {
            reader.Read(line, quoted, plan, values.data(), kinds.data());
            if (kinds[size_t(timeAt)] == CsvField::Number) time = values[size_t(timeAt)];
            emit(time);
            for (size_t i = 0; i < n; ++i)
                if (kinds[i] != CsvField::Empty)
                    held[i] = kinds[i] == CsvField::Number ? StoredValue(plan, i, values[i]) : 0;
            if (lapAt >= 0) laps.Take(s, held[size_t(lapAt)], std::min(k, instants - 1) + 1);
        },
        [](const Chunk&) {});
    emit(INT64_MAX);
}

// The three distance tracks from the wheel speeds, and the lap distances at the marks.
void BuildDistances(Slot& s, bool front, bool rear, const CsvProgress& progress) {
    const int32_t count = s.sampleCount;
    uint32_t *sel = s.distance.selected, *f = s.distance.front, *r = s.distance.rear;
    // A wheel column File 1 lacks has no data here (its buffer is a placeholder).
    const int32_t* vf = HasFullBuffer(s, 2) ? s.samples[2] : nullptr;
    const int32_t* vr = HasFullBuffer(s, 3) ? s.samples[3] : nullptr;
    int mark = 1;
    for (int32_t k = 1; k < count; ++k) {
        const uint32_t df = vf ? uint32_t(vf[k - 1] / 100) : 0;
        const uint32_t dr = vr ? uint32_t(vr[k - 1] / 100) : 0;
        sel[k] = sel[k - 1] + (front ? df : dr);
        f[k] = f[k - 1] + (front ? df : 0);
        r[k] = r[k - 1] + (rear ? dr : 0);
        while (mark < s.laps.count && s.laps.marks[mark] < k) ++mark;
        if (mark < s.laps.count && s.laps.marks[mark] == k) {
            s.laps.lapDistance[mark] = int32_t(sel[k]);
            sel[k] = 0;
        }
        if (k % (kPumpLines * 64) == 0 && progress.position)
            progress.position(kDistanceProgress + int(100.0 * k / count));
    }
}

void SetNeutralHeader(FileSlot slot, Slot& s) {
    LogHeader& h = s.header;
    h = LogHeader();
    h.sprocketFront = h.sprocketRear = 1;
    h.tireRear = 1;
    for (int& t : h.gearTeeth) t = 1;
    h.susTypeFront = h.susTypeRear = 0;
    h.throttleClosed = 0;
    h.throttleGain = 255;
    const int types[4] = {0, 0, 2, 2};
    for (int k = 0; k < 4; ++k) h.inputTypes[k] = types[k];
    h.inputs[2].gain = h.inputs[3].gain = 1;
    if (slot == 0) {
        g_session.setupEcho[50] = 30000 >> 8;
        g_session.setupEcho[51] = 30000 & 0xFF;
        g_session.firmware.clear();
    }
}

// The AUX divisors (1, 10 or 100 by the largest value x 100) say whether two imports hold AUX
// values of one range; the values themselves are stored x 1000 like every channel.
template <class Log> void CompareAuxRanges(FileSlot slot, const CsvChoice& choice, int n, Log log) {
    const Slot& s = SlotOf(slot);
    const FileSlot other = slot == 0 ? 1 : (slot == 1 ? 0 : -1);
    for (int a = 0; a < 2; ++a) {
        const int column = kCsvAux1Row - 1 + a;
        const bool assigned = CsvRowColumn(choice, kCsvAux1Row + a, n) >= 0;
        int32_t top = 0;
        if (assigned && HasFullBuffer(s, column))
            top = *std::max_element(s.samples[column] + 1, s.samples[column] + s.sampleCount);
        const int64_t m = top / 10;
        const int divisor = m <= 32767 ? 1 : (m <= 327670 ? 10 : 100);
        if (other >= 0 && SlotOf(other).file.fileKind == kFileCsv && assigned &&
            g_csvImport.auxAssigned[other][a] && g_csvImport.auxDivisor[other][a] != divisor)
            log(a == 0 ? "AUX1 Range miss mach...\r\n" : "AUX2 Range miss mach...\r\n");
        g_csvImport.auxDivisor[slot][a] = divisor;
        g_csvImport.auxAssigned[slot][a] = assigned;
    }
}

ReadOutcome Reject(FileSlot slot, const std::string& text) {
    ShowMessage(text, "File Error!!");
    CloseSlot(slot);
    return {};
}

} // namespace

CsvTimeCheck CheckCsvTimeColumn(Bytes bytes, const CsvLayout& layout, int column) {
    CsvTimeCheck check;
    if (column < 0 || size_t(column) >= layout.names.size()) return check;
    CsvChoice choice;
    choice.rows[0] = kCsvTimeChoices + column;
    for (int r = 1; r < kCsvRows; ++r) choice.rows[r] = -1;
    FirstPass pass = ReadFirstPass(StartCsvLines(bytes), layout, choice, {});
    check.irregular = pass.time.irregular;
    check.medianStep = pass.time.Median();
    if (check.medianStep > 0) check.choice = NearestChoice(check.medianStep);
    return check;
}

ReadOutcome ReadCsvFile(FileSlot slot, Bytes bytes, const CsvLayout& layout,
                        const CsvChoice& choice, const CsvProgress& progress) {
    CsvImportReport& report = g_csvImport.last;
    auto log = [&](const std::string& line) {
        report.log.push_back(line.substr(0, line.find('\r')));
        if (progress.log) progress.log(line);
    };
    const int n = int(layout.names.size());
    const int timeColumn = CsvRowColumn(choice, 0, n);
    const int fixed = timeColumn < 0 ? std::clamp(choice.rows[0], 0, kCsvTimeChoices - 1) : -1;
    report.timebase = fixed >= 0 ? kCsvTimeChoiceText[fixed] : layout.names[size_t(timeColumn)];

    const CsvLines text = StartCsvLines(bytes);
    FirstPass first = ReadFirstPass(text, layout, choice, progress);
    char message[96];

    // The time base.
    float factor = 1.0f;
    int64_t samples = first.lines, step = 0;
    const int64_t median = timeColumn >= 0 ? first.time.Median() : 0;
    if (timeColumn >= 0 && first.time.irregular && choice.resample && median > 0) {
        const int k = NearestChoice(median);
        step = kCsvTimeChoiceStep[k];
        factor = kCsvTimeChoiceFactor[k];
        const uint64_t span = uint64_t(first.time.max) - uint64_t(first.time.first);
        samples = int64_t(std::min<uint64_t>(span / uint64_t(step) + 1, INT64_MAX));
        report.resampled = true;
        log(std::string("Resampled on the time column to ") + kCsvTimeChoiceText[k] + "\r\n");
    } else if (first.lines > 1 &&
               (timeColumn < 0 || (first.time.interval > 9 && first.time.consistent))) {
        if (timeColumn < 0) {
            factor = kCsvTimeChoiceFactor[fixed];
        } else {
            const int64_t interval = first.time.interval;
            if (interval < 50 || interval > 100000)
                return Reject(slot, "The BaseTime that is not compatible.");
            factor = float(500.0 / double(interval));
            std::snprintf(message, sizeof message, "Detected Timebase %dms(%dHz)\r\n",
                          int(interval / 100), int(100000 / interval));
            log(message);
        }
    } else {
        return Reject(slot,
                      "There was a problem with BaseTime data.\r\nManually setting the BaseTime.");
    }

    if (samples > kCsvMaxLines)
        return Reject(slot, "Data file is corrupted. " + std::to_string(samples));

    Slot& s = SlotOf(slot);
    s.active = true;
    s.file.fileKind = kFileCsv;
    s.file.logVersion = 0;
    s.sampleRateFactor = factor;
    SetNeutralHeader(slot, s);
    NameFixedChannels(slot);
    BuildChannelIndexByCode();
    const int32_t count = int32_t(samples) + 1; // sample 0 stays 0, as the readers keep it
    if (!AllocateSlotBuffers(slot, count + kSpareSamples)) {
        CloseSlot(slot);
        return {};
    }
    s.sampleCount = count;
    BeginLapMarks(s);

    // The second pass.
    FieldPlan plan;
    for (int r = 1; r <= kChannelRows; ++r) {
        const int c = CsvRowColumn(choice, r, n);
        const bool engine = r == 1; // the integer engine speed, x 1000
        if (c >= 0 && HasFullBuffer(s, r - 1))
            plan.Add(c, engine ? CsvScale{0, true} : CsvScale{3, false}, s.samples[r - 1], engine);
    }
    const int lapColumn = CsvRowColumn(choice, kCsvLapRow, n);
    std::vector<int32_t> lapValues;
    LapMarks laps;
    laps.numberType = choice.lapNumberType;
    if (step > 0) {
        if (lapColumn >= 0) plan.Add(lapColumn, {0, true}, nullptr, false, kLapTag);
        plan.Add(timeColumn, TimeScale(layout, timeColumn), nullptr, false, kTimeTag);
        const int timeAt = plan.IndexOf(kTimeTag), lapAt = plan.IndexOf(kLapTag);
        ReadResampled(text, layout, plan, timeAt, lapAt, step, first, int32_t(samples), s, laps,
                      progress);
    } else {
        if (lapColumn >= 0) {
            lapValues.assign(size_t(count), 0);
            plan.Add(lapColumn, {0, true}, lapValues.data());
        }
        ReadSecondPass(text, plan, first, progress);
        if (lapColumn >= 0)
            for (int32_t i = 1; i < count; ++i) laps.Take(s, lapValues[size_t(i)], i);
    }
    LapMarkTable& t = s.laps;
    t.count += 1; // the entry after the last mark holds the end
    t.marks[t.count] = t.marks[t.count + 1] = t.marks[t.count + 2] = count;

    BuildDistances(s, CsvRowColumn(choice, 3, n) >= 0, CsvRowColumn(choice, 4, n) >= 0, progress);
    CompareAuxRanges(slot, choice, n, log);
    return {.decoded = true};
}

} // namespace qvtk
