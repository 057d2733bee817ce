#include "viewer/info_panels.h"

#include <QStringDecoder>
#include <algorithm>

#include "analysis/file_summary.h"
#include "data/settings.h"
#include "viewer/frame.h"
#include "viewer/resources.h"
#include "viewer/settings_file.h"
#include "viewer/view_state.h"

namespace qvtk {

std::string DecodeMemo(std::string_view bytes) {
    QStringDecoder decoder("Shift_JIS");
    QString text = decoder.isValid()
                       ? decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())))
                       : QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    return text.toStdString();
}

namespace {

// What the memo panel shows; it is drawn again only when this changes.
struct MemoPanelState {
    RenderHandle surface = -1;
    bool tires = false;
    int position[2] = {-1, -1};
    int32_t samples[2] = {};
    bool file2 = false;
    int scheme = -1;
    bool operator==(const MemoPanelState&) const = default;
};
MemoPanelState g_memoShown;


constexpr int kPanelFaded = 20;
constexpr int kFile2MemoTop = 128;

int PanelLineHeight() {
    return g_res.smallFontSize + 2;
}

void ClearTarget() {
    RenderSetBlend(BlendMode::None, 255);
    RenderClearTarget(0);
}

void PanelBackground(float w, float h) {
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(0, 0, w, h, 0xC0101420u, true);
    RenderBox(0, 0, w, h, 0xFF5A6478u, false);
}

// The memo lines of one file between `top` and `bottom`; File 1's would reach into File 2's
// part of the panel with all ten lines typed.
void DrawMemoLines(const MemoTyping& memo, int slot, float top, float bottom) {
    int step = g_res.smallFontSize - 1;
    RenderClip(0, int(top), 192, int(bottom));
    RenderSetBlend(BlendMode::None, 255);
    RenderBox(2, top, 190, bottom, 0xC0101420u, true);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int line = 0; line <= memo.line && line < kMemoLines; ++line) {
        std::string text = DecodeMemo(MemoLine(memo, line));
        RenderText(8, top + float(line * step), FileColor(slot), g_res.smallFont, "%s",
                   text.c_str());
    }
    RenderClipReset();
}

void DrawTireLines() {
    TireLines lines = BuildTireLines();
    PanelBackground(192, 256);
    RenderSetBlend(BlendMode::Alpha, 255);
    for (int f = 0; f < 2; ++f) {
        float y = f == 0 ? 4.0f : float(kFile2MemoTop);
        if (!lines.tire[f].empty())
            RenderText(8, y, FileColor(f), g_res.smallFont, "%s", lines.tire[f].c_str());
        if (!lines.finalRatio[f].empty())
            RenderText(8, y + float(PanelLineHeight()), FileColor(f), g_res.smallFont, "%s",
                       lines.finalRatio[f].c_str());
    }
}

void StepCounter(int& counter, bool fall) {
    counter = std::clamp(counter + (fall ? -1 : 1), 0, kPanelFaded);
}

void DrawPanel(RenderHandle panel, int counter, float cx, float cy, float scale, float w, float h) {
    if (panel <= 0 || counter >= kPanelFaded) return;
    RenderSetBlend(BlendMode::Alpha, 11 * (kPanelFaded - counter));
    float sw = w * scale, sh = h * scale;
    RenderImage(panel, cx - sw / 2, cy - sh / 2, sw, sh, true);
}

// What the last session could not save, right above the summary panel and fading with it.
void DrawLastSessionNotice(int counter, float cx, float cy, float scale) {
    const std::string& notice = LastSessionNotice();
    if (notice.empty() || counter >= kPanelFaded) return;
    RenderSetBlend(BlendMode::Alpha, 11 * (kPanelFaded - counter));
    const float width = float(RenderTextWidth(g_res.smallFont, "%s", notice.c_str()));
    const float right = cx + 128 * scale, bottom = cy - 64 * scale - 2;
    const float top = bottom - float(PanelLineHeight()) - 4;
    RenderBox(right - width - 8, top, right, bottom, 0xFF101420u, true);
    RenderText(right - width - 4, top + 2, RenderColor(255, 160, 0), g_res.smallFont, "%s",
               notice.c_str());
}

} // namespace

void RefreshSummary() {
    g_memoShown = MemoPanelState(); // the surfaces may be new
    if (g_res.summaryPanel <= 0) return;
    FileSummary summary = BuildFileSummary();
    RenderSetTarget(g_res.summaryPanel);
    ClearTarget();
    PanelBackground(256, 128);
    RenderSetBlend(BlendMode::Alpha, 255);
    int lh = PanelLineHeight();
    for (int r = 0; r < kSummaryRows; ++r) {
        const SummaryRow& row = summary.rows[r];
        float y = float(4 + r * lh);
        RenderText(16, y, RenderColor(200, 204, 212), g_res.smallFont, "%s", row.label);
        RenderText(108, y, FileColor(0), g_res.smallFont, "%s", row.file1.c_str());
        if (!row.file2.empty())
            RenderText(180, y, FileColor(1), g_res.smallFont, "%s", row.file2.c_str());
    }
    RenderSetTarget(kBackBuffer);
}


void DrawTireAndMemo() {
    if (g_res.memoPanel <= 0) return;
    MemoPanelState now;
    now.surface = g_res.memoPanel;
    now.tires = StepMemoPanel(g_view.MemoPanelCounter);
    for (int f = 0; f < 2; ++f) {
        now.position[f] = g_memoPanel.file[f].position;
        now.samples[f] = SlotOf(f).sampleCount;
    }
    now.file2 = SlotOf(1).active;
    now.scheme = g_settings.colortype;
    if (now == g_memoShown) return;
    g_memoShown = now;
    RenderSetTarget(g_res.memoPanel);
    if (now.tires) {
        ClearTarget();
        DrawTireLines();
    } else {
        int below = 2 * PanelLineHeight() + 2;
        DrawMemoLines(g_memoPanel.file[0], 0, float(4 + below), float(kFile2MemoTop - 1));
        if (SlotOf(1).active)
            DrawMemoLines(g_memoPanel.file[1], 1, float(kFile2MemoTop + below), 255);
    }
    RenderSetTarget(kBackBuffer);
}

void DrawInfoPanels(int clientWidth, int clientHeight) {
    StepCounter(g_view.SummaryPanelCounter, g_view.RedrawCountdown < 75);
    StepCounter(g_view.MemoPanelCounter, g_view.RedrawCountdown < 70 && g_settings.Memo_view == 1);
    DrawTireAndMemo();
    int a = g_view.SummaryPanelCounter;
    DrawPanel(g_res.summaryPanel, a, float(clientWidth + a - 144), float(clientHeight - 80),
              1.0f - 0.005f * float(a), 256, 128);
    DrawLastSessionNotice(a, float(clientWidth + a - 144), float(clientHeight - 80),
                          1.0f - 0.005f * float(a));
    int b = g_view.MemoPanelCounter;
    DrawPanel(g_res.memoPanel, b, float(4 * (34 - b)), float(clientHeight + 3 * b - 152),
              1.0f - 0.02f * float(b), 192, 256);
}

} // namespace qvtk
