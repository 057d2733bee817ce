#pragma once
// The rendering layer's state: one record, one program-wide instance, shared by the files of
// render/. Not for the viewer, which goes through render.h.
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "render/rasterizer.h"
#include "render/render.h"

class QEventLoop;

namespace qvtk {

class RenderWindow;

// A drawing target or image; the back buffer is entry kBackBuffer.
struct RenderTargetSlot {
    QImage image;          // RGB32, or ARGB32_Premultiplied for surfaces and images with alpha
    bool used = false;     // the handle is taken
    bool colorKey = false; // loaded from a file without alpha: pure black is transparent
};

// One character of a font, drawn once: its coverage and where it lies from the pen on the
// baseline.
struct RenderGlyph {
    bool ready = false;
    int left = 0, top = 0;       // the mask's top-left pixel from the pen position
    int width = 0, height = 0;   // of the mask
    int advance = 0;             // pixels the pen moves on
    std::vector<uint8_t> mask;   // width x height coverage
};

struct RenderFontSlot {
    QFont font;                          // the resolved family at its pixel size and weight
    std::optional<QFontMetrics> metrics; // kept, so widths and ascents cost no lookup
    bool used = false;
    std::vector<RenderGlyph> ascii;                     // characters below 128
    std::unordered_map<char16_t, RenderGlyph> others;   // the rest, as they are met
};

constexpr int kRenderCharQueueSize = 256;
constexpr int kRenderEventQueueSize = 256;

struct RenderState {
    // Device and window.
    bool open = false;                    // RenderOpen or RenderOpenOffscreen succeeded
    bool offscreen = false;               // the back buffer without a window
    QPointer<RenderWindow> window;        // the main window (null when deleted behind our back)
    QImage front;                         // what the window shows: the last presented frame
    bool windowClosed = false;            // the user closed the main window
    QEventLoop* waitLoop = nullptr;       // the loop of a running RenderWait, quit on close
    void (*restoreCallback)() = nullptr;  // screen changed: the viewer reloads its resources
    void (*powerCallback)(int) = nullptr; // 1 suspend, 3 resume
    bool restorePending = false;          // a screen change seen, to call back after the events
    int powerPending[4] = {};             // power states to call back after the events
    int powerPendingCount = 0;
    bool suspended = false;         // the platform reported the application suspended
    bool waitVerticalBlank = false; // presents are paced to the 60 Hz refresh
    int64_t lastPresentMs = 0;

    // Targets, blending, clipping.
    std::vector<RenderTargetSlot> targets; // handle -> target; [kBackBuffer] the back buffer
    RenderHandle target = kBackBuffer;     // where drawing goes
    BlendMode blend = BlendMode::None;
    int blendAlpha = 255; // 0..255
    bool clipped = false; // a clip rectangle is set on the current target
    int clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0; // right/bottom exclusive
    std::unique_ptr<QPainter> painter; // kept open on the target it last drew on
    RenderHandle painterTarget = -1;
    bool painterClipValid = false; // the painter's clip matches the current clip
    QImage scratch;                // the layer of QPainter drawing in modes it lacks
    QPainter scratchPainter;       // active only between layer begin and end
    int scratchX = 0, scratchY = 0, scratchWidth = 0, scratchHeight = 0; // its target area

    // Fonts and text.
    std::vector<RenderFontSlot> fonts;
    std::string text; // formatted text too long for the stack buffer

    // Input.
    uint8_t chars[kRenderCharQueueSize] = {}; // typed characters, a ring
    int charHead = 0, charCount = 0;
    int mouseX = 0, mouseY = 0;                          // client pixels
    int mouseButtons = 0;                                // kMouseLeft ...
    int wheelVertical = 0, wheelHorizontal = 0;          // raw deltas since the last read
    bool keyHeld[3] = {};                                // by RenderKey
    RenderInputEvent events[kRenderEventQueueSize] = {}; // button and key changes, a ring
    int eventHead = 0, eventCount = 0;
    bool inputArrived = false;           // input came since RenderWaitForInput began
    QEventLoop* inputWaitLoop = nullptr; // the loop of a running RenderWaitForInput
};

// Never destroyed: Qt objects inside must not outlive Qt's own statics at exit.
extern RenderState& g_render;

// Shared by the files of the layer.
void RenderEndPainter();
void RenderResetInput();
void RenderReleaseFonts();
// The current target as a pixel buffer with the current clip and blend; false without one.
bool RenderCurrentRaster(RasterTarget& raster);
// A painter on the current target set up for the blend (composition mode, opacity, clip), or
// nullptr when the blend needs a layer. `text` asks for glyphs, which never replace.
QPainter* RenderDirectPainter(bool text);
// A painter on the scratch layer for `bounds` (target pixels), nullptr when nothing of it is
// visible; RenderEndLayer blends the layer onto the target.
QPainter* RenderBeginLayer(const QRect& bounds);
void RenderEndLayer();

// Draws with QPainter in the current blend: straight on the target, or on the scratch layer
// over `bounds` and blended from there.
template <class Draw> void RenderPaintBlended(const QRect& bounds, bool text, Draw&& draw) {
    if (QPainter* painter = RenderDirectPainter(text)) {
        draw(*painter);
    } else if (QPainter* layer = RenderBeginLayer(bounds)) {
        draw(*layer);
        RenderEndLayer();
    }
}

} // namespace qvtk
